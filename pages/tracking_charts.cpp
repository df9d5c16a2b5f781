#include "pages/tracking_charts.h"

#include <QResizeEvent>

#include "widgets/chart_widget.h"

namespace quorvel {
namespace {

constexpr int kGap = 2;  // pixels between the charts of the grid
// Below this a chart's axis labels and legend no longer fit.
constexpr QSize kSmallestChart(320, 190);

constexpr std::array<const char*, 4> kAccessibleNames = {"Current chart", "Voltage chart", "Power chart",
                                                         "Power factor chart"};

std::size_t Index(TrackedQuantity quantity) { return static_cast<std::size_t>(quantity); }

ChartWidget::ValueScale TrackingScale(TrackedQuantity quantity, AxisRange axis) {
  return {false, axis.min, axis.max, MajorDivisions(quantity, axis), 0};
}

}  // namespace

TrackingCharts::TrackingCharts(QWidget* parent) : QWidget(parent) {
  for (const TrackedQuantity quantity : kTrackedQuantities) {
    auto* chart = new ChartWidget(this);
    chart->setAccessibleName(kAccessibleNames.at(Index(quantity)));
    chart->setMinimumSize(kSmallestChart);
    connect(chart, &ChartWidget::doubleClicked, this,
            [this, quantity] { ToggleSelection(static_cast<int>(quantity)); });
    charts_.at(Index(quantity)) = chart;
  }
  setMinimumSize(2 * kSmallestChart.width() + kGap, 2 * kSmallestChart.height() + kGap);
}

ChartWidget& TrackingCharts::Chart(TrackedQuantity quantity) const { return *charts_.at(Index(quantity)); }

void TrackingCharts::Start(int view_slot, bool saving) {
  view_slot_ = view_slot;
  series_ = SeriesSet(view_slot);
  for (const TrackedQuantity quantity : kTrackedQuantities) PrepareChart(quantity);
  ShowSaving(saving);
}

void TrackingCharts::RestartCurrentChart(bool saving) {
  PrepareChart(TrackedQuantity::kCurrent);
  ShowSaving(saving);
  series_.RestartSweep();
}

// A chart as tracking starts: 4 series, 200 empty rows without labels, a
// tick every 100 rows, the value axis of a fresh chart.
void TrackingCharts::PrepareChart(TrackedQuantity quantity) {
  ChartWidget& chart = Chart(quantity);
  chart.SuspendDrawing();
  chart.SetType(ChartWidget::Type::kLine);
  chart.SetBackdropColor(Qt::white);
  chart.SetAxisColor(Qt::black);
  chart.SetColumnCount(kMaxSeries);
  chart.ShowLegend(true);
  LabelSeries(chart);
  chart.SetValueScale(TrackingScale(quantity, InitialValueAxis(quantity)));
  chart.SetRowCount(kTrackingRows);
  chart.SetCategoryScale({false, 100, 100});
  chart.SetCategoryTitle(QString());
  for (int row = 1; row <= kTrackingRows; ++row) {
    chart.SetCurrentRow(row);
    chart.SetRowLabel(QString());
    for (int column = 1; column <= kMaxSeries; ++column) chart.SetDataPoint(row, column, 0.0, true);
  }
  chart.Refresh();
  chart.ResumeDrawing();
  UpdateDescription(quantity);
}

void TrackingCharts::LabelSeries(ChartWidget& chart) {
  for (int column = 1; column <= kMaxSeries; ++column) {
    chart.SetCurrentColumn(column);
    chart.SetColumnLabel(QString::fromStdString(SeriesLabel(series_.SlotOf(column))));
  }
}

void TrackingCharts::ShowSaving(bool saving) {
  for (const TrackedQuantity quantity : kTrackedQuantities) {
    Chart(quantity).SetTitle(QString::fromStdString(ChartTitle(quantity, view_slot_, saving)));
    UpdateDescription(quantity);
  }
}

AddOutcome TrackingCharts::AddSeries(int slot, bool open) {
  const AddOutcome outcome = series_.Add(slot, open);
  if (outcome == AddOutcome::kAdded) {
    for (ChartWidget* chart : charts_) LabelSeries(*chart);
  }
  return outcome;
}

void TrackingCharts::RemoveSeries(int slot) {
  for (int column = 2; column <= kMaxSeries; ++column) {
    if (series_.SlotOf(column) != slot) continue;
    series_.Remove(slot);
    ClearColumn(column);
    for (ChartWidget* chart : charts_) LabelSeries(*chart);
    return;
  }
}

void TrackingCharts::ClearColumn(int column) {
  for (ChartWidget* chart : charts_) {
    chart->SuspendDrawing();
    for (int row = 1; row <= kTrackingRows; ++row) chart->SetDataPoint(row, column, 0.0, true);
    chart->ResumeDrawing();
  }
}

void TrackingCharts::Reading(int slot, const DeviceRecord& record) {
  if (!isVisible()) return;
  bool plotted = false;
  for (int column = 1; column <= kMaxSeries; ++column) {
    if (series_.SlotOf(column) != slot) continue;
    if (!plotted) {
      for (ChartWidget* chart : charts_) chart->SuspendDrawing();
      plotted = true;
    }
    const SweepStep step = series_.Advance(column);
    for (const TrackedQuantity quantity : kTrackedQuantities) {
      ChartWidget& chart = Chart(quantity);
      const double value = PlottedValue(quantity, record);
      const AxisRange axis{chart.ValueMinimum(), chart.ValueMaximum()};
      const AxisRange adapted = AdaptValueAxis(quantity, axis, value);
      if (adapted != axis) chart.SetValueScale(TrackingScale(quantity, adapted));
      chart.SetCurrentRow(step.row);
      chart.SetDataPoint(step.row, column, value, false);
      for (const int blank : step.blank_rows) chart.SetDataPoint(blank, column, 0.0, true);
    }
  }
  if (!plotted) return;
  // All four resume: a chart off screen is not drawn until it shows again.
  for (const TrackedQuantity quantity : kTrackedQuantities) {
    Chart(quantity).ResumeDrawing();
    UpdateDescription(quantity);
  }
}

void TrackingCharts::UpdateDescription(TrackedQuantity quantity) {
  const ChartWidget& chart = Chart(quantity);
  const std::string description =
      ChartDescription(chart.Title().toStdString(), {chart.ValueMinimum(), chart.ValueMaximum()});
  Chart(quantity).setAccessibleDescription(QString::fromStdString(description));
}

void TrackingCharts::SetSelection(int selection) {
  selection_ = selection >= 0 && selection < 4 ? selection : kAllCharts;
  Arrange();
  Q_EMIT selectionChanged(selection_);
}

void TrackingCharts::ToggleSelection(int chart) {
  if (!current_alone_) SetSelection(selection_ == chart ? kAllCharts : chart);
}

void TrackingCharts::ShowCurrentAlone(bool alone) {
  current_alone_ = alone;
  Arrange();
}

void TrackingCharts::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Arrange();
}

// The grid: two equal columns and rows with a small gap; or one chart over
// the whole area.
void TrackingCharts::Arrange() {
  const int half_width = (width() - kGap) / 2;
  const int half_height = (height() - kGap) / 2;
  const int shown = current_alone_ ? static_cast<int>(TrackedQuantity::kCurrent) : selection_;
  for (int i = 0; i < 4; ++i) {
    ChartWidget* chart = charts_.at(static_cast<std::size_t>(i));
    if (shown == kAllCharts) {
      chart->setGeometry((i % 2) * (half_width + kGap), (i / 2) * (half_height + kGap), half_width, half_height);
      chart->show();
    } else if (shown == i) {
      chart->setGeometry(rect());
      chart->show();
    } else {
      chart->hide();
    }
  }
}

}  // namespace quorvel
