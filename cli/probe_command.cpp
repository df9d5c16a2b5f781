#include "cli/probe_command.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>
#include <optional>

#include "cli/answer_json.h"
#include "cli/arguments.h"
#include "link/meter_line.h"
#include "link/port_directory.h"
#include "model/local_clock.h"
#include "model/names.h"
#include "protocol/answer_pipeline.h"
#include "protocol/commands.h"
#include "storage/settings_file.h"

namespace quorvel::cli {
namespace {

// Decodes and prints the probed meter's answers.
class Probe : public SerialPortOwner {
 public:
  Probe(int slot, std::string path) : slot_(slot), path_(std::move(path)) {}

  std::string DeviceNameFor(unsigned) const override { return path_; }
  void OnBytesReceived(unsigned port, std::span<const std::uint8_t> bytes) override {
    pipeline_.FeedBytes(static_cast<int>(port), bytes);
  }
  // Told once, in words; the requests left get no answer, without waiting.
  void OnPortLost(unsigned) override {
    lost_ = true;
    std::fprintf(stderr, "quorvel-cli probe: %s was unplugged or stopped answering\n", ComName(slot_).c_str());
  }

  // Sends one request and waits up to two seconds for its answer: one of
  // the request's own kind (a late answer to an earlier request does not
  // count). False when none came.
  bool Ask(CSerialPort& port, const RequestFrame& request, bool answer_expected = true) {
    asked_code_ = request[1];
    answered_ = false;
    port.Write(request);
    QElapsedTimer clock;
    clock.start();
    const int wait_ms = answer_expected ? 2000 : 300;
    while (!answered_ && !lost_ && clock.elapsed() < wait_ms) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::usleep(500);
    }
    if (!answered_ && answer_expected) {
      std::printf("{\"slot\":%d,\"request\":%d,\"answer\":null}\n", slot_, request[1]);
      std::fflush(stdout);
    }
    return answered_;
  }

  const DeviceTable& devices() const { return devices_; }

 private:
  // Answers carry their request's code as kind; tariff and timer answers
  // come in a range of kinds.
  static bool Answers(std::uint8_t request, const DecodeOutcome& outcome) {
    if (outcome.status == DecodeStatus::kIgnored) return false;
    const std::uint8_t kind = outcome.kind;
    if (request == code::kReadTariff) return kind >= code::kReadTariff && kind <= code::kReadTariffLast;
    if (request == code::kReadTimer) return kind >= code::kReadTimer && kind <= code::kReadTimerLast;
    return kind == request;
  }

  void Print(int slot, const DecodeOutcome& outcome) {
    if (Answers(asked_code_, outcome)) answered_ = true;
    std::printf("%s\n", AnswerJson(outcome, devices_, slot, slot).c_str());
    std::fflush(stdout);
  }

  int slot_;
  std::string path_;
  DeviceTable devices_;
  std::uint8_t asked_code_ = 0;
  bool answered_ = false;
  bool lost_ = false;
  AnswerPipeline pipeline_{devices_, [this](int slot, const DecodeOutcome& outcome) { Print(slot, outcome); }};
};

}  // namespace

int RunProbe(const std::vector<std::string>& args) {
  ArgumentReader in("probe", args, ProbeUsage());
  if (in.HelpAsked()) return kExitDone;
  std::optional<PortArgument> port_argument;
  bool write = false;
  bool reset_timers = false;
  while (!in.Done()) {
    if (in.Is("--port")) {
      port_argument = in.Port();
    } else if (in.Flag("--write")) {
      write = true;
    } else if (in.Flag("--reset-timers")) {
      reset_timers = true;
    } else {
      in.Unknown();
    }
  }
  if (in.Failed()) return kExitUsage;
  if (!port_argument) {
    in.Fail("give the meter with --port COMn[=PATH]");
    return kExitUsage;
  }
  const int slot = port_argument->slot;
  SettingsFile settings_file;
  const SettingsFile::Loaded loaded = LoadSettingsFile("probe", settings_file);
  const Settings& settings = loaded.settings;
  std::map<int, std::string> assignments = LoadPortAssignments(settings_file.Profile());
  if (port_argument->path) assignments[slot] = *port_argument->path;
  PortDirectory directory(assignments);
  directory.Refresh();
  if (!directory.Accepts(slot)) {
    std::fprintf(stderr, "quorvel-cli probe: %s\n",
                 NotOfferedMessage(*port_argument, loaded.status, directory).c_str());
    return kExitFailed;
  }

  StderrNotifier notifier;
  Probe probe(slot, directory.DevicePath(slot));
  CSerialPort port(notifier);
  if (!OpenMeterLine(port, &probe, slot, settings.Baudrate)) {
    std::fprintf(stderr, "quorvel-cli probe: %s\n", OpenFailureMessage(slot, port.LastOpenError()).c_str());
    return kExitFailed;
  }
  port.StartMonitor();
  QThread::msleep(20);

  int answered = 0;
  int asked = 0;
  auto ask = [&](const RequestFrame& request) {
    ++asked;
    const bool ok = probe.Ask(port, request);
    answered += ok ? 1 : 0;
    return ok;
  };
  // Reads first; writes put back what was read, so a real meter keeps its
  // settings (its clock is set to the computer's).
  const int month = CurrentLocalClock().month;
  ask(ReadClockRequest());
  ask(ReadRealTimeRequest());
  const bool tariff_read = ask(ReadTariffRequest(1));
  const bool limits_read = ask(ReadLimitsRequest());
  const bool co2_read = ask(ReadCo2FactorRequest());
  ask(ReadMeterNumberRequest());
  const bool timer_read = ask(ReadTimerRequest(1));
  ask(ReadMonthHistoryRequest(month));
  int skipped = 0;
  if (write) {
    const MeterSettings& s = probe.devices().Settings();
    // A value that was not read is not known: writing it would put the
    // meter's setting to whatever stands in its place.
    auto write_back = [&](bool read, const char* what, const RequestFrame& request) {
      if (read) {
        ask(request);
        return;
      }
      ++skipped;
      std::fprintf(stderr, "quorvel-cli probe: %s not written back: its read got no answer\n", what);
    };
    ask(WriteClockRequest(CurrentLocalClock()));
    write_back(
        tariff_read, "tariff",
        WriteTariffRequest({s.TierLimit, static_cast<std::int32_t>(s.Price1), static_cast<std::int32_t>(s.Price2)}));
    write_back(limits_read, "limits",
               WriteLimitsRequest({static_cast<std::int32_t>(s.EnergyLimit), static_cast<std::int32_t>(s.CostLimit),
                                   s.ShutdownAtLimit}));
    write_back(co2_read, "CO2 factor",
               WriteCo2FactorRequest(static_cast<std::int32_t>(probe.devices().Slot(slot).Co2Factor * 1000.0F + 0.5F)));
    write_back(timer_read, "timer 1", WriteTimerRequest(1, s.Timers[0]));
  }
  if (reset_timers) {
    ++asked;
    answered += probe.Ask(port, ResetTimersRequest(), false) ? 1 : 0;
  }
  port.SignalShutdown();
  std::fprintf(stderr, "quorvel-cli probe: %d of %d requests answered\n", answered, asked);
  if (answered == 0) return kExitFailed;
  return answered == asked && skipped == 0 ? kExitDone : kExitPartly;
}

}  // namespace quorvel::cli
