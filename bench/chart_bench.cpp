// The chart view's figures, comparing two ways of drawing:
//   coalesced   - the charts are suspended around a reading and replotted
//                 once afterwards, only those on screen;
//   every_chart - every chart is replotted at once after every reading,
//                 shown or not.
//
//  - ChartReading: the cost of one live reading on four charts with four
//    series of 200 rows: its points and blank gap set on every chart, then
//    the drawing (replot and paint). In the 2 x 2 grid and with one chart
//    enlarged; "replots" counts the replots per reading.
//  - ChartViewLoad: 18 simulated meters polled once a second by the real
//    engine, the real window with the chart view open on four of them as
//    series in the 2 x 2 grid: the process's share of one core (the meters'
//    own threads, named "quorvel-meter", left out), its resident memory,
//    and the readings charted.
// QUORVEL_BENCH_SECONDS sets the load's length (default 60). Runs offscreen
// unless QT_QPA_PLATFORM says otherwise.
#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "app/main_window.h"
#include "pages/chart_view.h"
#include "pages/realtime_page.h"
#include "pages/tracking_charts.h"
#include "sim/pty_meter.h"
#include "widgets/chart_widget.h"

namespace {

using namespace quorvel;

constexpr std::array<int, 4> kSlots = {3, 4, 5, 6};

void BM_ChartReading(benchmark::State& state) {
  const bool enlarged = state.range(0) != 0;
  const bool immediate = state.range(1) != 0;
  TrackingCharts charts;
  charts.resize(1000, 640);
  charts.Start(kSlots[0], false);
  for (std::size_t k = 1; k < kSlots.size(); ++k) charts.AddSeries(kSlots[k], true);
  charts.SetSelection(enlarged ? 1 : TrackingCharts::kAllCharts);
  for (const TrackedQuantity quantity : kTrackedQuantities) charts.Chart(quantity).SetImmediateDrawing(immediate);
  charts.show();

  // A full sweep first, so that every series has 190 points on screen.
  DeviceRecord record;
  long readings = 0;
  auto next_reading = [&] {
    const auto k = static_cast<std::size_t>(readings % 4);
    record.Current = 0.4F + 0.01F * static_cast<float>(readings % 7);
    record.Voltage = 229.0F + 0.1F * static_cast<float>(readings % 13);
    record.Power = 90.0F + static_cast<float>(readings % 11);
    record.PowerFactor = -0.8F;
    charts.Reading(kSlots.at(k), record);
    ++readings;
    QApplication::processEvents();
  };
  for (int k = 0; k < 4 * kTrackingRows; ++k) next_reading();

  auto replots = [&] {
    long total = 0;
    for (const TrackedQuantity quantity : kTrackedQuantities) total += charts.Chart(quantity).ReplotCount();
    return total;
  };
  const long replots_before = replots();
  const long readings_before = readings;
  for (auto _ : state) next_reading();
  state.counters["replots"] =
      static_cast<double>(replots() - replots_before) / static_cast<double>(readings - readings_before);
}
BENCHMARK(BM_ChartReading)
    ->ArgNames({"enlarged", "every_chart"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// --- 18 meters and the view open -------------------------------------------------------

struct Quiet : Notifier {
  void Notify(const Notice&) override {}
};

void RunFor(double seconds) {
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
  loop.exec();
}

// CPU seconds of the threads that are not simulated meters (the scheduler's own accounting).
double DashboardCpuSeconds() {
  double seconds = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    if (name.rfind("quorvel-meter", 0) == 0) continue;
    std::ifstream schedstat(task.path() / "schedstat");
    double run_ns = 0;
    schedstat >> run_ns;
    seconds += run_ns / 1e9;
  }
  return seconds;
}

double ResidentMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  }
  return 0;
}

// Counts the readings that reach the chart view.
class CountingWindow : public MainWindow {
 public:
  using MainWindow::MainWindow;
  void ChartViewRealTimeSample(int slot, const DeviceRecord& record) override {
    MainWindow::ChartViewRealTimeSample(slot, record);
    ++samples;
  }
  long samples = 0;
};

void BM_ChartViewLoad(benchmark::State& state) {
  const bool immediate = state.range(0) != 0;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("quorvel-chart-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  for (auto _ : state) {
    std::vector<std::unique_ptr<sim::PtyMeter>> meters;
    Engine::Options options;
    options.settings_path = folder / "Power Meter.ini";
    options.port_scan_ms = 0;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      sim::PtyMeterOptions meter_options;
      meter_options.seed = static_cast<std::uint64_t>(slot);
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
    CountingWindow window(&quiet);
    window.Start(options);
    window.show();
    for (int slot = kSlotCount; slot >= 1; --slot) {
      window.engine().Select(slot);
      window.engine().StartDevice(slot);
    }
    window.RealTime().RefreshDeviceBox();
    RunFor(6);  // every meter greeted

    // The view for COM1, with COM2..COM4 added as series.
    ChartView& view = window.Charts();
    view.OpenFor(1);
    auto* box = view.findChild<QComboBox*>();
    QAbstractButton* add = nullptr;
    for (auto* button : view.findChildren<QAbstractButton*>()) {
      if (button->accessibleName() == QStringLiteral("Add Data")) add = button;
    }
    for (int slot = 2; slot <= 4; ++slot) {
      box->setCurrentIndex(box->findData(slot));
      add->click();
    }
    for (const TrackedQuantity quantity : kTrackedQuantities) {
      view.Charts().Chart(quantity).SetImmediateDrawing(immediate);
    }
    RunFor(2);

    auto replots = [&] {
      long total = 0;
      for (const TrackedQuantity quantity : kTrackedQuantities) total += view.Charts().Chart(quantity).ReplotCount();
      return total;
    };
    const char* env = std::getenv("QUORVEL_BENCH_SECONDS");
    const double seconds = env ? std::atof(env) : 60.0;
    const long samples_before = window.samples;
    const long replots_before = replots();
    const double cpu_before = DashboardCpuSeconds();
    const auto started = std::chrono::steady_clock::now();
    RunFor(seconds);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    state.counters["cpu_pct"] = 100.0 * (DashboardCpuSeconds() - cpu_before) / elapsed;
    state.counters["rss_mb"] = ResidentMegabytes();
    state.counters["readings_per_s"] = static_cast<double>(window.samples - samples_before) / elapsed;
    state.counters["replots_per_s"] = static_cast<double>(replots() - replots_before) / elapsed;
    view.reject();
    window.engine().Shutdown();
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ChartViewLoad)
    ->ArgName("every_chart")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
