#include "pages/tracking_charts.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "pages/readings_model.h"
#include "widgets/chart_widget.h"

namespace quorvel {
namespace {

using Q = TrackedQuantity;

DeviceRecord Reading(float current, float voltage, float power, float factor) {
  DeviceRecord record;
  record.Current = current;
  record.Voltage = voltage;
  record.Power = power;
  record.PowerFactor = factor;
  return record;
}

TEST(TrackingCharts, SeriesSweepTheirOwnRowsAndTheAxesFollow) {
  TrackingCharts charts;
  charts.resize(700, 420);
  charts.Start(3, false);
  charts.show();
  charts.Reading(3, Reading(0.37F, 230.4F, 86.0F, -0.85F));
  EXPECT_EQ(charts.AddSeries(5, true), AddOutcome::kAdded);  // starts at row 2, where COM3 writes next
  charts.Reading(5, Reading(1.0F, 228.0F, 200.0F, 0.5F));
  charts.Reading(5, Reading(1.0F, 228.0F, 200.0F, 0.5F));
  charts.Reading(7, Reading(9.0F, 100.0F, 9.0F, 0.1F));  // not a series: ignored

  const ChartWidget& voltage = charts.Chart(Q::kVoltage);
  EXPECT_EQ(voltage.DataPoint(1, 1), std::optional<double>(230.4F));
  EXPECT_EQ(voltage.DataPoint(2, 2), std::optional<double>(228.0F));
  EXPECT_EQ(voltage.DataPoint(3, 2), std::optional<double>(228.0F));
  EXPECT_FALSE(voltage.DataPoint(2, 1).has_value());
  EXPECT_EQ(voltage.ColumnLabel(2), "COM5");
  EXPECT_NEAR(charts.Chart(Q::kPowerFactor).DataPoint(1, 1).value_or(0), -0.85, 1e-6);  // with its sign

  struct Case {
    Q chart;
    const char* description;
  };
  for (const Case& c : {Case{Q::kCurrent, "COM3 Current 0.17..1.2"}, Case{Q::kVoltage, "COM3 Voltage 227..231"},
                        Case{Q::kPower, "COM3 Power 85..201"}, Case{Q::kPowerFactor, "COM3 Power Factor -1..1"}}) {
    EXPECT_EQ(charts.Chart(c.chart).accessibleDescription().toStdString(), c.description);
  }

  charts.ShowSaving(true);
  EXPECT_EQ(charts.Chart(Q::kPower).accessibleDescription().toStdString(), "Power Tracking 85..201");

  charts.RemoveSeries(5);  // its column is emptied on every chart
  EXPECT_FALSE(voltage.DataPoint(2, 2).has_value());
  EXPECT_EQ(voltage.ColumnLabel(2), "");
  charts.RemoveSeries(3);  // the view's own device stays
  EXPECT_EQ(charts.Series().SlotOf(1), 3);
}

TEST(TrackingCharts, DoubleClicksEnlargeAChartAndGoBackToTheGrid) {
  TrackingCharts charts;
  charts.resize(700, 420);
  charts.show();
  charts.ToggleSelection(2);
  EXPECT_EQ(charts.Selection(), 2);
  EXPECT_TRUE(charts.Chart(Q::kPower).isVisible());
  EXPECT_FALSE(charts.Chart(Q::kCurrent).isVisible());
  EXPECT_EQ(charts.Chart(Q::kPower).geometry(), charts.rect());
  charts.ToggleSelection(1);  // another chart: that one enlarged
  EXPECT_EQ(charts.Selection(), 1);
  charts.ToggleSelection(1);
  EXPECT_EQ(charts.Selection(), TrackingCharts::kAllCharts);
  for (const Q chart : kTrackedQuantities) EXPECT_TRUE(charts.Chart(chart).isVisible());
  EXPECT_EQ(charts.Chart(Q::kPowerFactor).geometry().bottomRight(), charts.rect().bottomRight());
}

TEST(ReadingsModel, KeepsTheHeadersAndTheNewestLinesOnTop) {
  ReadingsModel lines(3);
  for (const char* line : {"a", "b", "c", "d"}) lines.AddNewest(line);
  ASSERT_EQ(lines.rowCount(), 5);
  auto text = [&](int row) { return lines.index(row, 0).data().toString().toStdString(); };
  EXPECT_EQ(text(0), kTextHeaderTitle);
  EXPECT_EQ(text(1), TextHeaderColumns());
  EXPECT_EQ(text(2), "d");
  EXPECT_EQ(text(4), "b");  // "a", the oldest, went
  lines.Restart();
  EXPECT_EQ(lines.rowCount(), 2);
}

}  // namespace
}  // namespace quorvel
