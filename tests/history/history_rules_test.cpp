#include "pages/history_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {
namespace {

// A history of a non-leap year, every month read, every day `value`.
struct History {
  explicit History(double value = 0.0) {
    ResetHistory(table);
    for (auto& month : table) {
      for (double& day : month) {
        if (day != kNoSuchDay) day = value;
      }
    }
    read.fill(true);
  }
  HistorySource Source(int shown_year = 2015) const { return {3, shown_year, &table, read}; }
  double& Day(int month, int day) {
    return table[static_cast<std::size_t>(month - 1)][static_cast<std::size_t>(day - 1)];
  }

  HistoryTable table{};
  MonthsRead read{};
};

MonthColumns Chosen(std::initializer_list<int> months) {
  MonthColumns columns;
  for (const int m : months) columns.Add(m);
  return columns;
}

std::vector<HistoryBar> BarsOfColumn(const HistoryDrawing& d, int column) {
  std::vector<HistoryBar> bars;
  for (const HistoryBar& bar : d.bars) {
    if (bar.column == column) bars.push_back(bar);
  }
  return bars;
}

TEST(HistoryRules, ProgramTexts) {
  EXPECT_EQ(kHistoryHeaderLine, std::string(27, ' ') + "CURRENT History Data" + std::string(17, ' '));
  const std::vector<std::string> names(HistoryMonthNames().begin(), HistoryMonthNames().end());
  EXPECT_EQ(names, (std::vector<std::string>{"Jan", "Feb", "Mar", "April", "May", "June", "July", "Aug", "Sept", "Oct",
                                             "Nov", "Dec"}));
  EXPECT_EQ(HistoryTitle(3, 2024), "COM3:2024");
  EXPECT_EQ(HistoryTitle(12, 1999), "COM12:2009");
  EXPECT_EQ(HistoryTitle(12, 0), "COM12:2009");
}

// Each month saved is told in words of its own, so that two months never
// read alike; a failure says why.
TEST(HistoryRules, MonthSaveTexts) {
  const struct {
    int month;
    bool saved;
    const char* cause;
    const char* text;
  } cases[] = {
      {1, true, "", "Save to Excel Success: Jan saved to /x/Com3MonthData.xls"},
      {9, true, "", "Save to Excel Success: Sept saved to /x/Com3MonthData.xls"},
      {7, false, "it was not read from COM3", "Save to Excel Error: July was not saved: it was not read from COM3"},
      {2, false, "", "Save to Excel Error: Feb was not saved: unknown error"},
  };
  for (const auto& c : cases) EXPECT_EQ(MonthSaveText(c.month, c.saved, "/x/Com3MonthData.xls", c.cause), c.text);
}

// A year starting on a Thursday: week 1 is 1-3 January, week 2 4-10
// January; the last week (27-31 December) is incomplete and not shown. A
// year the week-day function does not know starts its count at 7.
TEST(HistoryRules, WeekWalk) {
  History h;
  for (int day = 1; day <= 31; ++day) h.Day(1, day) = day;
  const struct {
    int shown_year;
    int first_week;
    double first_sum;
    int last_week;
  } cases[] = {{2015, 1, 1 + 2 + 3, 52}, {1999, 2, 1 + 2 + 3 + 4 + 5 + 6 + 7, 53}, {2100, 2, 28, 53}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown_year);
    const HistoryDrawing d = DrawHistory(HistoryKind::kByWeek, h.Source(c.shown_year), {});
    ASSERT_GE(d.bars.size(), 2u);
    EXPECT_EQ(d.bars.front(), (HistoryBar{c.first_week, 1, c.first_sum}));
    EXPECT_EQ(d.lines.at(1), std::to_string(c.first_week) + ":    " + (c.first_week == 1 ? "6.00" : "28.00"));
    EXPECT_EQ(d.bars.back().row, c.last_week);
    EXPECT_EQ(d.lines.size(), 1 + d.bars.size());
  }
  const HistoryDrawing d = DrawHistory(HistoryKind::kByWeek, h.Source(2015), {});
  EXPECT_EQ(d.bars.at(1), (HistoryBar{2, 1, 4 + 5 + 6 + 7 + 8 + 9 + 10}));
  EXPECT_EQ(d.lines.at(2), "2:    49.00");
}

