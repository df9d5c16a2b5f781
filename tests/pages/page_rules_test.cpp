// The real-time page's rules without a widget: field checks and red marks,
// week numbers, the history arrows, the key rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "model/display.h"
#include "model/month_lengths.h"
#include "pages/field_checks.h"
#include "pages/field_text.h"
#include "pages/history_cursor.h"
#include "pages/key_rules.h"

namespace quorvel {
namespace {

TEST(ClockFields, ValidOnlyWithinTheRangesAndCutToTheirLength) {
  const struct {
    const char* date;
    const char* time;
    bool date_marked;
    bool time_marked;
  } cases[] = {
      {"2009/06/23", "24:00", false, false},  // hour 24 is taken
      {"2009/06/23", "25:00", false, true},
      {"2009/06/23", "09:60", false, true},
      {"1997/06/23", "09:30", true, false},
      {"3000/12/31", "00:00", false, false},
      {"2009/13/01", "09:30", true, false},
      {"2009/06/32", "09:30", true, false},
      {"", "", true, true},
      {"2009/06/2399", "09:3099", false, false},
      // Cut and read by characters; only ASCII digits are digits.
      {"2009/06/2\u00E9", "09:30", true, false},
      {"2009/06/2\uFF13", "09:30", true, false},
      {"2009/06/23", "\uFF10\uFF19:30", false, true},
      {"2009/6/23", "9:30", true, true},
      {"2009-06-23", "09.30", true, true},
      {" 2009/06/23", "+9:30", true, true},
  };
  for (const auto& c : cases) {
    FieldMarks marks;
    ClockFields fields{c.date, c.time};
    EXPECT_EQ(CheckClockFields(fields, marks), !c.date_marked && !c.time_marked) << c.date << " " << c.time;
    EXPECT_EQ(marks.IsMarked(field_id::kDate), c.date_marked) << c.date;
    EXPECT_EQ(marks.IsMarked(field_id::kTime), c.time_marked) << c.time;
    EXPECT_LE(Characters(fields.date).size(), 10U);
    EXPECT_LE(Characters(fields.time).size(), 5U);
    EXPECT_EQ(Utf8(Characters(fields.date)), fields.date) << "a character cut in two";
  }
}

TEST(FieldText, CutAndCountedByCharacters) {
  const struct {
    const char* text;
    std::size_t count;
    const char* first;
  } cases[] = {{"2009/06/2\u00E95", 10, "2009/06/2\u00E9"},
               {"\uFF12\uFF13:\uFF10\uFF10x", 5, "\uFF12\uFF13:\uFF10\uFF10"},
               {"ab", 5, "ab"},
               {"\xC3", 1, "\xC3"},
               {"\U0001F600x", 1, "\U0001F600"}};
  for (const auto& c : cases) EXPECT_EQ(FirstCharacters(c.text, c.count), c.first) << c.text;
  EXPECT_EQ(Characters("a\xC3"
                       "b"),
            std::u32string(U"a\uFFFDb"));  // a lone lead byte
}

TEST(ClockFields, AValidDownloadRemovesEveryMark) {
  FieldMarks marks;
  marks.Mark(mark_slot::kCurrent, field_id::kCurrent);
  ClockFields bad{"2009/06/23", "25:00"};
  EXPECT_FALSE(CheckClockFields(bad, marks));
  ClockFields good{"2009/06/23", "12:00"};
  EXPECT_TRUE(CheckClockFields(good, marks));
  for (const int id : {field_id::kTime, field_id::kCurrent}) EXPECT_FALSE(marks.IsMarked(id));
}

TEST(TariffFields, TheBoundaryLiesAboveOneAndBelowTheUpperEndAndPricesAreNumbersBelowAThousand) {
  const struct {
    const char* boundary;
    const char* price1;
    const char* price2;
    std::vector<int> marked;
  } cases[] = {
      {"5000", "30.0", "40.0", {}},
      {"2", "0", "999.9", {}},
      {"9999", "30.0", "40.0", {field_id::kTierUpperEnd}},
      {"1", "30.0", "40.0", {field_id::kTierBoundary}},
      {"", "30.0", "40.0", {field_id::kTierBoundary}},
      {"\uFF15000", "30.0", "40.0", {field_id::kTierBoundary}},
      {"5000", "-5", "1000", {field_id::kPrice1, field_id::kPrice2}},
      {"5000", "", ".", {field_id::kPrice1, field_id::kPrice2}},
      {"5000", "30,5", "4.0.0", {field_id::kPrice1, field_id::kPrice2}},
      {"5000", "\uFF13\uFF10.0", "1e2", {field_id::kPrice1, field_id::kPrice2}},
  };
  for (const auto& c : cases) {
    FieldMarks marks;
    marks.Mark(mark_slot::kCurrent, field_id::kCurrent);
    const std::optional<TariffValues> tariff = CheckTariffFields({c.boundary, "9999", c.price1, c.price2}, marks);
    EXPECT_EQ(tariff.has_value(), c.marked.empty()) << c.boundary << " " << c.price1 << " " << c.price2;
    for (const int field : {field_id::kTierUpperEnd, field_id::kTierBoundary, field_id::kPrice1, field_id::kPrice2}) {
      const bool expected = std::find(c.marked.begin(), c.marked.end(), field) != c.marked.end();
      EXPECT_EQ(marks.IsMarked(field), expected) << c.boundary << " " << c.price1 << " " << c.price2 << ": " << field;
    }
    EXPECT_EQ(marks.IsMarked(field_id::kCurrent), !c.marked.empty());  // a valid download removes every mark
  }
  FieldMarks marks;
  const auto sent = CheckTariffFields({"1234", "9999", "30.55", "99.9"}, marks);
  ASSERT_TRUE(sent.has_value());
  EXPECT_EQ((std::array{sent->tier_limit, sent->price1, sent->price2}), (std::array{1234, 305, 999}));
}

TEST(Co2Factor, TheMeterTakesZeroToPointNineNineNineWrittenInAsciiDigits) {
  const struct {
    const char* text;
    Co2FactorCheck check;
  } cases[] = {{"0.999", Co2FactorCheck::kAccepted},  {"0.000", Co2FactorCheck::kAccepted},
               {".5", Co2FactorCheck::kAccepted},     {"1", Co2FactorCheck::kTooLarge},
               {"1.000", Co2FactorCheck::kTooLarge},  {"-0.5", Co2FactorCheck::kNegative},
               {"", Co2FactorCheck::kNotANumber},     {"abc", Co2FactorCheck::kNotANumber},
               {"0,45", Co2FactorCheck::kNotANumber}, {"\uFF10.5", Co2FactorCheck::kNotANumber},
               {"0.5kg", Co2FactorCheck::kNotANumber}};
  for (const auto& c : cases) {
    EXPECT_EQ(CheckCo2Factor(c.text), c.check) << c.text;
    FieldMarks marks;
    EXPECT_EQ(CheckCo2FactorField(c.text, marks).has_value(), c.check == Co2FactorCheck::kAccepted) << c.text;
    EXPECT_EQ(marks.IsMarked(field_id::kCo2Factor), c.check != Co2FactorCheck::kAccepted) << c.text;
  }
  FieldMarks marks;
  EXPECT_EQ(CheckCo2FactorField("0.785", marks), 785);
}

TEST(DateField, SelectsTheWeekDayOfARealDate) {
  EXPECT_EQ(WeekdayEntryOfDateText("2009/06/23"), 2);  // Tuesday
  EXPECT_EQ(WeekdayEntryOfDateText("2012/03/02"), 5);  // Friday
  EXPECT_EQ(WeekdayEntryOfDateText("2100/01/01"), kNoEntry);
  EXPECT_EQ(WeekdayEntryOfDateText("2009/13/23"), std::nullopt);
  EXPECT_EQ(WeekdayEntryOfDateText("1999/06/23"), std::nullopt);
  EXPECT_EQ(WeekdayEntryOfDateText("2009/06/"), std::nullopt);
}

TEST(WeekNumber, CountsSundayFirstWeeksFromTheFirstOfJanuary) {
  const struct {
    int year, month, day, week;
  } cases[] = {{2009, 6, 23, 25},  {2009, 1, 1, 1}, {2009, 1, 4, 0},   {2009, 1, 10, 1},
               {2009, 12, 31, 52}, {2012, 3, 2, 9}, {2012, 12, 31, 53}};
  for (const auto& c : cases) EXPECT_EQ(WeekNumber(c.year, c.month, c.day), c.week) << c.month << "/" << c.day;
}

// A year of days numbered by their day of the year, so sums tell which days they took.
HistoryTable NumberedDays(int year) {
  HistoryTable history{};
  ResetHistory(history);
  int n = 0;
  for (int m = 1; m <= 12; ++m) {
    for (int d = 1; d <= MonthLength(m, year); ++d) {
      history[static_cast<std::size_t>(m - 1)][static_cast<std::size_t>(d - 1)] = ++n;
    }
  }
  return history;
}

TEST(HistoryArrows, DayStepsStayBetweenNewYearAndTheShownDate) {
  const ShownDate shown{2009, 6, 23};
  const HistoryTable history = NumberedDays(2009);
  HistoryCursor cursor = CursorAt(shown);
  EXPECT_EQ(PositionText(cursor), "6.23/25Week/6Month");
  EXPECT_EQ(StepDay(cursor, 0, shown, history), std::nullopt);  // forward: not past the shown date
  EXPECT_EQ(StepDay(cursor, 1, shown, history), "173.00");      // back: 22 June, day 173
  EXPECT_EQ(PositionText(cursor), "6.22/25Week/6Month");
  cursor = HistoryCursor{1, 6, 25, 6};
  EXPECT_EQ(StepDay(cursor, 1, shown, history), "151.00");  // back over the month's start: 31 May
  EXPECT_EQ(StepDay(cursor, -1, shown, history), "152.00");
  cursor = HistoryCursor{1, 1, 1, 6};
  EXPECT_EQ(StepDay(cursor, 1, shown, history), std::nullopt);  // not before 1 January
  const ShownDate leap{2012, 3, 5};
  cursor = HistoryCursor{1, 3, 9, 3};
  EXPECT_EQ(StepDay(cursor, 1, leap, NumberedDays(2012)), "60.00");  // 29 February
  HistoryCursor none;
  EXPECT_EQ(StepDay(none, 1, shown, history), std::nullopt);
}

TEST(HistoryArrows, WeekStepsSumTheNeighbouringWeek) {
  const ShownDate shown{2009, 6, 23};
  const HistoryTable history = NumberedDays(2009);
  HistoryCursor cursor = CursorAt(shown);  // week 25 ends on 28 June, after the shown date
  EXPECT_EQ(StepWeek(cursor, 0, shown, history), std::nullopt);
  EXPECT_EQ(StepWeek(cursor, 1, shown, history), "1183.00");  // 15..21 June: days 166..172
  EXPECT_EQ(cursor.week, 24);
  EXPECT_EQ(StepWeek(cursor, 0, shown, history), "1232.00");  // 22..28 June
  cursor.week = 1;  // ends on 11 January: the week before starts in the old year
  EXPECT_EQ(StepWeek(cursor, 1, shown, history), std::nullopt);
  cursor.week = 5;  // ends on 8 February; the week before runs 26 January .. 1 February
  EXPECT_EQ(StepWeek(cursor, 1, shown, history), "203.00");
  const ShownDate new_year_eve{2009, 12, 31};
  cursor.week = 52;  // ends on 3 January of the next year; the week before is 21..27 December
  EXPECT_EQ(StepWeek(cursor, 0, new_year_eve, history), std::nullopt);
  EXPECT_EQ(StepWeek(cursor, 1, new_year_eve, history), "2506.00");
}

TEST(HistoryArrows, MonthStepsStopAtJanuaryAndTheShownMonth) {
  const ShownDate shown{2009, 6, 23};
  HistoryTable history{};
  ResetHistory(history);
  history[1][0] = 2.5;  // February: its -1 days are skipped
  HistoryCursor cursor{23, 6, 25, 6};
  EXPECT_EQ(StepMonth(cursor, 0, shown, history), std::nullopt);
  cursor.month = 2;
  EXPECT_EQ(StepMonth(cursor, 1, shown, history), "0.00");
  EXPECT_EQ(StepMonth(cursor, 1, shown, history), "0.00");  // stays in January, refreshed
  EXPECT_EQ(cursor.month, 1);
  EXPECT_EQ(StepMonth(cursor, -1, shown, history), "2.50");
}

TEST(KeyRules, TimeAndDateDigitsOvertypeAndSkipTheSeparators) {
  FieldEdit time{"00:00", 0};
  for (const char32_t digit : {U'1', U'2', U'3', U'4'}) {
    const KeyOutcome outcome = TypeIntoTimeField(time, digit);
    ASSERT_EQ(outcome.verdict, KeyVerdict::kReplace);
    time = outcome.edit;
  }
  EXPECT_EQ(time.text, "12:34");
  EXPECT_EQ(TypeIntoTimeField(time, U'5').edit.text, "12:34");  // full at the end
  FieldEdit date{"2009/06/23", 4};
  date = TypeIntoDateField(date, U'1').edit;
  EXPECT_EQ(date.text, "2009/16/23");
  EXPECT_EQ(date.caret, 6);
  const struct {
    KeyOutcome (*rule)(const FieldEdit&, char32_t, int);
    char32_t typed;
    KeyVerdict verdict;
  } others[] = {{TypeIntoTimeField, U'a', KeyVerdict::kSwallow},
                {TypeIntoTimeField, kBackspace, KeyVerdict::kSwallow},
                {TypeIntoDateField, kBackspace, KeyVerdict::kSwallow},
                {TypeIntoDateField, U'/', KeyVerdict::kPass},
                {TypeIntoDateField, U'x', KeyVerdict::kPass}};
  for (const auto& o : others) EXPECT_EQ(o.rule({"00:00", 1}, o.typed, 10).verdict, o.verdict) << int(o.typed);
}

// Tab and Shift+Tab (and the control characters of shortcuts) are never a
// field's to keep; carets count characters, so a character is never cut.
TEST(KeyRules, ControlCharactersPassAndCaretsCountCharacters) {
  for (const char32_t control : {U'\t', char32_t{0x19}, char32_t{0x16}, char32_t{0x1B}}) {
    EXPECT_EQ(TypeIntoTimeField({"00:00", 2}, control).verdict, KeyVerdict::kPass) << int(control);
    EXPECT_EQ(TypeIntoDateField({"2009/06/23", 2}, control).verdict, KeyVerdict::kPass) << int(control);
    EXPECT_EQ(TypeIntoPriceField({"30.0", 2}, control).verdict, KeyVerdict::kPass) << int(control);
  }
  const struct {
    const char* text;
    int caret;
    const char* after;
    int caret_after;
  } cases[] = {{"\u00E9009/06/23", 1, "\u00E9109/06/23", 2},
               {"2009/06/2\u00E9", 9, "2009/06/21", 10},
               {"2009/06/2\u00E9", 10, "2009/06/2\u00E9", 10}};
  for (const auto& c : cases) {
    const KeyOutcome outcome = TypeIntoDateField({c.text, c.caret}, U'1');
    EXPECT_EQ(outcome.edit.text, c.after) << c.text;
    EXPECT_EQ(outcome.edit.caret, c.caret_after) << c.text;
  }
  EXPECT_EQ(TypeIntoPriceField({"\u00E99.9", 1}, U'9').verdict, KeyVerdict::kPass);
}

TEST(KeyRules, PricesStayBelowAThousand) {
  const struct {
    const char* text;
    int caret;
    char32_t typed;
    KeyVerdict verdict;
  } cases[] = {{"99.9", 0, U'9', KeyVerdict::kPass},    {"999.9", 3, U'9', KeyVerdict::kSwallow},
               {"100", 0, U'9', KeyVerdict::kSwallow},  {"30.0", 4, U'5', KeyVerdict::kPass},
               {"30.0", 0, U'-', KeyVerdict::kSwallow}, {"30.0", 4, kBackspace, KeyVerdict::kPass},
               {"30.0", 2, U'.', KeyVerdict::kPass}};
  for (const auto& c : cases) EXPECT_EQ(TypeIntoPriceField({c.text, c.caret}, c.typed).verdict, c.verdict) << c.text;
  EXPECT_TRUE(PriceTextAccepted("999.9"));
  EXPECT_FALSE(PriceTextAccepted("1000"));
  EXPECT_FALSE(PriceTextAccepted("-5"));
}

}  // namespace
}  // namespace quorvel
