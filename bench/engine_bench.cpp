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
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "app/engine.h"
#include "sim/pty_meter.h"

#include <unistd.h>

namespace {

using namespace quorvel;
using Clock = std::chrono::steady_clock;

struct Quiet : Notifier {
  void Notify(const Notice&) override {}
};

// CPU seconds of this process's threads, split by whether the thread is a
// simulated meter.
struct CpuSplit {
  double meters = 0;
  double others = 0;
};

// Run time from the scheduler's own accounting (nanoseconds), finer than
// the clock ticks of /proc/<pid>/stat.
CpuSplit ThreadCpu() {
  CpuSplit split;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    std::ifstream schedstat(task.path() / "schedstat");
    double run_ns = 0;
    schedstat >> run_ns;
    (name.rfind("quorvel-meter", 0) == 0 ? split.meters : split.others) += run_ns / 1e9;
  }
  return split;
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
  return values[at];
}

void BM_EighteenMetersPolled(benchmark::State& state) {
  const char* env = std::getenv("QUORVEL_BENCH_SECONDS");
  const double seconds = env ? std::atof(env) : 30.0;
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quorvel-engine-bench";
  std::filesystem::create_directories(folder);

  // Answers of a slot are written and decoded in the same order: the k-th
  // write pairs with the k-th decode.
  std::mutex written_mutex;
  std::array<std::vector<std::int64_t>, kSlotCount> written;
  std::array<std::vector<std::int64_t>, kSlotCount> decoded;
  std::vector<std::unique_ptr<sim::PtyMeter>> meters;
  Engine::Options options;
  options.settings_path = folder / "Power Meter.ini";
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    sim::PtyMeterOptions meter_options;
    meter_options.seed = static_cast<std::uint64_t>(slot);
    if (const char* pace = std::getenv("QUORVEL_BENCH_BYTE_US")) meter_options.byte_interval = std::chrono::microseconds(std::atoi(pace));
    meter_options.on_answer_written = [&, slot](std::uint8_t kind, sim::HostTime at) {
      const std::lock_guard lock(written_mutex);
      if (kind == 0x97) written[SlotIndex(slot)].push_back(at.time_since_epoch().count());
    };
    std::string error;
    auto meter = sim::PtyMeter::Open(meter_options, &error);
    if (!meter || !meter->Start(&error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    options.port_assignments[slot] = meter->SlavePath();
    meters.push_back(std::move(meter));
  }

  Quiet quiet;
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
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
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
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_EighteenMetersPolled)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
