// The month answers: cumulative day counters of a rolling twelve months.
#include <gtest/gtest.h>

#include "sim/meter_model.h"
#include "tests/sim/sim_test_support.h"

namespace quorvel::sim::test {
namespace {

using std::chrono::hours;
using std::chrono::minutes;

constexpr std::uint32_t kUnread = 0xFFFFFFFF;
constexpr std::uint32_t kGap = 999999;

// The 31 counters of a month answer, checked for the frame's layout.
std::vector<std::uint32_t> MonthCounters(MeterModel& model, std::uint8_t month) {
  const Bytes answer = Ask(model, 0x8B, {month});
  EXPECT_EQ(answer.size(), 130U);  // 0x55, L, 126 data bytes, trailer, 0xAA
  if (answer.size() != 130U) return {};
  EXPECT_EQ(answer[0], 0x55);
  EXPECT_EQ(answer[1], 127);
  EXPECT_EQ(answer[2], 0x8B);
  EXPECT_EQ(answer[3], month);
  EXPECT_EQ(answer[129], 0xAA);
  std::vector<std::uint32_t> counters;
  for (std::size_t day = 0; day < 31; ++day) counters.push_back(BigEndianAt(answer, 4 + 4 * day));
  return counters;
}

bool IsUnread(std::uint32_t counter) { return counter >= kGap; }

int DaysIn(int month, bool leap) {
  constexpr int kLength[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && leap ? 29 : kLength[month - 1];
}

// Friday 2 March 2012, 10:30. 2012 is a leap year; 2011 (the rows after
// March) is not.
constexpr auto kStart = std::chrono::local_days{std::chrono::year{2012} / 3 / 2} + hours{10} + minutes{30};

TEST(MonthHistory, HasTheShapeOfARollingYear) {
  for (std::uint64_t seed = 1; seed <= 20; ++seed) {
    MeterModel model(Options(kStart, seed), kT0);
    int gaps = 0;
    for (std::uint8_t month = 1; month <= 12; ++month) {
      const auto counters = MonthCounters(model, month);
      ASSERT_EQ(counters.size(), 31U);
      const bool leap = month <= 3;  // this year's rows
      const int length = DaysIn(month, leap);
      const int last_read = month == 3 ? 2 : length;  // March stops at today
      std::uint32_t previous = 0;
      for (int day = 1; day <= 31; ++day) {
        const std::uint32_t c = counters[static_cast<std::size_t>(day - 1)];
        if (day > last_read) {
          EXPECT_EQ(c, kUnread) << "seed " << seed << " " << int{month} << "/" << day;
          continue;
        }
        if (c == kGap) {
          ++gaps;
          continue;
        }
        ASSERT_FALSE(IsUnread(c)) << "seed " << seed << " " << int{month} << "/" << day;
        EXPECT_GE(c, previous) << "counters are cumulative; " << int{month} << "/" << day;
        // A household-sized day: more than a few hundred Wh, less than 20 kWh.
        if (day < last_read || month != 3) {
          EXPECT_GT(c - previous, 50U) << int{month} << "/" << day;
          EXPECT_LT(c - previous, 2000U) << int{month} << "/" << day;
        }
        previous = c;
      }
    }
    EXPECT_GE(gaps, 3) << "seed " << seed;
    EXPECT_LE(gaps, 5) << "seed " << seed;
    // Today is being read, so it is never a gap.
    EXPECT_FALSE(IsUnread(model.HistoryCounter(3, 2)));
  }
}

TEST(MonthHistory, SendsTheCountersAsStored) {
  MeterModel model(Options(kStart), kT0);
  // April: 1.00, 1.50, 0.00, unread, 1.50 kWh, then 0.01 kWh a day.
  const DayEntry april[] = {{DayState::kReading, 1000.0},
                            {DayState::kReading, 1500.0},
                            {DayState::kReading, 0.0},
                            {DayState::kGap, 0.0},
                            {DayState::kReading, 1500.0}};
  for (int day = 1; day <= 30; ++day) {
    model.SetHistoryDay(4, day, day <= 5 ? april[day - 1] : DayEntry{DayState::kReading, 10.0});
  }
  const auto counters = MonthCounters(model, 4);
  const std::vector<std::uint32_t> start{100, 250, 250, kGap, 400, 401, 402};
  EXPECT_EQ(std::vector<std::uint32_t>(counters.begin(), counters.begin() + 7), start);
  EXPECT_EQ(counters[29], 425U);     // 30 April
  EXPECT_EQ(counters[30], kUnread);  // there is no 31 April
}

TEST(MonthHistory, AMonthTheMeterLacksIsAnsweredAllUnread) {
  MeterModel model(Options(kStart), kT0);
  for (const std::uint8_t month : {std::uint8_t{0}, std::uint8_t{13}, std::uint8_t{0xFF}}) {
    const auto counters = MonthCounters(model, month);
    ASSERT_EQ(counters.size(), 31U);
    for (const std::uint32_t c : counters) EXPECT_EQ(c, kUnread) << int{month};
  }
}

TEST(MonthHistory, TodayFollowsTheLiveCounter) {
  MeterModel model(Options(kStart), kT0);
  model.ForceLoad(kOneKilowatt);
  const std::uint32_t energy = model.EnergyCounter();
  const std::uint32_t today = model.HistoryCounter(3, 2);
  model.AdvanceTo(kT0 + hours{3});  // 3 kWh, still 2 March
  EXPECT_NEAR(model.EnergyCounter() - energy, 300.0, 1.0);
  EXPECT_NEAR(model.HistoryCounter(3, 2) - today, 300.0, 1.0);
  EXPECT_EQ(model.HistoryCounter(3, 3), kUnread);
}

TEST(MonthHistory, MidnightStartsTheNextDay) {
  MeterModel model(Options(At(2012, 3, 2, 23, 30)), kT0);
  model.ForceLoad(kOneKilowatt);
  const std::uint32_t first = model.HistoryCounter(3, 1);
  const std::uint32_t today = model.HistoryCounter(3, 2);
  model.AdvanceTo(kT0 + hours{1});  // half an hour on each side of midnight
  EXPECT_NEAR(model.HistoryCounter(3, 2) - today, 50.0, 1.0);
  EXPECT_NEAR(model.HistoryCounter(3, 3) - model.HistoryCounter(3, 2), 50.0, 1.0);
  EXPECT_EQ(model.HistoryCounter(3, 1), first);  // the past stays put
  EXPECT_EQ(model.HistoryCounter(3, 4), kUnread);
}

TEST(MonthHistory, ANewMonthReplacesLastYearsRow) {
  // 29 February 2012; the March row still holds March 2011.
  MeterModel model(Options(At(2012, 2, 29, 23, 0)), kT0);
  ASSERT_FALSE(IsUnread(model.HistoryCounter(3, 31)));
  const std::uint32_t february = model.HistoryCounter(2, 29);
  model.ForceLoad(kOneKilowatt);
  model.AdvanceTo(kT0 + hours{2});  // to 1 March, 01:00
  EXPECT_NEAR(model.HistoryCounter(2, 29) - february, 100.0, 1.0);
  EXPECT_NEAR(model.HistoryCounter(3, 1), 100.0, 1.0);
  for (int day = 2; day <= 31; ++day) EXPECT_EQ(model.HistoryCounter(3, day), kUnread) << day;
  // The rest of last year's rows are untouched.
  EXPECT_FALSE(IsUnread(model.HistoryCounter(4, 30)));
}

TEST(MonthHistory, NewYearStartsJanuaryAfresh) {
  MeterModel model(Options(At(2011, 12, 31, 23, 59)), kT0);
  model.ForceLoad(kOneKilowatt);
  model.AdvanceTo(kT0 + hours{1});
  const MeterClock clock = model.Clock();
  EXPECT_EQ(clock.year, 2012);
  EXPECT_EQ(clock.month, 1);
  EXPECT_EQ(clock.day, 1);
  EXPECT_NEAR(model.HistoryCounter(1, 1), 98.0, 1.0);  // 59 minutes of 1 kW
  EXPECT_EQ(model.HistoryCounter(1, 2), kUnread);
}

TEST(MonthHistory, SettingTheClockBackForgetsTheDaysAfterIt) {
  MeterModel model(Options(At(2012, 3, 20, 12, 0)), kT0);
  ASSERT_FALSE(IsUnread(model.HistoryCounter(3, 15)));
  Ask(model, 0x01, {12, 3, 10, 6, 12, 0});
  EXPECT_FALSE(IsUnread(model.HistoryCounter(3, 10)));
  for (int day = 11; day <= 31; ++day) EXPECT_EQ(model.HistoryCounter(3, day), kUnread) << day;
}

TEST(MonthHistory, JumpingAheadLeavesTheSkippedDaysUnread) {
  MeterModel model(Options(At(2012, 3, 2, 12, 0)), kT0);
  Ask(model, 0x01, {12, 3, 6, 2, 12, 0});
  EXPECT_EQ(model.HistoryCounter(3, 3), kUnread);
  EXPECT_EQ(model.HistoryCounter(3, 5), kUnread);
  EXPECT_FALSE(IsUnread(model.HistoryCounter(3, 6)));
}

}  // namespace
}  // namespace quorvel::sim::test
