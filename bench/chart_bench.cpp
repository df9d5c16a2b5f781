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

#include <array>
#include <chrono>
#include <string>

#include "app/main_window.h"
#include "bench/bench_support.h"
#include "pages/chart_view.h"
#include "pages/realtime_page.h"
#include "pages/tracking_charts.h"
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

// Counts the readings that reach the chart view.
class CountingWindow : public MainWindow {
 public:
  explicit CountingWindow(Notifier* notifier) : MainWindow(notifier) {
    engine().Readings().Subscribe("count", [this](const Reading& reading) -> Result<Consumed> {
      if (!reading.use.chart) return Consumed::kSkipped;
      ++samples;
      return Consumed::kDone;
    });
  }
  long samples = 0;
};

void BM_ChartViewLoad(benchmark::State& state) {
  const bool immediate = state.range(0) != 0;
  const bench::BenchFolder folder("quorvel-chart-bench");
  for (auto _ : state) {
    Engine::Options options;
    options.settings_path = folder.path / "Power Meter.ini";
    options.port_scan_ms = 0;
    std::string error;
    const auto meters = bench::StartMeters(kSlotCount, options, &error);
    if (meters.empty()) {
      state.SkipWithError(error.c_str());
      return;
    }
    bench::QuietNotifier quiet;
    CountingWindow window(&quiet);
    window.Start(options);
    window.show();
    for (int slot = kSlotCount; slot >= 1; --slot) {
      window.engine().Select(slot);
      window.engine().StartDevice(slot);
    }
    window.RealTime().RefreshDeviceBox();
    bench::RunFor(6);  // every meter greeted

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
    bench::RunFor(2);

    auto replots = [&] {
      long total = 0;
      for (const TrackedQuantity quantity : kTrackedQuantities) total += view.Charts().Chart(quantity).ReplotCount();
      return total;
    };
    const double seconds = bench::BenchSeconds(60);
    const long samples_before = window.samples;
    const long replots_before = replots();
    const double cpu_before = bench::ThreadCpu().others;
    const auto started = std::chrono::steady_clock::now();
    bench::RunFor(seconds);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    state.counters["cpu_pct"] = 100.0 * (bench::ThreadCpu().others - cpu_before) / elapsed;
    state.counters["rss_mb"] = bench::ResidentMegabytes();
    state.counters["readings_per_s"] = static_cast<double>(window.samples - samples_before) / elapsed;
    state.counters["replots_per_s"] = static_cast<double>(replots() - replots_before) / elapsed;
    view.reject();
    window.engine().Shutdown();
  }
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
  quorvel::bench::OffscreenUnlessTold();
  QApplication app(argc, argv);
  return quorvel::bench::RunBenchmarks(argc, argv);
}
