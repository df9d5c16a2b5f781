#include "protocol/decoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace quorvel {
namespace {

// Remembers what it was asked to show, in order.
struct RecordingDisplay : NullDisplay {
  void ShowClock(const ClockTexts& t) override { clocks.push_back(t); calls.push_back("clock"); }
  void ShowReadings(const ReadingTexts& t) override { readings.push_back(t); calls.push_back("readings"); }
  void ShowTariff(const TariffTexts& t) override { tariffs.push_back(t); }
  void ShowHistoryBoxes(const HistoryTexts& t) override { history.push_back(t); calls.push_back("history"); }
  void ShowCo2Factor(const std::string& t) override { co2_factors.push_back(t); }
  void ShowTimer(int n, const TimerTexts& t) override { timers.emplace_back(n, t); }
  void ShowLimits(const LimitTexts& t) override { limits.push_back(t); }
  void BusyEnded(BusyOperation op) override {
    EXPECT_EQ(op, BusyOperation::kHistoryRead);
    calls.push_back("busy-ended");
  }
  void ChartViewRealTimeSample(int slot, const DeviceRecord&) override { samples.push_back(slot); }
  void ChartViewHistoryReady(int slot, int month) override { history_ready.emplace_back(slot, month); }
  void AppendRealTimeRow(int slot) override { rows.push_back(slot); }

  std::vector<std::string> calls;
  std::vector<ClockTexts> clocks;
  std::vector<ReadingTexts> readings;
  std::vector<TariffTexts> tariffs;
  std::vector<HistoryTexts> history;
  std::vector<std::string> co2_factors;
  std::vector<std::pair<int, TimerTexts>> timers;
  std::vector<LimitTexts> limits;
  std::vector<int> samples;
  std::vector<std::pair<int, int>> history_ready;
  std::vector<int> rows;
};

using Data = std::array<std::uint8_t, kReceiveDataSize>;

Data Bytes(std::initializer_list<int> values) {
  Data d{};
  std::size_t i = 0;
  for (const int v : values) d.at(i++) = static_cast<std::uint8_t>(v);
  return d;
}

struct RealTime {
  int year = 9, month = 6, day = 23, weekday = 3, hour = 9, minute = 30;
  int current = 500;   // 0.01 A
  int voltage = 2300;  // 0.1 V
  int power = 11500;   // 0.1 W
  int factor = 100;
  std::uint32_t energy = 100000;  // 0.01 kWh
};

Data RealTimeAnswer(const RealTime& r) {
  auto hi = [](int v) { return (v >> 8) & 0xFF; };
  auto lo = [](int v) { return v & 0xFF; };
  Data d = Bytes({0x97, r.year, r.month, r.day, r.weekday, r.hour, r.minute, hi(r.current), lo(r.current),
                  hi(r.voltage), lo(r.voltage), hi(r.power), lo(r.power), hi(r.factor), lo(r.factor)});
  for (std::size_t i = 0; i < 4; ++i) d[15 + i] = static_cast<std::uint8_t>(r.energy >> (24 - 8 * i));
  return d;
}

Data MonthAnswer(int month, const std::vector<std::uint32_t>& counters) {
  Data d = Bytes({0x8B, month});
  for (std::size_t j = 0; j < counters.size(); ++j) {
    for (std::size_t i = 0; i < 4; ++i) d[2 + 4 * j + i] = static_cast<std::uint8_t>(counters[j] >> (24 - 8 * i));
  }
  return d;
}

class DecoderTest : public ::testing::Test {
 protected:
  DecodeOutcome Decode(int slot, const Data& d) { return decoder.Decode(slot, d); }
  DeviceRecord& Record(int slot) { return devices.Slot(slot).Record; }
  MeterSettings& Settings() { return devices.Settings(); }

