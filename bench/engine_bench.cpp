// Eighteen simulated meters polled once a second by the engine, at the
// line's real pace. Reports the latency from the last byte of an answer at
// the pseudo-terminal to the updated device record (p50, p99), and the
// engine's share of one core (its threads only; the meters run in threads
// of their own, named "quorvel-meter", and are left out).
//
// QUORVEL_BENCH_SECONDS sets how long it runs (default 30).
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
#include <sstream>
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

CpuSplit ThreadCpu() {
  CpuSplit split;
  const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream in(task.path() / "stat");
    std::string line;
    std::getline(in, line);
    const std::size_t open = line.find('(');
    const std::size_t close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    const std::string name = line.substr(open + 1, close - open - 1);
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    double utime = 0;
    double stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
      if (i == 14) utime = std::stod(field);
      if (i == 15) stime = std::stod(field);
    }
    (name.rfind("quorvel-meter", 0) == 0 ? split.meters : split.others) += (utime + stime) / ticks;
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
    engine.List().SelectSlot(1);

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