TEST(HistoryRules, DayFormStopsAtTheMonthsEndAndTextReadsZero) {
  History h(2.0);
  h.Day(4, 1) = 1.25;
  const HistoryDrawing d = DrawHistory(HistoryKind::kByDay, h.Source(), Chosen({2, 4}));
  const std::vector<HistoryBar> february = BarsOfColumn(d, 1);
  ASSERT_EQ(february.size(), 28u);
  EXPECT_EQ(february.back(), (HistoryBar{28, 1, 2.0}));
  EXPECT_EQ(BarsOfColumn(d, 2).size(), 30u);
  EXPECT_TRUE(BarsOfColumn(d, 3).empty());
  ASSERT_EQ(d.lines.size(), 2u + 31u);
  EXPECT_EQ(d.lines[0], kHistoryHeaderLine);
  EXPECT_EQ(d.lines[1], "       2Month     4Month     0Month     0Month");
  EXPECT_EQ(d.lines[2], "01:   2.00         1.25          0.00          0.00");
  EXPECT_EQ(d.lines[2 + 28], "29:   0.00         2.00          0.00          0.00");
  EXPECT_EQ(d.lines[2 + 30], "31:   0.00         0.00          0.00          0.00");
  EXPECT_EQ(d.column_labels, (std::vector<std::string>{"COM3:2", "COM3:4", "", ""}));
}

TEST(HistoryRules, MonthSumsLeaveOutMissingDaysAndGrowTheAxis) {
  History h(1.0);
  const HistoryDrawing d = DrawHistory(HistoryKind::kByMonth, h.Source(), {});
  ASSERT_EQ(d.bars.size(), 12u);
  EXPECT_EQ(d.bars[3], (HistoryBar{4, 1, 30.0}));
  EXPECT_EQ(d.sums[3], (HistorySum{4, 30.0}));
  EXPECT_EQ(d.lines[4], "4:    30.00");
  EXPECT_EQ(d.axis_max, 300.0);
  EXPECT_EQ(d.column_labels, std::vector<std::string>{""});

  for (int day = 1; day <= 31; ++day) h.Day(7, day) = 10.5;  // 325.5 kWh in July
  EXPECT_EQ(DrawHistory(HistoryKind::kByMonth, h.Source(), {}).axis_max, 350.0);
  EXPECT_EQ(HistoryAxisMax(300.0), 300.0);
  EXPECT_EQ(HistoryAxisMax(1234.0), 1250.0);
}

// A month the meter never answered for is no bar and "--", never zeros.
TEST(HistoryRules, MonthsNotReadAreUnknown) {
  History h(1.0);
  h.read[0] = false;  // January
  const HistoryDrawing months = DrawHistory(HistoryKind::kByMonth, h.Source(), {});
  EXPECT_EQ(months.lines[1], "1:    --");
  EXPECT_EQ(months.sums[0], (HistorySum{1, std::nullopt}));
  EXPECT_EQ(months.bars.front().row, 2);
  EXPECT_EQ(months.column_labels, std::vector<std::string>{"no bar: a month not read"});

  // 2015: weeks 1-5 lie in January, week 5 ends on 31 January; week 6 from
  // 1 February is known again.
  const HistoryDrawing weeks = DrawHistory(HistoryKind::kByWeek, h.Source(2015), {});
  EXPECT_EQ(weeks.lines[5], "5:    --");
  EXPECT_EQ(weeks.bars.front(), (HistoryBar{6, 1, 7.0}));

  const HistoryDrawing days = DrawHistory(HistoryKind::kByDay, h.Source(), Chosen({1, 2}));
  EXPECT_TRUE(BarsOfColumn(days, 1).empty());
  EXPECT_EQ(days.lines[2], "01:   --         1.00          0.00          0.00");
  EXPECT_EQ(days.column_labels[0], "COM3:1 not read");
}

