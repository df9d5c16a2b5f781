// Decoded answers through the presenter: what each shows, and where each
// real-time reading goes on the reading stream (the page's consumer, the
// chart view, a spreadsheet row) under the window's state.
#include "device/answer_presenter.h"

#include <gtest/gtest.h>

#include <vector>

#include "device/answer_texts.h"
#include "tests/support/answer_bytes.h"
#include "tests/support/recording_notifier.h"

namespace quorvel {
namespace {

using testing::Bytes;
using testing::Data;
using testing::MonthAnswer;
using testing::RealTime;
using testing::RealTimeAnswer;

// Remembers what it was asked to show, in order.
struct RecordingDisplay : NullDisplay {
  void ShowClock(const ClockTexts& t) override {
    clocks.push_back(t);
    calls.push_back("clock");
  }
  void ShowReadings(const ReadingTexts& t) override {
    readings.push_back(t);
    calls.push_back("readings");
  }
  void ShowTariff(const TariffTexts& t) override { tariffs.push_back(t); }
  void ShowHistoryBoxes(const HistoryTexts& t) override {
    history.push_back(t);
    calls.push_back("history");
  }
  void ShowCo2Factor(const std::string& t) override { co2_factors.push_back(t); }
  void ShowTimer(int n, const TimerTexts& t) override { timers.emplace_back(n, t); }
  void ShowLimits(const LimitTexts& t) override { limits.push_back(t); }
  void BusyEnded(BusyOperation op) override {
    EXPECT_EQ(op, BusyOperation::kHistoryRead);
    calls.push_back("busy-ended");
  }
  void ChartViewHistoryReady(int slot, int month) override { history_ready.emplace_back(slot, month); }

  std::vector<std::string> calls;
  std::vector<ClockTexts> clocks;
  std::vector<ReadingTexts> readings;
  std::vector<TariffTexts> tariffs;
  std::vector<HistoryTexts> history;
  std::vector<std::string> co2_factors;
  std::vector<std::pair<int, TimerTexts>> timers;
  std::vector<LimitTexts> limits;
  std::vector<std::pair<int, int>> history_ready;
};

// The decoder, the presenter and the stream with the page's consumer, and
// two consumers standing for the chart view and the spreadsheet. By default
// slot 1 is the selected device of a visible real-time page, the chart view
// is closed and nothing is saved.
class PresenterTest : public ::testing::Test {
 protected:
  PresenterTest() {
    view.selected_slot = 1;
    readings.Subscribe("page", [this](const Reading& r) { return page.Consume(r); });
    readings.Subscribe("chart view", [this](const Reading& r) -> Result<Consumed> {
      if (!r.use.chart) return Consumed::kSkipped;
      samples.push_back(r.slot);
      return Consumed::kDone;
    });
    readings.Subscribe("spreadsheet", [this](const Reading& r) -> Result<Consumed> {
      if (!r.use.row) return Consumed::kSkipped;
      rows.push_back(r.slot);
      return Consumed::kDone;
    });
  }

  DecodeOutcome Decode(int slot, const Data& d) {
    const DecodeOutcome outcome = decoder.Decode(slot, d);
    presenter.Present(outcome);
    return outcome;
  }
  DeviceRecord& Record(int slot) { return devices.Slot(slot).Record; }
  MeterSettings& Settings() { return devices.Settings(); }

