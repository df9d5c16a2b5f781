#include "widgets/chart_widget.h"

#include <gtest/gtest.h>
#include "widgets/qcustomplot_include.h"

#include <QCoreApplication>
#include <QImage>

#include "tests/support/spin.h"

namespace quorvel {
namespace {

// Lets every queued replot run.
void Settle() {
  for (int k = 0; k < 3; ++k) QCoreApplication::processEvents();
}

// Pixels of column 1's blue (or its blend with the white backdrop) in the
// chart as drawn; axes, grid and texts are black or grey.
int SeriesPixels(ChartWidget& chart) {
  const QImage image = chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += qBlue(image.pixel(x, y)) - qRed(image.pixel(x, y)) > 60 ? 1 : 0;
  }
  return count;
}

std::unique_ptr<ChartWidget> SmallChart(int rows, int columns) {
  auto chart = std::make_unique<ChartWidget>();
  chart->resize(300, 200);
  chart->SetRowCount(rows);
  chart->SetColumnCount(columns);
  chart->SetValueScale({false, 0.0, 10.0, 2, 0});
  return chart;
}

TEST(ChartWidget, NullPointsBreakLinesAndALonePointStillShows) {
  auto chart = SmallChart(10, 1);
  chart->show();
  Settle();
  EXPECT_EQ(SeriesPixels(*chart), 0);  // every point null: nothing drawn

  chart->SetDataPoint(5, 1, 5.0, false);  // nulls on both sides
  Settle();
  const int marker = SeriesPixels(*chart);
  EXPECT_GT(marker, 10);

  chart->SetDataPoint(6, 1, 5.0, false);  // now a short line
  Settle();
  EXPECT_GT(SeriesPixels(*chart), marker);

  chart->SetDataPoint(5, 1, 0.0, true);
  chart->SetDataPoint(6, 1, 0.0, true);
  Settle();
  EXPECT_EQ(SeriesPixels(*chart), 0);
}

TEST(ChartWidget, ABatchCostsOneReplotAndAHiddenChartNone) {
  auto shown = SmallChart(200, 4);
  auto hidden = SmallChart(200, 4);
  shown->show();
  Settle();
  const long shown_before = shown->ReplotCount();
  const long hidden_before = hidden->ReplotCount();

  for (ChartWidget* chart : {shown.get(), hidden.get()}) chart->SuspendDrawing();
  for (int row = 1; row <= 200; ++row) {
    for (ChartWidget* chart : {shown.get(), hidden.get()}) {
      chart->SetDataPoint(row, 1 + row % 4, row * 0.05, false);
      chart->SetCurrentColumn(1 + row % 4);
      chart->SetColumnLabel(QString("COM%1").arg(row % 4));
    }
  }
  Settle();
  EXPECT_EQ(shown->ReplotCount(), shown_before);  // suspended: nothing drawn
  for (ChartWidget* chart : {shown.get(), hidden.get()}) chart->ResumeDrawing();
  Settle();
  EXPECT_EQ(shown->ReplotCount(), shown_before + 1);
  EXPECT_EQ(hidden->ReplotCount(), hidden_before);

  hidden->show();  // shown again: drawn once with everything
  Settle();
  EXPECT_EQ(hidden->ReplotCount(), hidden_before + 1);
  EXPECT_DOUBLE_EQ(hidden->DataPoint(7, 4).value_or(-1), 7 * 0.05);
}

TEST(ChartWidget, GridLabelsAndLegendFollowTheOperations) {
  auto chart = SmallChart(3, 2);
  chart->SetDataPoint(2, 2, 1.5, false);
  chart->SetDataPoint(9, 1, 1.0, false);  // outside the grid: ignored
  chart->SetRowCount(5);                  // points inside both grids stay
  chart->SetColumnCount(4);
  EXPECT_EQ(chart->DataPoint(2, 2), 1.5);
  EXPECT_FALSE(chart->DataPoint(5, 4).has_value());
  EXPECT_FALSE(chart->DataPoint(9, 1).has_value());

  chart->SetCurrentRow(4);
  chart->SetRowLabel("4");
  chart->SetCurrentRow(0);  // no such row: the current row stays
  chart->SetRowLabel("four");
  EXPECT_EQ(chart->RowLabel(4), "four");

  chart->ShowLegend(true);
  chart->SetCurrentColumn(3);
  chart->SetColumnLabel("COM7");
  chart->SetCurrentColumn(1);
  chart->SetColumnLabel("COM3");
  auto* plot = chart->findChild<QCustomPlot*>();
  ASSERT_NE(plot, nullptr);
  ASSERT_EQ(plot->legend->itemCount(), 2);  // empty labels are not listed
  auto name = [&](int k) { return static_cast<QCPPlottableLegendItem*>(plot->legend->item(k))->plottable()->name(); };
  EXPECT_EQ(name(0), "COM3");  // in column order
  EXPECT_EQ(name(1), "COM7");

  chart->SetValueScale({false, 229.0, 231.0, 2, 0});
  EXPECT_EQ(chart->ValueMinimum(), 229.0);
  EXPECT_EQ(chart->ValueMaximum(), 231.0);
  EXPECT_EQ(plot->yAxis->range(), QCPRange(229.0, 231.0));
  chart->SetType(ChartWidget::Type::kBar);
  EXPECT_EQ(chart->DataPoint(2, 2), 1.5);
  EXPECT_EQ(plot->plottableCount(), 4);  // one bar series per column
}

}  // namespace
}  // namespace quorvel
