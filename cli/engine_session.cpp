#include "cli/engine_session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>

#include <unistd.h>

#include "cli/output_text.h"
#include "model/names.h"

namespace quorvel::cli {
namespace {

std::atomic<bool> g_interrupted{false};
int g_wake_pipe[2] = {-1, -1};

extern "C" void OnInterrupt(int) {
  g_interrupted = true;
  if (g_wake_pipe[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = write(g_wake_pipe[1], &byte, 1);
  }
}

void CatchInterrupts() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  if (pipe(g_wake_pipe) != 0) g_wake_pipe[0] = g_wake_pipe[1] = -1;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

std::optional<PortArgument> ParsePortArgument(const std::string& text) {
  const std::size_t equals = text.find('=');
  const std::optional<int> slot = SlotOfComName(text.substr(0, equals));
  if (!slot) return std::nullopt;
  PortArgument port{*slot, std::nullopt};
  if (equals != std::string::npos) {
    port.path = text.substr(equals + 1);
    if (port.path->empty()) return std::nullopt;
  }
  return port;
}

void StderrNotifier::Notify(const Notice& notice) {
  std::string text = notice.text;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  std::fprintf(stderr, "%s%s%s\n", Printable(notice.title).c_str(), notice.title.empty() ? "" : ": ",
               Printable(text).c_str());
}

std::string OpenFailureMessage(int slot, const OpenError& error) {
  const std::string port = ComName(slot) + (error.device.empty() ? "" : " (" + Printable(error.device) + ")");
  switch (error.kind) {
    case OpenFailure::kNotFound:
      return "cannot open " + port + ": no such device" +
             (error.device.empty() ? " (not a meter adapter, and not assigned under [Ports] or with COMn=PATH)" : "");
    case OpenFailure::kBusy:
      if (error.same_device_port != 0) {
        return "cannot open " + port + ": it is the device of " + ComName(static_cast<int>(error.same_device_port)) +
               ", open already under another name";
      }
      return "cannot open " + port + ": the port is in use by another program";
    case OpenFailure::kPermissionDenied:
      return "cannot open " + port +
             ": permission denied; add your user to the 'dialout' group (sudo usermod -aG dialout $USER) "
             "and log in again";
    case OpenFailure::kNone:
    case OpenFailure::kOther:
      break;
  }
  return "cannot open " + port + ": " + (error.text.empty() ? "unknown error" : Printable(error.text));
}

std::string NotOfferedMessage(const PortArgument& port, const Status& settings_status, const PortDirectory& directory) {
  const std::string name = ComName(port.slot);
  if (const std::optional<UnusableAssignment> unusable = directory.Unusable(port.slot)) {
    return "cannot open " + name + ": " + Printable(DescribeUnusable(*unusable));
  }
  if (!settings_status.ok()) {
    return "cannot open " + name + ": not a meter adapter, and the settings file could not be read (" +
           Printable(settings_status.text()) + "), so its [Ports] assignments are unknown";
  }
  return "cannot open " + name +
         ": no such device (not a meter adapter, and not assigned under [Ports] or with "
         "COMn=PATH)";
}

SettingsFile::Loaded LoadSettingsFile(const std::string& command, SettingsFile& file) {
  SettingsFile::Loaded loaded = file.Load();
  if (!loaded.status.ok()) {
    std::fprintf(stderr,
                 "quorvel-cli %s: the settings file could not be read (%s); its [Ports] and baud rate are "
                 "not used\n",
                 command.c_str(), Printable(loaded.status.text()).c_str());
  }
  return loaded;
}

EngineSession::EngineSession(std::string command, const std::vector<PortArgument>& ports, int tick_ms,
                             std::filesystem::path settings_path)
    : command_(std::move(command)),
      ports_(ports),
      tick_ms_(tick_ms),
      settings_path_(std::move(settings_path)),
      engine_(display_, notifier_, fields_) {
  // The engine tells the loss and the return, once each.
  QObject::connect(&engine_, &Engine::portLost, [this](int) { lost_any_ = true; });
  clock_.start();
  QObject::connect(&engine_, &Engine::requestSent,
                   [this](int slot, const QByteArray&) { first_asked_ms_.try_emplace(slot, clock_.elapsed()); });
  QObject::connect(&engine_, &Engine::frameDecoded, [this](int slot, DecodeOutcome) { answered_.insert(slot); });
}

std::string EngineSession::SilentPorts() const {
  // An answer takes a fraction of a tick; three ticks and a second are time enough.
  const qint64 enough_ms = 3LL * tick_ms_ + 1000;
  std::string names;
  for (const PortArgument& port : ports_) {
    const auto asked = first_asked_ms_.find(port.slot);
    if (asked == first_asked_ms_.end() || answered_.count(port.slot) != 0) continue;
    if (clock_.elapsed() - asked->second < enough_ms) continue;
    names += (names.empty() ? "" : ", ") + ComName(port.slot);
  }
  return names;
}

EngineSession::~EngineSession() { Stop(); }

bool EngineSession::Start(const std::function<void(Engine&)>& configure) {
  CatchInterrupts();
  Engine::Options options;
  options.settings_path = settings_path_;
  options.tick_ms = tick_ms_;
  for (const PortArgument& port : ports_) {
    if (port.path) options.port_assignments[port.slot] = *port.path;
  }
  engine_.Start(options);
  if (configure) configure(engine_);
  for (const PortArgument& port : ports_) {
    if (!engine_.Select(port.slot)) {
      // Not offered: no adapter, no assignment, or a path that is not there.
      std::fprintf(stderr, "quorvel-cli %s: %s\n", command_.c_str(),
                   NotOfferedMessage(port, engine_.SettingsStatus(), engine_.Ports()).c_str());
      return false;
    }
    if (!engine_.StartDevice(port.slot)) {
      std::fprintf(stderr, "quorvel-cli %s: %s\n", command_.c_str(),
                   OpenFailureMessage(port.slot, engine_.LastOpenError(port.slot)).c_str());
      return false;
    }
  }
  return true;
}

bool EngineSession::Interrupted() const { return g_interrupted; }

void EngineSession::RunUntil(const std::function<bool()>& done, double seconds) {
  QEventLoop loop;
  QElapsedTimer clock;
  clock.start();
  auto check = [&] {
    if (g_interrupted || done() || (seconds > 0 && static_cast<double>(clock.elapsed()) >= seconds * 1000.0)) {
      loop.quit();
    }
  };
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, check);
  poll.start(20);
  std::unique_ptr<QSocketNotifier> wake;
  if (g_wake_pipe[0] >= 0) {
    wake = std::make_unique<QSocketNotifier>(g_wake_pipe[0], QSocketNotifier::Read);
    QObject::connect(wake.get(), &QSocketNotifier::activated, &loop, [&] {
      char drained[16];
      [[maybe_unused]] const ssize_t ignored = read(g_wake_pipe[0], drained, sizeof drained);
      check();
    });
  }
  check();
  if (!(g_interrupted || done())) loop.exec();
}

void EngineSession::Stop() {
  if (stopped_) return;
  stopped_ = true;
  engine_.Shutdown();
}

}  // namespace quorvel::cli