  DeviceTable devices;
  RecordingDisplay display;
  ViewState view;
  PendingOperations pending;
  testing::RecordingNotifier notices;
  ReadingStream readings{notices};
  PageReadings page{devices, display, view};
  AnswerPresenter presenter{devices, display, readings, view, pending};
  ResponseDecoder decoder{devices};
  std::vector<int> samples;
  std::vector<int> rows;
};

TEST_F(PresenterTest, RealTimeAnswerShowsEveryReadingWithItsDecimals) {
  RealTime r;
  r.current = 0x01F4;
  r.voltage = 0x08FC;
  r.factor = 0x0064;
  r.energy = 0x000186A0;
  Decode(1, RealTimeAnswer(r));
  ASSERT_EQ(display.readings.size(), 1U);
  const ReadingTexts& t = display.readings[0];
  EXPECT_EQ(t.Text(ReadingField::kCurrent), "5.00");
  EXPECT_EQ(t.Text(ReadingField::kVoltage), "230.0");
  EXPECT_EQ(t.Text(ReadingField::kPower), "1150.0");
  EXPECT_EQ(t.Text(ReadingField::kPowerFactor), "1.00");
  EXPECT_EQ(t.Text(ReadingField::kEnergy), "1000.00");
  EXPECT_TRUE(notices.texts.empty());
}

TEST_F(PresenterTest, PowerFactorSignRule) {
  struct Case {
    int raw;
    const char* text;
  };
  for (const Case c : {Case{0x0064, "1.00"}, Case{0x00DF, "-0.95"}, Case{0x0080, "1.28"}, Case{0x0081, "-0.01"},
                       Case{0x0000, "0.00"}, Case{0xFFFF, "-654.07"}}) {
    RealTime r;
    r.factor = c.raw;
    Decode(1, RealTimeAnswer(r));
    EXPECT_EQ(display.readings.back().Text(ReadingField::kPowerFactor), c.text) << c.raw;
  }
}

TEST_F(PresenterTest, CurrentFromFifteenAmperesIsMarked) {
  RealTime r;
  r.current = 1500;
  Decode(1, RealTimeAnswer(r));
  EXPECT_TRUE(display.readings.back().current_alarm);
  r.current = 1499;
  Decode(1, RealTimeAnswer(r));
  EXPECT_FALSE(display.readings.back().current_alarm);
}

TEST_F(PresenterTest, Co2FigureIsFactorTimesEnergy) {
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

class LimitCheck : public PresenterTest, public ::testing::WithParamInterface<LimitCase> {};

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
  EXPECT_EQ(LimitReached(c.energy / 100.0, Settings()), c.state == kLimitReached);
}

INSTANTIATE_TEST_SUITE_P(
    Comparisons, LimitCheck,
    ::testing::Values(LimitCase{"EnergyEqualToLimit", 300, 9999, 5000, 30000, kLimitReached},
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

TEST_F(PresenterTest, SelectedSlotSetsTheShownDateAndFollowsTheClock) {
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

  view.follow_device_clock = false;
  r.day = 24;
  Decode(1, RealTimeAnswer(r));
  EXPECT_EQ(display.clocks.size(), 1U);
  EXPECT_EQ(Settings().ShownDay, 24);
  EXPECT_EQ(display.readings.size(), 2U);
}

TEST_F(PresenterTest, ImpossibleDateSelectsNoWeekday) {
  RealTime r;
  r.month = 14;
  r.year = -3;
  Decode(1, RealTimeAnswer(r));
  ASSERT_EQ(display.clocks.size(), 1U);
  EXPECT_EQ(display.clocks[0].weekday_entry, kNoEntry);
  EXPECT_EQ(display.clocks[0].date, "1997/14/23");
}

TEST_F(PresenterTest, AnotherSlotChangesOnlyItsRecord) {
  view.selected_slot = 1;
  view.saving = true;
  RealTime r;
  r.current = 777;
  Decode(5, RealTimeAnswer(r));
  EXPECT_FLOAT_EQ(Record(5).Current, 7.77F);
  EXPECT_TRUE(display.calls.empty());
  EXPECT_EQ(Settings().ShownDay, 0);
  EXPECT_EQ(presenter.RowCounter(), 0);
  EXPECT_TRUE(rows.empty());
}

TEST_F(PresenterTest, NothingSelectedShowsNothing) {
  view.selected_slot = 0;
  Decode(1, RealTimeAnswer({}));
  EXPECT_TRUE(display.calls.empty());
}

TEST_F(PresenterTest, OpenChartViewGetsSamplesOfEverySlot) {
  view.chart_view_open = true;
  view.real_time_mode = true;
  Decode(4, RealTimeAnswer({}));
  Decode(1, RealTimeAnswer({}));
  EXPECT_EQ(samples, (std::vector<int>{4, 1}));
  EXPECT_TRUE(display.readings.empty());  // the page is not written while the view is open
  EXPECT_EQ(Settings().ShownDay, 0);

  view.real_time_mode = false;  // history mode: no samples
  Decode(4, RealTimeAnswer({}));
  EXPECT_EQ(samples.size(), 2U);
}

TEST_F(PresenterTest, RowsAreCountedWithOneSharedCounter) {
  view.saving = true;
  view.acquisition_interval = 2;
  view.chart_view_open = true;
  view.real_time_mode = true;
  // First row on the third counted answer, then on every second.
  for (const int slot : {1, 2, 1, 2, 1, 2, 1}) Decode(slot, RealTimeAnswer({}));
  EXPECT_EQ(rows, (std::vector<int>{1, 1, 1}));
}

TEST_F(PresenterTest, LoweringTheIntervalMakesTheNextAnswerWriteARow) {
  view.saving = true;
  view.acquisition_interval = 15;
  presenter.RowCounter() = 8;
  view.acquisition_interval = 5;
  Decode(1, RealTimeAnswer({}));
  EXPECT_EQ(rows, (std::vector<int>{1}));
  EXPECT_EQ(presenter.RowCounter(), 1);
}

TEST_F(PresenterTest, SavingOffCountsNothing) {
  view.saving = false;
  Decode(1, RealTimeAnswer({}));
  EXPECT_EQ(presenter.RowCounter(), 0);
  EXPECT_TRUE(rows.empty());
}

TEST_F(PresenterTest, EveryReadingReachesTheStreamWithItsSlotAndTime) {
  std::vector<Reading> seen;
  std::vector<WallClock::time_point> times;
  readings.Subscribe("all", [&](const Reading& r) -> Result<Consumed> {
    seen.push_back(r);
    times.push_back(r.Time());
    return Consumed::kDone;
  });
  readings.Subscribe("later", [&](const Reading& r) -> Result<Consumed> {
    EXPECT_EQ(r.Time(), times.back());  // one time for every consumer
    return Consumed::kDone;
  });
  const WallClock::time_point before = WallClock::now();
  RealTime r;
  r.current = 777;
  Decode(5, RealTimeAnswer(r));  // not shown anywhere, still in the stream
  Decode(1, RealTimeAnswer({}));
  const WallClock::time_point after = WallClock::now();
  ASSERT_EQ(seen.size(), 2U);
  EXPECT_EQ(seen[0].slot, 5);
  EXPECT_FLOAT_EQ(seen[0].values.Current, 7.77F);
  EXPECT_FALSE(seen[0].use.page || seen[0].use.chart || seen[0].use.row);
  EXPECT_TRUE(seen[1].use.page);
  for (const WallClock::time_point time : times) {
    EXPECT_GE(time, before);
    EXPECT_LE(time, after);
  }
  EXPECT_LE(times[0], times[1]);
}

TEST_F(PresenterTest, AnswersThatShowNothingShowNothing) {
  pending.HistoryMonthsLeft = 3;  // more months to come: nothing is shown yet
  const std::vector<Data> answers{
      MonthAnswer(4, {100, 250}),
      MonthAnswer(0, {100}),
      MonthAnswer(13, {100}),  // a month, two outside the table
      Bytes({0x9A, 0, 9, 8, 0, 17, 30}),
      Bytes({0x9A, 21, 9, 8, 0, 17, 30}),  // timers outside 1..20
      Bytes({0x01}),
      Bytes({0x06}),
      Bytes({0x18}),
      Bytes({0x2C}),
      Bytes({0x47}),  // acknowledgements
      Bytes({0xC8, 1, 2, 3, 4, 5, 6, 7, 8}),
      Bytes({0x02}),  // meter number, unknown
  };
  for (const Data& d : answers) Decode(1, d);
  Decode(0, RealTimeAnswer({}));  // no such slot
  EXPECT_TRUE(display.calls.empty());
  EXPECT_TRUE(display.timers.empty());
  EXPECT_TRUE(display.tariffs.empty());
  EXPECT_TRUE(display.limits.empty());
  EXPECT_TRUE(display.co2_factors.empty());
}

TEST_F(PresenterTest, LastMonthAnswerCompletesTheHistoryOnThePage) {
  // The shown device is on Tuesday 23 June 2009.
  Decode(1, RealTimeAnswer({}));
  display.calls.clear();
  pending.HistoryMonthsLeft = 0;
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

TEST_F(PresenterTest, LastMonthAnswerGoesToAChartViewInHistoryMode) {
  view.chart_view_open = true;
  view.real_time_mode = false;
  devices.Slot(7).MonthsRead.fill(true);
  devices.Slot(7).MonthsRead[0] = false;
  Decode(7, MonthAnswer(1, {100}));
  EXPECT_EQ(devices.Slot(7).HistoryLoaded, 1);
  EXPECT_EQ(display.history_ready, (std::vector<std::pair<int, int>>{{7, 12}}));
  EXPECT_TRUE(display.history.empty());
  EXPECT_EQ(display.calls, (std::vector<std::string>{"busy-ended"}));
}

TEST_F(PresenterTest, ClockAnswerIsShownWhateverSlotAndFollowing) {
  view.follow_device_clock = false;
  view.selected_slot = 2;
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

TEST_F(PresenterTest, TariffTimerLimitsAndCo2FactorTexts) {
  for (int kind = 0x86; kind <= 0x8A; ++kind) Decode(1, Bytes({kind, 50, 0, 3, 5, 4, 0}));
  EXPECT_EQ(display.tariffs.size(), 5U);
  EXPECT_EQ(display.tariffs.back().price1, "30.5");
  EXPECT_EQ(display.tariffs.back().price2, "40.0");
  EXPECT_EQ(display.tariffs.back().tier_limit, "5000");

  Decode(1, Bytes({0x98, 20, 9, 8, 0, 17, 30}));
  ASSERT_EQ(display.timers.size(), 1U);
  EXPECT_EQ(display.timers[0].first, 20);
  EXPECT_EQ(display.timers[0].second.on_time, "08:00");
  EXPECT_EQ(display.timers[0].second.off_time, "17:30");
  EXPECT_EQ(display.timers[0].second.mode_entry, 8);
  Decode(1, Bytes({0xAB, 1, 2, 0xFF, 0xFF, 0xFF, 0xFF}));  // unset times read as 0
  EXPECT_EQ(display.timers.back().second.on_time, "00:00");

  Decode(1, Bytes({0xAC, 3, 0, 1, 0, 1}));
  EXPECT_EQ(display.limits.back().energy_limit, "300");
  EXPECT_EQ(display.limits.back().cost_limit, "100");
  EXPECT_TRUE(display.limits.back().shutdown);
  for (const int flag : {0, 2, 0xFF}) {
    Decode(1, Bytes({0xAC, 3, 0, 1, 0, flag}));
    EXPECT_FALSE(display.limits.back().shutdown) << flag;
  }

  Decode(4, Bytes({0xC7, 7, 85}));
  EXPECT_EQ(display.co2_factors.back(), "0.785");
}

}  // namespace
}  // namespace quorvel
