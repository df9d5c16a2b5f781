// The dashboard window's figures:
//  - WindowShown: process start to the window's first paint, quorvel-dashboard
//    spawned 10 times (it exits at its first paint when
//    QUORVEL_EXIT_AT_FIRST_PAINT is set); median and slowest.
//  - AnswerToField/N: from the last byte of the selected meter's real-time
//    answer at its pseudo-terminal to the page's fields set, with N meters
//    polled (p50, p99). The tick runs every 200 ms so that a short run still
//    gives many answers.
//  - EighteenMetersLoad: the window on the real one-second tick with 18
//    meters: its share of one core (the meters' own threads, named
//    "quorvel-meter", left out) and the resident memory of the process.
// Both run the serial monitors' two ways of handing received bytes over
// (each read at a time, the earlier way, and in batches) in alternating
// rounds of one run, and report each way's figures, its hand-offs per
// decoded answer, and the ratio of the CPU shares.
// QUORVEL_BENCH_SECONDS sets how long each way is measured (default 20 for
// the latency, 60 for the load; in two rounds, one below 10 s). Runs
// offscreen unless QT_QPA_PLATFORM says otherwise.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/main_window.h"
#include "bench/bench_support.h"

extern char** environ;

namespace {

using namespace quorvel;
using bench::BenchSeconds;
using bench::Percentile;
using bench::RunFor;
using Clock = std::chrono::steady_clock;

constexpr const char* kFolderName = "quorvel-dashboard-bench";

// --- Process start to the first paint ------------------------------------------

// Milliseconds from spawning the program to its line at the first paint; < 0 on failure.
double SpawnUntilFirstPaint(const bench::BenchFolder& folder) {
  int out[2];
  if (pipe(out) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addchdir_np(&actions, folder.path.c_str());
  std::string program = QUORVEL_DASHBOARD_PATH;
  char* argv[] = {program.data(), nullptr};
  const auto started = Clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  double ms = -1;
  if (spawned == 0) {
    pollfd p{out[0], POLLIN, 0};
    char line[64];
    if (poll(&p, 1, 20000) > 0 && read(out[0], line, sizeof line) > 0) {
      ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    }
    int status = 0;
    waitpid(pid, &status, 0);
  }
  close(out[0]);
  return ms;
}

void BM_WindowShown(benchmark::State& state) {
  const bench::BenchFolder folder(kFolderName);
  setenv("QUORVEL_EXIT_AT_FIRST_PAINT", "1", 1);
  std::vector<double> runs;
  for (auto _ : state) {
    for (int i = 0; i < 10; ++i) {
      const double ms = SpawnUntilFirstPaint(folder);
      if (ms < 0) {
        state.SkipWithError("quorvel-dashboard did not paint");
        return;
      }
      runs.push_back(ms);
    }
  }
  unsetenv("QUORVEL_EXIT_AT_FIRST_PAINT");
  state.counters["median_ms"] = Percentile(runs, 0.5);
  state.counters["max_ms"] = Percentile(runs, 1.0);
}
BENCHMARK(BM_WindowShown)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// --- Meters and a window ------------------------------------------------------------

// The window, stamping the moment the page's reading fields are set.
class TimedWindow : public MainWindow {
 public:
  using MainWindow::MainWindow;
  void ShowReadings(const ReadingTexts& texts) override {
    MainWindow::ShowReadings(texts);
    shown.push_back(Clock::now().time_since_epoch().count());
  }
  std::vector<std::int64_t> shown;
};

struct Rig {
  explicit Rig(int meter_count, int tick_ms) {
    Engine::Options options;
    options.settings_path = folder.path / "Power Meter.ini";
    options.tick_ms = tick_ms;
    options.port_scan_ms = 0;
    meters = bench::StartMeters(meter_count, options, &error, [this](int slot, sim::PtyMeterOptions& meter_options) {
      if (slot != 1) return;
      meter_options.on_answer_written = [this](std::uint8_t kind, sim::HostTime at) {
        const std::lock_guard lock(mutex);
        if (kind == 0x97) written.push_back(at.time_since_epoch().count());
      };
    });
    if (meters.empty()) return;
    window.Start(options);
    QObject::connect(&window.engine(), &Engine::frameDecoded, [this] { ++answers; });
    window.show();
    for (int slot = meter_count; slot >= 1; --slot) {
      window.engine().Select(slot);
      window.engine().StartDevice(slot);
    }
    // COM1 selected and greeted: from here on every tick polls.
    RunFor(static_cast<double>(6 * tick_ms) / 1000.0);
    const std::lock_guard lock(mutex);
    written.clear();
    window.shown.clear();
    answers = 0;
  }

  std::vector<double> LatenciesUs() {
    const std::lock_guard lock(mutex);
    std::vector<double> us;
    for (std::size_t k = 0; k < std::min(written.size(), window.shown.size()); ++k) {
      us.push_back(static_cast<double>(window.shown[k] - written[k]) / 1000.0);
    }
    return us;
  }

  const bench::BenchFolder folder{kFolderName};
  std::string error;
  std::mutex mutex;
  std::vector<std::int64_t> written;
  std::vector<std::unique_ptr<sim::PtyMeter>> meters;
  std::uint64_t answers = 0;  // frames decoded since the meters were greeted
  bench::QuietNotifier quiet;
  TimedWindow window{&quiet};
};

// Runs `measure` on a fresh rig in alternating rounds of the two hand-off
// rules, `seconds` per rule in all, and reports both rules' figures.
void RunRules(benchmark::State& state, int meter_count, int tick_ms, double seconds, const std::string& cpu_name) {
  const int rounds_per_rule = seconds < 10 ? 1 : 2;
  bench::RuleFigures each_read;
  bench::RuleFigures batch;
  for (const HandOffRule rule : bench::RoundOrder(rounds_per_rule)) {
    bench::RuleFigures& figures = rule == HandOffRule::kBatch ? batch : each_read;
    SetHandOffRule(rule);
    Rig rig(meter_count, tick_ms);
    if (!rig.error.empty()) {
      SetHandOffRule(HandOffRule::kBatch);
      state.SkipWithError(rig.error.c_str());
      return;
    }
    const std::uint64_t hand_offs_before = ReceivedHandOffs();
    const double cpu_before = bench::ThreadCpu().others;
    const auto started = Clock::now();
    RunFor(seconds / rounds_per_rule);
    figures.elapsed_seconds += std::chrono::duration<double>(Clock::now() - started).count();
    figures.cpu_seconds += bench::ThreadCpu().others - cpu_before;
    figures.hand_offs += ReceivedHandOffs() - hand_offs_before;
    figures.answers += rig.answers;
    const std::vector<double> us = rig.LatenciesUs();
    figures.latencies_us.insert(figures.latencies_us.end(), us.begin(), us.end());
    state.counters["rss_mb"] = std::max(state.counters["rss_mb"].value, bench::ResidentMegabytes());
  }
  SetHandOffRule(HandOffRule::kBatch);
  bench::ReportRules(state, each_read, batch, cpu_name);
}

void BM_AnswerToField(benchmark::State& state) {
  for (auto _ : state) {
    RunRules(state, static_cast<int>(state.range(0)), 200, BenchSeconds(20), "window_cpu_fast_tick");
  }
}
BENCHMARK(BM_AnswerToField)->Arg(3)->Arg(18)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// --- Load with 18 meters ----------------------------------------------------------------

void BM_EighteenMetersLoad(benchmark::State& state) {
  for (auto _ : state) RunRules(state, kSlotCount, 1000, BenchSeconds(60), "window_cpu");
}
BENCHMARK(BM_EighteenMetersLoad)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  quorvel::bench::OffscreenUnlessTold();
  QApplication app(argc, argv);
  return quorvel::bench::RunBenchmarks(argc, argv);
}
