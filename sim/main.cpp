// quorvel-meter-sim: simulated meters on pseudo-terminals for the dashboard
// to talk to, until SIGINT or SIGTERM.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "sim/command_line.h"
#include "sim/meter_simulator.h"

namespace {

using quorvel::sim::Fault;

std::string Digits(const std::array<std::uint8_t, 8>& digits) {
  std::string text;
  for (const std::uint8_t d : digits) text += static_cast<char>('0' + d);
  return text;
}

void PrintStats(quorvel::sim::MeterSimulator& bench) {
  for (std::size_t i = 0; i < bench.Size(); ++i) {
    const auto stats = bench.Meter(i).Stats();
    std::fprintf(stderr,
                 "meter %zu: %llu requests, %llu answers (%llu intact, %llu noise, %llu wrong end, "
                 "%llu truncated, %llu lost, %llu delayed)\n",
                 i + 1, static_cast<unsigned long long>(stats.requests),
                 static_cast<unsigned long long>(stats.faults.answers),
                 static_cast<unsigned long long>(stats.faults.intact),
                 static_cast<unsigned long long>(stats.faults.Count(Fault::kNoise)),
                 static_cast<unsigned long long>(stats.faults.Count(Fault::kWrongEnd)),
                 static_cast<unsigned long long>(stats.faults.Count(Fault::kTruncated)),
                 static_cast<unsigned long long>(stats.faults.Count(Fault::kLost)),
                 static_cast<unsigned long long>(stats.faults.Count(Fault::kDelayed)));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const auto parsed = quorvel::sim::ParseCommandLine(args);
  if (!parsed.line) {
    std::fprintf(stderr, "quorvel-meter-sim: %s (try --help)\n", parsed.error.c_str());
    return 2;
  }
  if (parsed.line->help) {
    std::fputs(quorvel::sim::UsageText().data(), stdout);
    return 0;
  }
  if (parsed.line->version) {
    std::printf("quorvel-meter-sim %s\n", QUORVEL_VERSION);
    return 0;
  }

  // Blocked before any meter thread exists, so the signals reach sigwait
  // below and nothing else.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  std::string error;
  auto bench = quorvel::sim::MeterSimulator::Open(parsed.line->options, &error);
  if (!bench || !bench->Start(&error)) {
    std::fprintf(stderr, "quorvel-meter-sim: %s\n", error.c_str());
    return 1;
  }
  for (std::size_t i = 0; i < bench->Size(); ++i) {
    auto& meter = bench->Meter(i);
    const std::string number = Digits(meter.WithModel([](const auto& model) { return model.MeterNumberDigits(); }));
    const std::string& link = bench->Link(i);
    std::printf("meter %zu: %s%s%s (meter number %s)\n", i + 1, meter.SlavePath().c_str(), link.empty() ? "" : " <- ",
                link.c_str(), number.c_str());
  }
  std::fflush(stdout);

  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  bench->Stop();
  PrintStats(*bench);
  bench.reset();  // removes the links
  return 0;
}
