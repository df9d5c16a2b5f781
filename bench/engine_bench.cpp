// Eighteen simulated meters polled once a second by the engine, at the
// line's real pace, with the serial monitors handing received bytes over
// each read at a time (the earlier way) and in batches (the program's way),
// in alternating rounds of one run. Reports for each way the latency from
// the last byte of an answer at the pseudo-terminal to the updated device
// record (p50, p99), the engine's share of one core (its threads only; the
// meters run in threads of their own, named "quorvel-meter", and are left
// out), the hand-offs of received bytes per decoded answer, and the ratio
// of the two CPU shares, measured on the same machine at the same time.
//
// QUORVEL_BENCH_SECONDS sets how long each way is measured (default 30, in
// two rounds; one round below 10 s); every round first lets the meters be
// greeted for 5.5 s unmeasured. QUORVEL_BENCH_BYTE_US the time between two
// bytes of an answer (default the 9600-baud pace, about 1042; 0 hands each
// answer over in one piece, as a USB adapter's buffering comes closer to).
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "app/engine.h"
#include "bench/bench_support.h"

namespace {

using namespace quorvel;
using Clock = std::chrono::steady_clock;

using bench::RuleFigures;
using bench::ThreadCpu;

// Opening a slot greets its meter for four ticks before the polling starts;
// half a tick more puts the measured time between two ticks' answers.
constexpr double kGreetingSeconds = 5.5;

void BM_EighteenMetersPolled(benchmark::State& state) {
  const double seconds = bench::BenchSeconds(30);
  const int rounds_per_rule = seconds < 10 ? 1 : 2;
  const bench::BenchFolder folder("quorvel-engine-bench");

  // Answers of a slot are written and decoded in the same order within a
  // round: the k-th write pairs with the k-th decode.
  std::mutex written_mutex;
  std::array<std::vector<std::int64_t>, kSlotCount> written;
  std::array<std::vector<std::int64_t>, kSlotCount> decoded;
  Engine::Options options;
  options.settings_path = folder.path / "Power Meter.ini";
  std::string error;
  const char* pace = std::getenv("QUORVEL_BENCH_BYTE_US");
  const auto adjust = [&](int slot, sim::PtyMeterOptions& meter_options) {
    if (pace) meter_options.byte_interval = std::chrono::microseconds(std::atoi(pace));
    meter_options.on_answer_written = [&, slot](std::uint8_t kind, sim::HostTime at) {
      const std::lock_guard lock(written_mutex);
      if (kind == 0x97) written[SlotIndex(slot)].push_back(at.time_since_epoch().count());
    };
  };
  const auto meters = bench::StartMeters(kSlotCount, options, &error, adjust);
  if (meters.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }

  bench::QuietNotifier quiet;
  NullDisplay display;
  FixedRequestFields fields;
  RuleFigures each_read;
  RuleFigures batch;
  double meters_cpu = 0;
  double elapsed_all = 0;
  for (auto _ : state) {
    for (const HandOffRule rule : bench::RoundOrder(rounds_per_rule)) {
      RuleFigures& figures = rule == HandOffRule::kBatch ? batch : each_read;
      SetHandOffRule(rule);
      Engine engine(display, quiet, fields);
      std::uint64_t answers = 0;
      QObject::connect(&engine, &Engine::frameDecoded, [&](int slot, DecodeOutcome outcome) {
        ++answers;  // decoded[] is this thread's own
        if (outcome.kind == 0x97) decoded[SlotIndex(slot)].push_back(Clock::now().time_since_epoch().count());
      });
      engine.Start(options);
      for (int slot = 1; slot <= kSlotCount; ++slot) engine.OpenDevice(slot);
      engine.Select(1);
      bench::RunFor(kGreetingSeconds);

      {
        const std::lock_guard lock(written_mutex);
        for (auto& w : written) w.clear();
        for (auto& d : decoded) d.clear();
      }
      answers = 0;
      const std::uint64_t hand_offs_before = ReceivedHandOffs();
      const bench::CpuSplit before = ThreadCpu();
      const auto started = Clock::now();
      bench::RunFor(seconds / rounds_per_rule);
      const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
      const bench::CpuSplit after = ThreadCpu();
      figures.hand_offs += ReceivedHandOffs() - hand_offs_before;
      figures.answers += answers;
      figures.cpu_seconds += after.others - before.others;
      figures.elapsed_seconds += elapsed;
      meters_cpu += after.meters - before.meters;
      elapsed_all += elapsed;
      engine.Shutdown();

      const std::lock_guard lock(written_mutex);
      for (std::size_t i = 0; i < decoded.size(); ++i) {
        for (std::size_t k = 0; k < std::min(decoded[i].size(), written[i].size()); ++k) {
          figures.latencies_us.push_back(static_cast<double>(decoded[i][k] - written[i][k]) / 1000.0);
        }
      }
    }
  }
  SetHandOffRule(HandOffRule::kBatch);
  bench::ReportRules(state, each_read, batch, "engine_cpu");
  state.counters["meters_cpu_pct"] = elapsed_all > 0 ? 100.0 * meters_cpu / elapsed_all : 0.0;
}
BENCHMARK(BM_EighteenMetersPolled)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  return quorvel::bench::RunBenchmarks(argc, argv);
}
