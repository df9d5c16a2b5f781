// What the load benchmarks share: simulated meters on pseudo-terminals for
// the engine, the event loop run for a while, and the process's figures
// (CPU time split between the simulated meters and the rest, resident
// memory).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/engine.h"
#include "sim/pty_meter.h"

namespace quorvel::bench {

struct QuietNotifier : Notifier {
  void Notify(const Notice&) override {}
};

// QUORVEL_BENCH_SECONDS, else `fallback`.
double BenchSeconds(double fallback);

// Runs the event loop for `seconds`.
void RunFor(double seconds);

// The value below which the share `p` (0..1) of `values` lies.
double Percentile(std::vector<double> values, double p);

// CPU seconds of this process's threads, split by whether the thread is a
// simulated meter (named "quorvel-meter"): the scheduler's own accounting,
// finer than the clock ticks of /proc/<pid>/stat.
struct CpuSplit {
  double meters = 0;
  double others = 0;
};
CpuSplit ThreadCpu();

double ResidentMegabytes();

// A folder of its own under the temporary folder, removed afterwards.
struct BenchFolder {
  explicit BenchFolder(const std::string& name);
  ~BenchFolder();
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;
  std::filesystem::path path;
};

// Started meters on slots 1 to `count`, meter k seeded with k, each linked
// to its slot in `options`; `adjust` may change a meter's options first.
// Empty, with the reason in `error`, when one does not start.
using MeterAdjust = std::function<void(int slot, sim::PtyMeterOptions&)>;
std::vector<std::unique_ptr<sim::PtyMeter>> StartMeters(int count, Engine::Options& options, std::string* error,
                                                        const MeterAdjust& adjust = {});

// The two ways a serial monitor hands received bytes over, weighed in one
// run: rounds alternate each-read, batch, batch, each-read, ... so that a
// machine whose load drifts (other builds on it) weighs on both alike.
// QUORVEL_BENCH_RULE=batch or =each_read runs that rule alone (to profile it).
std::vector<HandOffRule> RoundOrder(int rounds_per_rule);
const char* RuleName(HandOffRule rule);  // "each_read", "batch"

// What the rounds of one rule measured.
struct RuleFigures {
  double cpu_seconds = 0;  // of the measured threads
  double elapsed_seconds = 0;
  std::uint64_t hand_offs = 0;  // hand-offs of received bytes
  std::uint64_t answers = 0;    // frames decoded
  std::vector<double> latencies_us;
};
// Counters "<rule>_<what>" of each rule (cpu_pct, p50_us, p99_us, max_us,
// hand_offs_per_answer, answers) and "cpu_ratio" (batch over each-read),
// with `cpu_name` in place of "cpu".
void ReportRules(benchmark::State& state, const RuleFigures& each_read, const RuleFigures& batch,
                 const std::string& cpu_name);

// Google Benchmark's run, after the program made its application.
int RunBenchmarks(int argc, char** argv);

// Before a widget application is made: the offscreen platform unless
// QT_QPA_PLATFORM says otherwise.
void OffscreenUnlessTold();

}  // namespace quorvel::bench