// What a screen reader hears of the chart: every form carries its values.
TEST(HistoryRules, TheDescriptionCarriesTheValuesOfEveryForm) {
  History h(1.0);
  h.read[0] = false;  // January
  h.Day(2, 2) = 2.5;
  std::string february = "COM3:2 days 1: 1.00, 2: 2.50";
  for (int day = 3; day <= 28; ++day) february += ", " + std::to_string(day) + ": 1.00";
  const struct {
    HistoryKind kind;
    MonthColumns months;
    std::string after_axis;
  } cases[] = {
      {HistoryKind::kByDay, Chosen({2, 1}), "; " + february + "; COM3:1 not read"},
      {HistoryKind::kByDay, Chosen({}), ""},
      {HistoryKind::kByMonth, {}, "; 1: --, 2: 29.50, 3: 31.00"},
      {HistoryKind::kByWeek, {}, "; 1: --, 2: --, 3: --, 4: --, 5: --, 6: 8.50"},
  };
  for (const auto& c : cases) {
    const std::string text = HistoryDescription("COM3:2015", c.kind, DrawHistory(c.kind, h.Source(), c.months));
    const std::string expected = "COM3:2015 0..300" + c.after_axis;
    // The day form's description ends with its months; the others go on to month 12 or week 52.
    EXPECT_EQ(c.kind == HistoryKind::kByDay ? text : text.substr(0, expected.size()), expected);
  }
}

TEST(HistoryRules, ChoosingMonths) {
  MonthColumns m;
  EXPECT_EQ(FormRefusal(HistoryKind::kByDay, m), "Please select month");
  EXPECT_EQ(FormRefusal(HistoryKind::kByWeek, m), std::nullopt);
  EXPECT_EQ(MonthsToRequest(m), std::vector<int>{0});

  EXPECT_EQ(m.Add(5), MonthColumns::AddOutcome::kAdded);
  EXPECT_EQ(m.Add(5), MonthColumns::AddOutcome::kAlreadyChosen);
  EXPECT_EQ(m.Months(), (std::array<int, 4>{5, 0, 0, 0}));
  EXPECT_EQ(FormRefusal(HistoryKind::kByDay, m), std::nullopt);
  for (const int month : {7, 9, 11}) m.Add(month);
  EXPECT_EQ(m.Add(12), MonthColumns::AddOutcome::kNoFreeColumn);
  EXPECT_EQ(m.Add(5), MonthColumns::AddOutcome::kNoFreeColumn);
  EXPECT_EQ(m.Add(13), MonthColumns::AddOutcome::kNotAMonth);

  EXPECT_TRUE(m.Remove(7));
  EXPECT_FALSE(m.Remove(7));
  EXPECT_EQ(m.Add(2), MonthColumns::AddOutcome::kAdded);  // the freed column
  EXPECT_EQ(m.Months(), (std::array<int, 4>{5, 2, 9, 11}));
  EXPECT_EQ(MonthsToRequest(m), (std::vector<int>{5, 2, 9, 11}));
}

TEST(HistoryRules, FrameOfEachForm) {
  const MonthColumns months = Chosen({2});
  const struct {
    HistoryKind kind;
    int rows;
    std::vector<std::string> labels;
    const char* category;
  } cases[] = {{HistoryKind::kByMonth, 12, {""}, "Month"},
               {HistoryKind::kByWeek, 53, {""}, "Week"},
               {HistoryKind::kByDay, 31, {"COM3:2", "", "", ""}, "Day"},
               {HistoryKind::kNone, 31, {"COM3:2", "", "", ""}, ""}};
  for (const auto& c : cases) {
    const HistoryFrame frame = FrameOf(c.kind, 3, months);
    EXPECT_EQ(frame.rows, c.rows);
    EXPECT_EQ(frame.column_labels, c.labels);
    EXPECT_EQ(frame.category_title, c.category);
  }
}

}  // namespace
}  // namespace quorvel
