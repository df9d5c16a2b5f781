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
#include "protocol/answer_pipeline.h"
#include "protocol/commands.h"
#include "storage/settings.h"

namespace quorvel::cli {
namespace {

// The probed meter is the selected device of a visible real-time page.
class Probe : public SerialPortOwner {
 public:
  Probe(int slot, std::string path) : slot_(slot), path_(std::move(path)) { context_.selected_slot = slot; }

  std::string DeviceNameFor(unsigned) const override { return path_; }
  void OnBytesReceived(unsigned port, std::span<const std::uint8_t> bytes) override {
    pipeline_.FeedBytes(static_cast<int>(port), bytes);
  }

  // Sends one request and waits for its answer; false after two seconds.
  bool Ask(CSerialPort& port, const RequestFrame& request, bool answer_expected = true) {
    last_.reset();
    port.Write(request);
    QElapsedTimer clock;
    clock.start();
    const int wait_ms = answer_expected ? 2000 : 300;
    while (!last_ && clock.elapsed() < wait_ms) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::usleep(500);
    }
    if (!last_ && answer_expected) {
      std::printf("{\"slot\":%d,\"request\":%d,\"answer\":null}\n", slot_, request[1]);
      std::fflush(stdout);
    }
    return last_.has_value();
  }

  const DeviceTable& devices() const { return devices_; }
  bool shutdown() const { return display_.shutdown; }

 private:
  void Print(int slot, const DecodeOutcome& outcome) {
    last_ = outcome;
    std::printf("%s\n", AnswerJson(outcome, devices_, slot, display_.shutdown, slot).c_str());
    std::fflush(stdout);
  }

  int slot_;
  std::string path_;
  DeviceTable devices_;
  TerminalDisplay display_;
  FixedDecoderContext context_;
  std::optional<DecodeOutcome> last_;
  AnswerPipeline pipeline_{devices_, display_, context_,
                           [this](int slot, const DecodeOutcome& outcome) { Print(slot, outcome); }};
};

}  // namespace

int RunProbe(const std::vector<std::string>& args) {
  ArgumentReader in("probe", args);
  std::optional<PortArgument> port_argument;
  bool write = false;
  bool reset_timers = false;
  while (!in.Done()) {
    if (in.Is("--port")) {
      port_argument = in.Port();
    } else if (in.Is("--write")) {
      write = true;
      in.Skip();
    } else if (in.Is("--reset-timers")) {
      reset_timers = true;
      in.Skip();
    } else {
      in.Fail("unknown option " + in.Current());
    }
  }
  if (in.Failed()) return 2;
  if (!port_argument) {
    in.Fail("give the meter with --port COMn[=PATH]");
    return 2;
  }
  const int slot = port_argument->slot;
  SettingsFile settings_file;
  const Settings settings = settings_file.Load();
  std::map<int, std::string> assignments = LoadPortAssignments(settings_file.Profile());
  if (port_argument->path) assignments[slot] = *port_argument->path;
  PortDirectory directory(assignments);
  directory.Refresh();

  StderrNotifier notifier;
  Probe probe(slot, directory.DevicePath(slot));
  CSerialPort port(notifier);
  if (!OpenMeterLine(port, &probe, slot, settings.Baudrate)) {
    std::fprintf(stderr, "quorvel-cli probe: %s\n", OpenFailureMessage(slot, port.LastOpenError()).c_str());
    return 1;
  }
  port.StartMonitor();
  QThread::msleep(20);

  int answered = 0;
  int asked = 0;
  auto ask = [&](const RequestFrame& request) {
    ++asked;
    answered += probe.Ask(port, request) ? 1 : 0;
  };
  // Reads first; writes put back what was read, so a real meter keeps its
  // settings (its clock is set to the computer's).
  const int month = CurrentLocalClock().month;
  ask(ReadClockRequest());
  ask(ReadRealTimeRequest());
  ask(ReadTariffRequest(1));
  ask(ReadLimitsRequest());
  ask(ReadCo2FactorRequest());
  ask(ReadMeterNumberRequest());
  ask(ReadTimerRequest(1));
  ask(ReadMonthHistoryRequest(month));
  if (write) {
    const MeterSettings& s = probe.devices().Settings();
    ask(WriteClockRequest(CurrentLocalClock()));
    ask(WriteTariffRequest({s.TierLimit, static_cast<std::int32_t>(s.Price1), static_cast<std::int32_t>(s.Price2)}));
    ask(WriteLimitsRequest({static_cast<std::int32_t>(s.EnergyLimit), static_cast<std::int32_t>(s.CostLimit),
                            probe.shutdown()}));
    ask(WriteCo2FactorRequest(static_cast<std::int32_t>(probe.devices().Slot(slot).Co2Factor * 1000.0F + 0.5F)));
    ask(WriteTimerRequest(1, s.Timers[0]));
  }
  if (reset_timers) {
    ++asked;
    answered += probe.Ask(port, ResetTimersRequest(), false) ? 1 : 0;
  }
  port.SignalShutdown();
  std::fprintf(stderr, "quorvel-cli probe: %d of %d requests answered\n", answered, asked);
  return answered == 0 ? 1 : 0;
}

}  // namespace quorvel::cli
