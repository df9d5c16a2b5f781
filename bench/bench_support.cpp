#include "bench/bench_support.h"

#include <benchmark/benchmark.h>

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <utility>

#include <unistd.h>

namespace quorvel::bench {

double BenchSeconds(double fallback) {
  const char* env = std::getenv("QUORVEL_BENCH_SECONDS");
  return env ? std::atof(env) : fallback;
}

void RunFor(double seconds) {
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
  loop.exec();
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

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

double ResidentMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  }
  return 0;
}

BenchFolder::BenchFolder(const std::string& name)
    : path(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()))) {
  std::filesystem::create_directories(path);
}

BenchFolder::~BenchFolder() { std::filesystem::remove_all(path); }

std::vector<std::unique_ptr<sim::PtyMeter>> StartMeters(int count, Engine::Options& options, std::string* error,
                                                        const MeterAdjust& adjust) {
  std::vector<std::unique_ptr<sim::PtyMeter>> meters;
  for (int slot = 1; slot <= count; ++slot) {
    sim::PtyMeterOptions meter_options;
    meter_options.seed = static_cast<std::uint64_t>(slot);
    if (adjust) adjust(slot, meter_options);
    auto meter = sim::PtyMeter::Open(meter_options, error);
    if (!meter || !meter->Start(error)) return {};
    options.port_assignments[slot] = meter->SlavePath();
    meters.push_back(std::move(meter));
  }
  return meters;
}

std::vector<HandOffRule> RoundOrder(int rounds_per_rule) {
  std::vector<HandOffRule> order;
  if (const char* only = std::getenv("QUORVEL_BENCH_RULE")) {
    const HandOffRule rule = std::string(only) == "each_read" ? HandOffRule::kEachRead : HandOffRule::kBatch;
    return std::vector<HandOffRule>(static_cast<std::size_t>(rounds_per_rule), rule);
  }
  for (int pair = 0; pair < rounds_per_rule; ++pair) {
    const bool each_read_first = pair % 2 == 0;
    order.push_back(each_read_first ? HandOffRule::kEachRead : HandOffRule::kBatch);
    order.push_back(each_read_first ? HandOffRule::kBatch : HandOffRule::kEachRead);
  }
  return order;
}

const char* RuleName(HandOffRule rule) { return rule == HandOffRule::kBatch ? "batch" : "each_read"; }

void ReportRules(benchmark::State& state, const RuleFigures& each_read, const RuleFigures& batch,
                 const std::string& cpu_name) {
  const auto cpu_pct = [](const RuleFigures& f) {
    return f.elapsed_seconds > 0 ? 100.0 * f.cpu_seconds / f.elapsed_seconds : 0.0;
  };
  for (const auto& [rule, f] :
       {std::pair{HandOffRule::kEachRead, &each_read}, std::pair{HandOffRule::kBatch, &batch}}) {
    const std::string name = RuleName(rule);
    state.counters[name + "_" + cpu_name + "_pct"] = cpu_pct(*f);
    state.counters[name + "_p50_us"] = Percentile(f->latencies_us, 0.50);
    state.counters[name + "_p99_us"] = Percentile(f->latencies_us, 0.99);
    state.counters[name + "_max_us"] = Percentile(f->latencies_us, 1.0);
    state.counters[name + "_hand_offs_per_answer"] =
        f->answers > 0 ? static_cast<double>(f->hand_offs) / static_cast<double>(f->answers) : 0.0;
    state.counters[name + "_answers"] = static_cast<double>(f->answers);
  }
  if (cpu_pct(each_read) > 0) state.counters[cpu_name + "_ratio"] = cpu_pct(batch) / cpu_pct(each_read);
}

int RunBenchmarks(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

void OffscreenUnlessTold() {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

}  // namespace quorvel::bench