  DeviceTable devices;
  RecordingDisplay display;
  FixedDecoderContext context;
  ResponseDecoder decoder{devices, display, context};
};

TEST_F(DecoderTest, RealTimeAnswerFillsTheRecord) {
  RealTime r;
  r.current = 0x01F4;
  r.voltage = 0x08FC;
  r.factor = 0x0064;
  r.energy = 0x000186A0;
  EXPECT_EQ(Decode(1, RealTimeAnswer(r)).status, DecodeStatus::kHandled);
  const DeviceRecord& rec = Record(1);
  EXPECT_EQ(rec.Year, 9);
  EXPECT_EQ(rec.Month, 6);
  EXPECT_EQ(rec.Day, 23);
  EXPECT_EQ(rec.Weekday, 3);
  EXPECT_EQ(rec.Hour, 9);
  EXPECT_EQ(rec.Minute, 30);
  EXPECT_FLOAT_EQ(rec.Current, 5.00F);
  EXPECT_FLOAT_EQ(rec.Voltage, 230.0F);
  EXPECT_FLOAT_EQ(rec.Power, 1150.0F);
  EXPECT_FLOAT_EQ(rec.PowerFactor, 1.00F);
  EXPECT_DOUBLE_EQ(rec.Energy, 1000.00);

  ASSERT_EQ(display.readings.size(), 1U);
  const ReadingTexts& t = display.readings[0];
  EXPECT_EQ(t.current, "5.00");
  EXPECT_EQ(t.voltage, "230.0");
  EXPECT_EQ(t.power, "1150.0");
  EXPECT_EQ(t.power_factor, "1.00");
  EXPECT_EQ(t.energy, "1000.00");
}

TEST_F(DecoderTest, PowerFactorSignRule) {
  struct Case {
    int raw;
    const char* text;
  };
  for (const Case c : {Case{0x0064, "1.00"}, Case{0x00DF, "-0.95"}, Case{0x0080, "1.28"}, Case{0x0081, "-0.01"},
                       Case{0x0000, "0.00"}, Case{0xFFFF, "-654.07"}}) {
    RealTime r;
    r.factor = c.raw;
    Decode(1, RealTimeAnswer(r));
    EXPECT_EQ(display.readings.back().power_factor, c.text) << c.raw;
  }
}

TEST_F(DecoderTest, LeapYearOpensThe29thOfFebruary) {
  RealTime r;
  r.year = 11;
  Decode(2, RealTimeAnswer(r));
  EXPECT_EQ(devices.Slot(2).History[1][28], kNoSuchDay);
  r.year = 12;
  Decode(2, RealTimeAnswer(r));
  EXPECT_EQ(devices.Slot(2).History[1][28], 0.0);
  EXPECT_EQ(devices.Slot(2).History[1][29], kNoSuchDay);
}

TEST_F(DecoderTest, CurrentFromFifteenAmperesIsMarked) {
  RealTime r;
  r.current = 1500;
  Decode(1, RealTimeAnswer(r));
  EXPECT_TRUE(display.readings.back().current_alarm);
  r.current = 1499;
  Decode(1, RealTimeAnswer(r));
  EXPECT_FALSE(display.readings.back().current_alarm);
}

TEST_F(DecoderTest, Co2FigureIsFactorTimesEnergy) {
  devices.Slot(1).Co2Factor = 0.785F;
  RealTime r;
  r.energy = 100000;  // 1000 kWh
  Decode(1, RealTimeAnswer(r));
  EXPECT_EQ(display.readings.back().co2, "785.000");
}

struct LimitCase {
  const char* name;
  double energy_limit, cost_limit;
  std::int32_t tier;
  std::uint32_t energy;  // 0.01 kWh
  std::int32_t state;
};

class LimitCheck : public DecoderTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(LimitCheck, SetsLimitStateAndTooltip) {
  const LimitCase& c = GetParam();
  Settings().EnergyLimit = c.energy_limit;
  Settings().CostLimit = c.cost_limit;
  Settings().TierLimit = c.tier;
  Settings().Price1 = 300;  // 30 cents per kWh
  Settings().Price2 = 400;
  RealTime r;
  r.energy = c.energy;
  Decode(1, RealTimeAnswer(r));
  EXPECT_EQ(Settings().LimitState, c.state);
  EXPECT_EQ(display.readings.back().limit_tooltip, c.state == kLimitReached ? "Limit Go" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Comparisons, LimitCheck,
    ::testing::Values(
        LimitCase{"EnergyEqualToLimit", 300, 9999, 5000, 30000, kLimitReached},
        LimitCase{"EnergyBelowLimit", 300, 9999, 5000, 29999, kLimitNotReached},
        // 100 kWh at tier 1: 100 x 300 / 1000 = 30 dollars.
        LimitCase{"TierOneCostEqual", 9999, 30, 5000, 10000, kLimitReached},
        LimitCase{"TierOneCostBelow", 9999, 31, 5000, 10000, kLimitNotReached},
        // 100 kWh above a tier boundary of 50: 100 x 400 / 1000 = 40 dollars, strictly greater needed.
        LimitCase{"TierTwoCostEqual", 9999, 40, 50, 10000, kLimitNotReached},
        LimitCase{"TierTwoCostAbove", 9999, 39, 50, 10000, kLimitReached},
        // Energy exactly on the boundary is still tier 1.
        LimitCase{"OnTheBoundary", 9999, 30, 100, 10000, kLimitReached}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(DecoderTest, SelectedSlotSetsTheShownDateAndFollowsTheClock) {
  RealTime r;
  r.weekday = 6;  // the meter's own count is not used for the display
  Decode(1, RealTimeAnswer(r));
  EXPECT_EQ(Settings().ShownYear, 2009);
  EXPECT_EQ(Settings().ShownMonth, 6);
  EXPECT_EQ(Settings().ShownDay, 23);
  ASSERT_EQ(display.clocks.size(), 1U);
  EXPECT_EQ(display.clocks[0].date, "2009/06/23");
  EXPECT_EQ(display.clocks[0].time, "09:30");
  EXPECT_EQ(display.clocks[0].weekday_entry, 2);  // Tuesday, from the date

  context.follow_device_clock = false;
  r.day = 24;
  Decode(1, RealTimeAnswer(r));
  EXPECT_EQ(display.clocks.size(), 1U);
  EXPECT_EQ(Settings().ShownDay, 24);
  EXPECT_EQ(display.readings.size(), 2U);
}

TEST_F(DecoderTest, ImpossibleDateSelectsNoWeekday) {
  RealTime r;
  r.month = 14;
  r.year = -3;
  Decode(1, RealTimeAnswer(r));
  ASSERT_EQ(display.clocks.size(), 1U);
  EXPECT_EQ(display.clocks[0].weekday_entry, kNoEntry);
  EXPECT_EQ(display.clocks[0].date, "1997/14/23");
}

TEST_F(DecoderTest, AnotherSlotChangesOnlyItsRecord) {
  context.selected_slot = 1;
  context.saving_active = true;
  RealTime r;
  r.current = 777;
  Decode(5, RealTimeAnswer(r));
  EXPECT_FLOAT_EQ(Record(5).Current, 7.77F);
  EXPECT_TRUE(display.calls.empty());
  EXPECT_EQ(Settings().ShownDay, 0);
  EXPECT_EQ(context.save_counter, 0);
  EXPECT_TRUE(display.rows.empty());
}

TEST_F(DecoderTest, NothingSelectedShowsNothing) {
  context.selected_slot = 0;
  Decode(1, RealTimeAnswer({}));
  EXPECT_TRUE(display.calls.empty());
}

TEST_F(DecoderTest, OpenChartViewGetsSamplesOfEverySlot) {
  context.chart_view_open = true;
  context.real_time_mode = true;
  Decode(4, RealTimeAnswer({}));
  Decode(1, RealTimeAnswer({}));
  EXPECT_EQ(display.samples, (std::vector<int>{4, 1}));
  EXPECT_TRUE(display.readings.empty());  // the page is not written while the view is open
  EXPECT_EQ(Settings().ShownDay, 0);

  context.real_time_mode = false;  // history mode: no samples
  Decode(4, RealTimeAnswer({}));
  EXPECT_EQ(display.samples.size(), 2U);
}

TEST_F(DecoderTest, RowsAreCountedWithOneSharedCounter) {
  context.saving_active = true;
  context.acquisition_interval = 2;
  context.chart_view_open = true;
  context.real_time_mode = true;
  // First row on the third counted answer, then on every second.
  for (const int slot : {1, 2, 1, 2, 1, 2, 1}) Decode(slot, RealTimeAnswer({}));
  EXPECT_EQ(display.rows, (std::vector<int>{1, 1, 1}));
}

TEST_F(DecoderTest, LoweringTheIntervalMakesTheNextAnswerWriteARow) {
  context.saving_active = true;
  context.acquisition_interval = 15;
  context.save_counter = 8;
  context.acquisition_interval = 5;
  Decode(1, RealTimeAnswer({}));
  EXPECT_EQ(display.rows, (std::vector<int>{1}));
  EXPECT_EQ(context.save_counter, 1);
}

TEST_F(DecoderTest, SavingOffCountsNothing) {
  context.saving_active = false;
  Decode(1, RealTimeAnswer({}));
  EXPECT_EQ(context.save_counter, 0);
  EXPECT_TRUE(display.rows.empty());
}

TEST_F(DecoderTest, MonthAnswerStoresDayDifferences) {
  context.history_months_left = 3;  // more months to come: nothing is shown yet
  std::vector<std::uint32_t> counters{100, 250, 250, 0xFFFFFFFF, 400};
  for (int j = 5; j < 30; ++j) counters.push_back(400 + static_cast<std::uint32_t>(j - 4) * 10);
  counters.push_back(0xDEADBEEF);  // day 31 of April: never read
  EXPECT_EQ(Decode(3, MonthAnswer(4, counters)).status, DecodeStatus::kHandled);
  const auto& april = devices.Slot(3).History[3];
  EXPECT_DOUBLE_EQ(april[0], 1.00);
  EXPECT_DOUBLE_EQ(april[1], 1.50);
  EXPECT_DOUBLE_EQ(april[2], 0.00);
  EXPECT_DOUBLE_EQ(april[3], 0.00);
  EXPECT_DOUBLE_EQ(april[4], 1.50);
  EXPECT_DOUBLE_EQ(april[5], 0.10);
  EXPECT_EQ(april[30], kNoSuchDay);
  EXPECT_TRUE(display.calls.empty());
  EXPECT_EQ(devices.Slot(3).HistoryLoaded, 0);
  EXPECT_EQ(NotAnswered(devices.Slot(3).MonthsRead), (std::vector<int>{1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST_F(DecoderTest, MonthCounterBelowThePreviousDayIsStoredAsTheUnsignedDifference) {
  context.history_months_left = 1;
  Decode(1, MonthAnswer(1, {500, 400, 999999, 600}));
  const auto& january = devices.Slot(1).History[0];
  EXPECT_DOUBLE_EQ(january[0], 5.00);
  EXPECT_DOUBLE_EQ(january[1], (4294967296.0 - 100.0) / 100.0);
  EXPECT_DOUBLE_EQ(january[2], 0.0);  // 999999: no reading
  EXPECT_DOUBLE_EQ(january[3], 2.00);
}

TEST_F(DecoderTest, MonthAnswerOutsideTheTableIsIgnored) {
  const DeviceTable untouched;
  for (const int month : {0, 13, 255}) {
    const DecodeOutcome outcome = Decode(1, MonthAnswer(month, {100, 200}));
    EXPECT_EQ(outcome.status, DecodeStatus::kIgnored);
    EXPECT_EQ(outcome.index, month);
  }
  EXPECT_EQ(devices.Slot(1).History, untouched.Slot(1).History);
  EXPECT_EQ(devices.Slot(1).HistoryLoaded, 0);
  EXPECT_TRUE(display.calls.empty());
}

TEST_F(DecoderTest, LastMonthAnswerCompletesTheHistoryOnThePage) {
  // The shown device is on Tuesday 23 June 2009.
  Decode(1, RealTimeAnswer({}));
  display.calls.clear();
  context.history_months_left = 0;
  std::vector<std::uint32_t> june;
  for (std::uint32_t day = 1; day <= 30; ++day) june.push_back(day * 100);  // 1 kWh a day
  // With a month still missing, the last answer of a round completes nothing.
  for (int month = 1; month <= 5; ++month) Decode(1, MonthAnswer(month, {}));
  Decode(1, MonthAnswer(6, june));
  EXPECT_TRUE(display.calls.empty());
  for (int month = 7; month <= 12; ++month) Decode(1, MonthAnswer(month, {}));
  EXPECT_EQ(devices.Slot(1).HistoryLoaded, 1);
  EXPECT_EQ(display.calls, (std::vector<std::string>{"history", "busy-ended"}));
  const HistoryTexts& t = display.history.back();
  EXPECT_EQ(t.day, "1.00");
  EXPECT_EQ(t.week, "3.00");  // Sunday 21 to Tuesday 23
  EXPECT_EQ(t.month, "30.00");
  // A month asked for twice answers twice: the second answer completes nothing more.
  Decode(1, MonthAnswer(12, {}));
  EXPECT_EQ(display.calls.size(), 2U);
}

TEST_F(DecoderTest, LastMonthAnswerGoesToAChartViewInHistoryMode) {
  context.chart_view_open = true;
  context.real_time_mode = false;
  devices.Slot(7).MonthsRead.fill(true);
  devices.Slot(7).MonthsRead[0] = false;
  Decode(7, MonthAnswer(1, {100}));
  EXPECT_EQ(devices.Slot(7).HistoryLoaded, 1);
  EXPECT_EQ(display.history_ready, (std::vector<std::pair<int, int>>{{7, 12}}));
  EXPECT_TRUE(display.history.empty());
  EXPECT_EQ(display.calls, (std::vector<std::string>{"busy-ended"}));
}

TEST_F(DecoderTest, ClockAnswerIsShownWhateverSlotAndFollowing) {
  context.follow_device_clock = false;
  context.selected_slot = 2;
  Decode(9, Bytes({0x81, 9, 7, 5, 1, 14, 7}));
  EXPECT_EQ(Record(9).Weekday, 1);
  ASSERT_EQ(display.clocks.size(), 1U);
  EXPECT_EQ(display.clocks[0].date, "2009/07/05");
  EXPECT_EQ(display.clocks[0].time, "14:07");
  EXPECT_EQ(display.clocks[0].weekday_entry, 0);  // 1 = Sunday

  for (const int weekday : {0, 8, 0xFF}) {
    Decode(9, Bytes({0x81, 9, 7, 5, weekday, 14, 7}));
    EXPECT_EQ(display.clocks.back().weekday_entry, kNoEntry) << weekday;
  }
}

TEST_F(DecoderTest, TariffAnswersOfEveryKindUsePairs) {
  for (int kind = 0x86; kind <= 0x8A; ++kind) {
    EXPECT_EQ(Decode(1, Bytes({kind, 50, 0, 3, 5, 4, 0})).status, DecodeStatus::kHandled);
  }
  EXPECT_EQ(Settings().TierLimit, 5000);
  EXPECT_EQ(Settings().Price1, 305);
  EXPECT_EQ(Settings().Price2, 400);
  EXPECT_EQ(display.tariffs.back().price1, "30.5");
  EXPECT_EQ(display.tariffs.back().price2, "40.0");
  EXPECT_EQ(display.tariffs.back().tier_limit, "5000");

  Decode(1, Bytes({0x86, 0x64, 0x00}));  // a pair byte above 99 just counts on
  EXPECT_EQ(Settings().TierLimit, 10000);
}

TEST_F(DecoderTest, TimerAnswersAreStoredByTheirNumber) {
  EXPECT_EQ(Decode(1, Bytes({0x98, 20, 9, 8, 0, 17, 30})).status, DecodeStatus::kHandled);
  const TimerEntry& t = Settings().Timers[19];
  EXPECT_EQ(t.Mode, 9);
  EXPECT_EQ(t.OnHour, 8);
  EXPECT_EQ(t.OffMinute, 30);
  ASSERT_EQ(display.timers.size(), 1U);
  EXPECT_EQ(display.timers[0].first, 20);
  EXPECT_EQ(display.timers[0].second.on_time, "08:00");
  EXPECT_EQ(display.timers[0].second.off_time, "17:30");
  EXPECT_EQ(display.timers[0].second.mode_entry, 8);

  Decode(1, Bytes({0xAB, 1, 2, 0xFF, 0xFF, 0xFF, 0xFF}));  // unset times read as 0
  EXPECT_EQ(Settings().Timers[0].OnHour, 0);
  EXPECT_EQ(Settings().Timers[0].OffMinute, 0);
  EXPECT_EQ(display.timers.back().second.on_time, "00:00");
  EXPECT_EQ(NotAnswered(Settings().TimersRead).size(), 18U);  // 1 and 20 answered
}

TEST_F(DecoderTest, TimerNumbersOutsideOneToTwentyAreIgnored) {
  const auto before = Settings().Timers;
  for (const int n : {0, 21, 255}) {
    const DecodeOutcome outcome = Decode(1, Bytes({0x9A, n, 9, 8, 0, 17, 30}));
    EXPECT_EQ(outcome.status, DecodeStatus::kIgnored);
    EXPECT_EQ(outcome.index, n);
  }
  EXPECT_EQ(std::memcmp(&before, &Settings().Timers, sizeof before), 0);
  EXPECT_TRUE(display.timers.empty());
}

TEST_F(DecoderTest, LimitsAnswerPressesYesOnlyForOne) {
  Decode(1, Bytes({0xAC, 3, 0, 1, 0, 1}));
  EXPECT_EQ(Settings().EnergyLimit, 300);
  EXPECT_EQ(Settings().CostLimit, 100);
  EXPECT_EQ(display.limits.back().energy_limit, "300");
  EXPECT_EQ(display.limits.back().cost_limit, "100");
  EXPECT_TRUE(display.limits.back().shutdown);
  for (const int flag : {0, 2, 0xFF}) {
    Decode(1, Bytes({0xAC, 3, 0, 1, 0, flag}));
    EXPECT_FALSE(display.limits.back().shutdown) << flag;
  }
}

TEST_F(DecoderTest, Co2FactorIsPerSlot) {
  Decode(4, Bytes({0xC7, 7, 85}));
  EXPECT_FLOAT_EQ(devices.Slot(4).Co2Factor, 0.785F);
  EXPECT_EQ(devices.Slot(5).Co2Factor, 0.0F);
  EXPECT_EQ(display.co2_factors.back(), "0.785");
}

TEST_F(DecoderTest, MeterNumberPrintsEachByte) {
  Decode(1, Bytes({0xC8, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(Settings().MeterNumber, "12345678");
  Decode(1, Bytes({0xC8, 0, 0, 12, 0, 0, 0, 0, 255}));
  EXPECT_EQ(Settings().MeterNumber, "00120000255");
}

TEST_F(DecoderTest, AcknowledgementsChangeNothing) {
  const DeviceTable untouched;
  for (const int kind : {0x01, 0x06, 0x18, 0x2C, 0x47}) {
    const DecodeOutcome outcome = Decode(1, Bytes({kind, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(outcome.status, DecodeStatus::kHandled);
    EXPECT_EQ(outcome.kind, kind);
  }
  EXPECT_EQ(Settings().TierLimit, untouched.Settings().TierLimit);
  EXPECT_TRUE(display.calls.empty());
}

TEST_F(DecoderTest, UnknownKindsAreReportedUnhandled) {
  for (const int kind : {0x00, 0x02, 0x85, 0x8C, 0xD0, 0xFF}) {
    EXPECT_EQ(Decode(1, Bytes({kind})).status, DecodeStatus::kUnhandled) << kind;
  }
}

}  // namespace
}  // namespace quorvel
