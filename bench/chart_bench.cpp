// The chart view's cost of one live reading: four charts, four series of
// 200 rows, the reading's points and blank gap set on every chart, then the
// drawing (replot and paint, on Qt's offscreen platform).
//
// Two ways of drawing are compared:
//   coalesced   - the charts are suspended around the reading and replotted
//                 once afterwards, only those on screen;
//   every_chart - every chart is replotted at once after every reading,
//                 shown or not.
// Each in the 2 x 2 grid and with one chart enlarged. "replots" counts the
// replots per reading.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>

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

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
