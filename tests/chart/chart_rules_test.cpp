#include "pages/chart_rules.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvel {
namespace {

using Q = TrackedQuantity;

TEST(ChartRules, ValueAxisFollowsTheReadings) {
  struct Case {
    Q quantity;
    AxisRange before;
    double reading;
    AxisRange after;
  };
  const AxisRange fresh = InitialValueAxis(Q::kCurrent);
  const std::vector<Case> cases = {
      {Q::kCurrent, fresh, 0.37, {0.17, 0.57}},         // collapsed: centred on the reading
      {Q::kCurrent, fresh, 0.05, {0.0, 0.25}},          // never below 0
      {Q::kCurrent, fresh, 0.374, {0.17, 0.57}},        // rounded to hundredths first
      {Q::kCurrent, {0.17, 0.57}, 0.40, {0.17, 0.60}},  // near the top: the top moves out
      {Q::kCurrent, {0.17, 0.57}, 0.30, {0.10, 0.57}},  // near the bottom
      {Q::kCurrent, {0.17, 0.57}, 0.37, {0.17, 0.57}},  // the same reading again: kept
      {Q::kCurrent, {0.0, 2.0}, 0.10, {0.0, 2.0}},      // bottom rule, clamped at 0
      {Q::kVoltage, fresh, 230.4, {229.0, 231.0}},
      {Q::kVoltage, {229.0, 231.0}, 230.9, {229.0, 231.0}},  // top rule, same maximum
      {Q::kVoltage, {229.0, 231.0}, 228.6, {227.0, 231.0}},  // bottom rule
      {Q::kVoltage, {229.0, 231.0}, 235.2, {229.0, 236.0}},
      {Q::kVoltage, {200.0, 240.0}, 190.0, {189.0, 240.0}},  // never narrows
      {Q::kPower, fresh, 0.0, {0.0, 1.0}},                   // an idle load
      {Q::kPower, fresh, 86.7, {85.0, 87.0}},
      {Q::kPowerFactor, InitialValueAxis(Q::kPowerFactor), 0.85, {0.0, 1.0}},  // fixed, a factor shows
  };
  for (const Case& c : cases) {
    const AxisRange got = AdaptValueAxis(c.quantity, c.before, c.reading);
    EXPECT_NEAR(got.min, c.after.min, 1e-9) << static_cast<int>(c.quantity) << " " << c.reading;
    EXPECT_NEAR(got.max, c.after.max, 1e-9) << static_cast<int>(c.quantity) << " " << c.reading;
  }
}

// The factor keeps its sign (a leading load's is negative) and may reach
// 1.28: the axis keeps 0..1 while every factor fits, else moves out in steps
// of 0.5 to take it in, with a division every 0.5.
TEST(ChartRules, PowerFactorKeepsItsSignAndTheAxisTakesItIn) {
  struct Case {
    AxisRange before;
    float factor;
    AxisRange after;
    int divisions;
  };
  const AxisRange fresh = InitialValueAxis(Q::kPowerFactor);
  const std::vector<Case> cases = {
      {fresh, 0.95F, {0.0, 1.0}, 2},        {fresh, 1.0F, {0.0, 1.0}, 2},
      {fresh, 0.0F, {0.0, 1.0}, 2},         {fresh, -0.95F, {-1.0, 1.0}, 4},
      {fresh, -0.3F, {-0.5, 1.0}, 3},       {fresh, -1.28F, {-1.5, 1.0}, 5},
      {fresh, 1.28F, {0.0, 1.5}, 3},        {fresh, 1.01F, {0.0, 1.5}, 3},
      {{-1.0, 1.0}, 0.5F, {-1.0, 1.0}, 4},  // never narrows
      {{-1.0, 1.0}, 1.28F, {-1.0, 1.5}, 5},
  };
  for (const Case& c : cases) {
    DeviceRecord record;
    record.PowerFactor = c.factor;
    const double plotted = PlottedValue(Q::kPowerFactor, record);
    EXPECT_FLOAT_EQ(static_cast<float>(plotted), c.factor);
    const AxisRange got = AdaptValueAxis(Q::kPowerFactor, c.before, plotted);
    EXPECT_NEAR(got.min, c.after.min, 1e-9) << c.factor;
    EXPECT_NEAR(got.max, c.after.max, 1e-9) << c.factor;
    EXPECT_EQ(MajorDivisions(Q::kPowerFactor, got), c.divisions) << c.factor;
  }
  EXPECT_EQ(MajorDivisions(Q::kVoltage, {229.0, 231.0}), 2);
}

TEST(ChartRules, SweepWritesRowsInTurnAndBlanksTenAhead) {
  struct Case {
    int write_row;
    int next_row;
    int first_blank;
    int last_blank;
  };
  const std::vector<Case> cases = {
      {1, 2, 2, 11},
      {190, 191, 191, 200},
      {195, 196, 196, 5},  // the gap wraps round
      {200, 1, 1, 10},     // the 200th reading; the next one goes to row 1
  };
  for (const Case& c : cases) {
    const SweepStep step = Sweep(c.write_row);
    EXPECT_EQ(step.row, c.write_row);
    EXPECT_EQ(step.next_row, c.next_row) << c.write_row;
    EXPECT_EQ(step.blank_rows.front(), c.first_blank) << c.write_row;
    EXPECT_EQ(step.blank_rows.back(), c.last_blank) << c.write_row;
  }

  // 201 readings: the last goes to row 1 and leaves rows 2..11 blank.
  SeriesSet series(3);
  SweepStep step;
  for (int reading = 1; reading <= 201; ++reading) step = series.Advance(1);
  EXPECT_EQ(step.row, 1);
  EXPECT_EQ(step.blank_rows.front(), 2);
  EXPECT_EQ(step.blank_rows.back(), 11);
}

TEST(ChartRules, SeriesJoinLeaveAndKeepTheirOwnWriteRows) {
  SeriesSet series(3);
  for (int k = 0; k < 5; ++k) series.Advance(1);  // the view's own device is at row 6

  struct Case {
    int slot;
    bool open;
    AddOutcome outcome;
  };
  const std::vector<Case> adds = {
      {5, true, AddOutcome::kAdded},          {5, true, AddOutcome::kAlreadyPlotted},
      {3, true, AddOutcome::kAlreadyPlotted}, {7, false, AddOutcome::kNotOpen},  // "please run com"
      {7, true, AddOutcome::kAdded},          {9, true, AddOutcome::kAdded},
      {11, true, AddOutcome::kNoFreeColumn},   // "Max"
      {11, false, AddOutcome::kNoFreeColumn},  // "Max" comes first
  };
  for (const Case& c : adds) EXPECT_EQ(series.Add(c.slot, c.open), c.outcome) << c.slot;
  EXPECT_EQ(series.WriteRowOf(2), 6);  // a new series starts where the view's own device is

  // Devices answering alternately: each series moves on its own.
  series.Advance(2);
  series.Advance(2);
  series.Advance(1);
  EXPECT_EQ(series.WriteRowOf(1), 7);
  EXPECT_EQ(series.WriteRowOf(2), 8);
  EXPECT_EQ(series.WriteRowOf(3), 6);

  EXPECT_FALSE(series.Remove(3));  // the view's own device stays
  EXPECT_TRUE(series.Remove(7));
  EXPECT_FALSE(series.Remove(7));
  EXPECT_EQ(series.SlotOf(3), 0);
  EXPECT_EQ(series.Add(11, true), AddOutcome::kAdded);  // the freed column is taken again
  EXPECT_EQ(series.SlotOf(3), 11);
  EXPECT_EQ(series.WriteRowOf(3), 7);

  series.RestartSweep();
  for (int column = 1; column <= kMaxSeries; ++column) EXPECT_EQ(series.WriteRowOf(column), 1);
}

TEST(ChartRules, Texts) {
  DeviceRecord record;
  record.Current = 0.37F;
  record.Voltage = 230.4F;
  record.Power = 86.2F;
  record.PowerFactor = -0.85F;
  struct Case {
    std::string got;
    std::string want;
  };
  const std::vector<Case> cases = {
      {ReadingLine(3, record), "Com3: 0.37       230.4      86.2        -0.85"},
      {TextHeaderColumns(), "Device: Current  Voltage  Power   Factor"},
      {ChartTitle(Q::kCurrent, 3, false), "COM3 Current"},
      {ChartTitle(Q::kPowerFactor, 12, false), "COM12 Power Factor"},
      {ChartTitle(Q::kVoltage, 3, true), "Voltage Tracking"},
      {ChartTitle(Q::kPowerFactor, 3, true), "Power Factor Tracking"},
      {SeriesLabel(5), "COM5"},
      {SeriesLabel(0), ""},
      {ChartDescription("COM3 Voltage", {229.0, 231.0}), "COM3 Voltage 229..231"},
      {ChartDescription("COM3 Current", {0.37 - 0.2, 0.37 + 0.2}), "COM3 Current 0.17..0.57"},
      {ChartDescription("COM3 Current", {0.0, 0.1}), "COM3 Current 0..0.1"},
      {ChartDescription("COM3 Power Factor", {-1.5, 1.0}), "COM3 Power Factor -1.5..1"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
  EXPECT_DOUBLE_EQ(PlottedValue(Q::kPowerFactor, record), -0.85F);
  EXPECT_EQ(std::string(kTextHeaderTitle).find("Real Data"), 27U);
  EXPECT_EQ(std::string(kTextHeaderTitle).size(), 27U + 9U + 17U);
}

}  // namespace
}  // namespace quorvel
