#include "protocol/week_sums.h"

#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/history_tables.h"

namespace quorvel {
namespace {

TEST(WeekdayOf, MatchesTheGregorianCalendarFrom2000To2099) {
  using namespace std::chrono;
  for (sys_days day = sys_days{year{2000} / January / 1}; day <= sys_days{year{2099} / December / 31}; day += days{1}) {
    const year_month_day date{day};
    const int expected = static_cast<int>(weekday{day}.c_encoding());
    ASSERT_EQ(WeekdayOf(static_cast<int>(date.year()) - 2000, static_cast<int>(static_cast<unsigned>(date.month())),
                        static_cast<int>(static_cast<unsigned>(date.day()))),
              expected)
        << static_cast<int>(date.year()) << "-" << static_cast<unsigned>(date.month()) << "-"
        << static_cast<unsigned>(date.day());
  }
}

TEST(WeekdayOf, ArgumentsOutsideTheTableGiveSeven) {
  EXPECT_EQ(WeekdayOf(9, 6, 23), 2);  // a Tuesday
  for (const auto& [y, m, d] : {std::tuple{-1, 6, 1}, std::tuple{100, 6, 1}, std::tuple{9, 0, 1}, std::tuple{9, 13, 1},
                                std::tuple{9, 6, 0}, std::tuple{9, 6, 32}}) {
    EXPECT_EQ(WeekdayOf(y, m, d), kNoWeekday) << y << "/" << m << "/" << d;
  }
  // The day is not compared with the month's length.
  EXPECT_NE(WeekdayOf(9, 2, 31), kNoWeekday);
}

TEST(MonthLength, EveryFourthYearHasA29thOfFebruary) {
  EXPECT_EQ(MonthLength(2, 2012), 29);
  EXPECT_EQ(MonthLength(2, 2100), 29);  // the meters' calendar knows no century rule
  EXPECT_EQ(MonthLength(2, 2011), 28);
  EXPECT_EQ(MonthLength(11, 2011), 30);
  EXPECT_EQ(MonthLength(12, 2011), 31);
}

using testing::NumberedHistory;
using testing::Shown;

TEST(WeekSum, ReachesBackIntoALeapFebruary) {
  HistoryTable h = NumberedHistory();
  h[1][28] = 229;  // 29 February 2012 exists
  // Friday 2 March 2012: Sunday 26 February up to Friday.
  EXPECT_DOUBLE_EQ(*WeekSum(Shown(2012, 3, 2), h), 226 + 227 + 228 + 229 + 301 + 302);
}

TEST(WeekSum, ReachesBackIntoAnOrdinaryFebruary) {
  const HistoryTable h = NumberedHistory();
  // Thursday 2 March 2017: Sunday 26 February up to Thursday.
  EXPECT_DOUBLE_EQ(*WeekSum(Shown(2017, 3, 2), h), 226 + 227 + 228 + 301 + 302);
}

TEST(WeekSum, DecemberOfTheYearBeforeIsNotCounted) {
  const HistoryTable h = NumberedHistory();
  // Wednesday 1 January 2014.
  EXPECT_DOUBLE_EQ(*WeekSum(Shown(2014, 1, 1), h), 101);
}

TEST(WeekSum, SundayCountsOnlyItself) {
  const HistoryTable h = NumberedHistory();
  EXPECT_DOUBLE_EQ(*WeekSum(Shown(2009, 6, 21), h), 621);
}

TEST(WeekSum, NoShownDateGivesNothingToShow) {
  const HistoryTable h = NumberedHistory();
  EXPECT_FALSE(WeekSum(Shown(0, 0, 0), h));
  EXPECT_FALSE(WeekSum(Shown(2009, 13, 1), h));
  EXPECT_FALSE(WeekSum(Shown(2009, 6, 32), h));
  EXPECT_FALSE(WeekSum(Shown(2009, -3, 5), h));
}

TEST(MonthSum, SkipsTheDaysTheMonthLacks) {
  HistoryTable h{};
  ResetHistory(h);
  for (auto& v : h[3]) v = v == kNoSuchDay ? v : 1.0;
  EXPECT_DOUBLE_EQ(*MonthSum(h, 4), 30.0);
  EXPECT_FALSE(MonthSum(h, 0));
  EXPECT_FALSE(MonthSum(h, 13));
}

}  // namespace
}  // namespace quorvel
