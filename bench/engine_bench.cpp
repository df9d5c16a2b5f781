// Eighteen simulated meters polled once a second by the engine, at the
// line's real pace. Reports the latency from the last byte of an answer at
// the pseudo-terminal to the updated device record (p50, p99), and the
// engine's share of one core (its threads only; the meters run in threads
// of their own, named "quorvel-meter", and are left out).
//
// QUORVEL_BENCH_SECONDS sets how long it runs (default 30);
// QUORVEL_BENCH_BYTE_US the time between two bytes of an answer (default the
// 9600-baud pace, about 1042; 0 hands each answer over in one piece, as a USB
// adapter's buffering comes closer to).
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

using bench::Percentile;
using bench::CpuSplit;
using bench::ThreadCpu;

void BM_EighteenMetersPolled(benchmark::State& state) {
  const double seconds = bench::BenchSeconds(30);
  const bench::BenchFolder folder("quorvel-engine-bench");

  // Answers of a slot are written and decoded in the same order: the k-th
  // write pairs with the k-th decode.
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
  std::vector<double> latencies_us;
  for (auto _ : state) {
    Engine engine(display, quiet, fields);
    QObject::connect(&engine, &Engine::frameDecoded, [&](int slot, DecodeOutcome outcome) {
      if (outcome.kind == 0x97) decoded[SlotIndex(slot)].push_back(Clock::now().time_since_epoch().count());
    });
    engine.Start(options);
    for (int slot = 1; slot <= kSlotCount; ++slot) engine.OpenDevice(slot);
    engine.Select(1);

    const CpuSplit before = ThreadCpu();
    const auto started = Clock::now();
    bench::RunFor(seconds);
    const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
    const CpuSplit after = ThreadCpu();
    engine.Shutdown();
    for (std::size_t i = 0; i < decoded.size(); ++i) {
      const std::lock_guard lock(written_mutex);
      for (std::size_t k = 0; k < std::min(decoded[i].size(), written[i].size()); ++k) {
        latencies_us.push_back(static_cast<double>(decoded[i][k] - written[i][k]) / 1000.0);
      }
    }

    state.counters["answers"] = static_cast<double>(latencies_us.size());
    state.counters["p50_us"] = Percentile(latencies_us, 0.50);
    state.counters["p99_us"] = Percentile(latencies_us, 0.99);
    state.counters["max_us"] = Percentile(latencies_us, 1.0);
    state.counters["engine_cpu_pct"] = 100.0 * (after.others - before.others) / elapsed;
    state.counters["meters_cpu_pct"] = 100.0 * (after.meters - before.meters) / elapsed;
  }
}
BENCHMARK(BM_EighteenMetersPolled)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  return quorvel::bench::RunBenchmarks(argc, argv);
}
