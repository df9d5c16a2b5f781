// The texts the views show of what the meters answered: the history boxes
// and every reading as the outputs write it.
#include "device/answer_texts.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/history_tables.h"

namespace quorvel {
namespace {

using testing::NumberedHistory;
using testing::Shown;

TEST(HistoryBoxTexts, DayComesFromTheSlotsOwnDateAndSkipsMissingDays) {
  SlotData slot;
  ResetHistory(slot.History);
  slot.History = NumberedHistory();
  slot.MonthsRead.fill(true);
  slot.Record.Month = 6;
  slot.Record.Day = 23;
  const MeterSettings shown = Shown(2009, 6, 23);  // Tuesday

  HistoryTexts t = HistoryBoxTexts(slot, shown);
  EXPECT_EQ(t.day, "623.00");
  EXPECT_EQ(t.week, std::to_string(621 + 622 + 623) + ".00");
  EXPECT_TRUE(t.month.has_value());

  slot.Record.Month = 4;
  slot.Record.Day = 31;  // no such day: the Day box is left alone
  t = HistoryBoxTexts(slot, shown);
  EXPECT_FALSE(t.day.has_value());

  slot.Record.Month = 0;  // the device never sent its date
  slot.Record.Day = 0;
  t = HistoryBoxTexts(slot, Shown(0, 0, 0));
  EXPECT_FALSE(t.day.has_value());
  EXPECT_FALSE(t.week.has_value());
  EXPECT_FALSE(t.month.has_value());
}

TEST(HistoryBoxTexts, MonthsNeverReadShowUnknownNotZero) {
  struct Case {
    int unread_month;
    int shown_day;  // in June 2009; 2 June is a Tuesday whose week began in May
    const char* day;
    const char* week;
    const char* month;
  };
  for (const Case c : {Case{6, 23, "--", "--", "--"}, Case{5, 2, "602.00", "--", "18465.00"},
                       Case{5, 23, "623.00", "1866.00", "18465.00"}}) {
    SlotData slot;
    slot.History = NumberedHistory();
    slot.MonthsRead.fill(true);
    slot.MonthsRead[static_cast<std::size_t>(c.unread_month - 1)] = false;
    slot.Record.Month = 6;
    slot.Record.Day = static_cast<std::int8_t>(c.shown_day);
    const HistoryTexts t = HistoryBoxTexts(slot, Shown(2009, 6, c.shown_day));
    EXPECT_EQ(t.day, c.day) << c.unread_month << "/" << c.shown_day;
    EXPECT_EQ(t.week, c.week) << c.unread_month << "/" << c.shown_day;
    EXPECT_EQ(t.month, c.month) << c.unread_month << "/" << c.shown_day;
  }
}

TEST(ReadingText, EachFieldWithTheTablesDecimals) {
  DeviceRecord record;
  record.Current = 0.37F;
  record.Voltage = 230.4F;
  record.Power = 86.2F;
  record.PowerFactor = -0.85F;
  record.Energy = 1031.0;
  struct Case {
    ReadingField field;
    const char* text;
  };
  for (const Case c :
       {Case{ReadingField::kCurrent, "0.37"}, Case{ReadingField::kVoltage, "230.4"}, Case{ReadingField::kPower, "86.2"},
        Case{ReadingField::kPowerFactor, "-0.85"}, Case{ReadingField::kEnergy, "1031.00"}}) {
    EXPECT_EQ(ReadingText(record, RowOf(c.field)), c.text) << RowOf(c.field).name;
  }
  const ReadingTexts boxes = ReadingBoxTexts(record, 0.5F, true);
  for (const ReadingFieldRow& entry : kReadingFields) EXPECT_EQ(boxes.Text(entry.field), ReadingText(record, entry));
  EXPECT_EQ(boxes.co2, "515.500");
  EXPECT_EQ(boxes.limit_tooltip, kLimitReachedTip);
}

}  // namespace
}  // namespace quorvel
