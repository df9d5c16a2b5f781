#include "model/device_record.h"

#include <gtest/gtest.h>

#include "model/month_lengths.h"

namespace quorvel {
namespace {

void ExpectStartPattern(const HistoryTable& history) {
  for (int month = 1; month <= kMonths; ++month) {
    for (int day = 1; day <= kDaysPerMonthRow; ++day) {
      const double expected = day > DaysOfMonth(month, false) ? kNoSuchDay : 0.0;
      EXPECT_EQ(history[static_cast<std::size_t>(month - 1)][static_cast<std::size_t>(day - 1)], expected)
          << month << "/" << day;
    }
  }
}

TEST(DeviceTable, StartsWithTheResetPatternInEverySlot) {
  const DeviceTable table;
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    ExpectStartPattern(table.Slot(slot).History);
    EXPECT_EQ(table.Slot(slot).HistoryLoaded, 0);
    EXPECT_EQ(table.Slot(slot).Co2Factor, 0.0F);
  }
  EXPECT_EQ(table.Settings().LimitState, kLimitNotReached);
  EXPECT_EQ(table.Settings().ShownDay, 0);
}

TEST(DeviceTable, ReopeningAPortResetsOnlyThatSlotsHistory) {
  DeviceTable table;
  for (int slot : {3, 4}) {
    SlotData& data = table.Slot(slot);
    for (auto& month : data.History) month.fill(2.5);
    data.HistoryLoaded = 1;
    data.Co2Factor = 0.785F;
    data.Record.Energy = 12.5;
  }
  table.ResetSlotHistory(3);

  ExpectStartPattern(table.Slot(3).History);
  EXPECT_EQ(table.Slot(3).HistoryLoaded, 0);
  // Readings and the CO2 factor stay until the next answers.
  EXPECT_EQ(table.Slot(3).Co2Factor, 0.785F);
  EXPECT_EQ(table.Slot(3).Record.Energy, 12.5);
  // The neighbour keeps everything.
  EXPECT_EQ(table.Slot(4).History[1][30], 2.5);
  EXPECT_EQ(table.Slot(4).HistoryLoaded, 1);
}

TEST(DeviceTable, ResetAllClearsRecordsAndSettings) {
  DeviceTable table;
  table.Slot(18).Record.Voltage = 230.0F;
  table.Settings().LimitState = kLimitReached;
  table.Settings().MeterNumber = "12345678";
  table.ResetAll();
  EXPECT_EQ(table.Slot(18).Record.Voltage, 0.0F);
  EXPECT_EQ(table.Settings().LimitState, kLimitNotReached);
  EXPECT_TRUE(table.Settings().MeterNumber.empty());
}

TEST(DeviceTable, SlotNumbersOutsideTheTableAreRefused) {
  DeviceTable table;
  EXPECT_THROW(table.Slot(0), std::out_of_range);
  EXPECT_THROW(table.Slot(19), std::out_of_range);
  EXPECT_FALSE(IsSlotNumber(0));
  EXPECT_TRUE(IsSlotNumber(18));
}

TEST(CostOf, WholeEnergyIsPricedAtTheTierItFallsIn) {
  MeterSettings s;
  s.TierLimit = 100;
  s.Price1 = 300;  // 30.0 cents per kWh
  s.Price2 = 400;
  EXPECT_DOUBLE_EQ(CostOf(100.0, s), 30.0);
  EXPECT_DOUBLE_EQ(CostOf(100.5, s), 40.2);
}

}  // namespace
}  // namespace quorvel
