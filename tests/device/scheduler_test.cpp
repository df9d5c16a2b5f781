#include "device/scheduler.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tests/support/recording_notifier.h"

namespace quorvel {
namespace {

// Records every request as "name slot [argument]".
class FakeMeters : public MeterOperations {
 public:
  bool IsOpen(int slot) const override { return open.count(slot) != 0; }
  WriteOutcome WriteTariff(int slot, std::int32_t count) override { return Write("WriteTariff", slot, count); }
  bool ReadTariff(int slot, std::int32_t count) override { return Log("ReadTariff", slot, count); }
  bool WriteTimer(int slot, int timer, const TimerEntry&) override { return Log("WriteTimer", slot, timer); }
  bool ReadTimer(int slot, int timer) override {
    if (Answered(timer)) answers->Settings().TimersRead[static_cast<std::size_t>(timer - 1)] = true;
    return Log("ReadTimer", slot, timer);
  }
  WriteOutcome WriteLimits(int slot) override { return Write("WriteLimits", slot); }
  bool ReadLimits(int slot) override { return Log("ReadLimits", slot); }
  void ReadMonthHistory(int slot, int month) override {
    if (Answered(month)) answers->Slot(slot).MonthsRead[static_cast<std::size_t>(month - 1)] = true;
    Log("ReadMonthHistory", slot, month);
  }
  bool WriteClock(int slot) override { return Log("WriteClock", slot); }
  WriteOutcome WriteCo2Factor(int slot) override { return Write("WriteCo2Factor", slot); }
  bool ReadCo2Factor(int slot) override { return Log("ReadCo2Factor", slot); }
  bool ReadMeterNumber(int slot) override { return Log("ReadMeterNumber", slot); }
  bool ResetTimers(int slot) override { return Log("ResetTimers", slot); }
  void ReadRealTime(int slot) override { Log("ReadRealTime", slot); }

  bool Log(const std::string& name, int slot, int argument = -1) {
    calls.push_back(name + " " + std::to_string(slot) + (argument >= 0 ? " " + std::to_string(argument) : ""));
    return failing.count(name) == 0;
  }
  // A write whose fields break their rules sends nothing.
  WriteOutcome Write(const std::string& name, int slot, int argument = -1) {
    if (refusing.count(name) != 0) return WriteOutcome::kRefused;
    return Log(name, slot, argument) ? WriteOutcome::kSent : WriteOutcome::kFailed;
  }
  std::vector<std::string> TakeCalls() { return std::exchange(calls, {}); }
  // Each entry of `lost` costs one answer of that number.
  bool Answered(int number) {
    if (answers == nullptr) return false;
    const auto entry = lost.find(number);
    if (entry == lost.end()) return true;
    lost.erase(entry);
    return false;
  }

  std::set<int> open{3};
  std::set<std::string> failing;
  std::set<std::string> refusing;
  // When set, reads of timers and months answer at once, but for the lost.
  DeviceTable* answers = nullptr;
  std::multiset<int> lost;
  std::vector<std::string> calls;
};

struct BusyDisplay : NullDisplay {
  void ShowLimitAlarm(bool shown) override { alarm.push_back(shown); }
  void BusyStarted(BusyOperation op, int total) override {
    events.push_back(Name(op) + " started " + std::to_string(total));
  }
  void BusyProgress(BusyOperation op, int done, int total) override {
    events.push_back(Name(op) + " " + std::to_string(done) + "/" + std::to_string(total));
  }
  void BusyEnded(BusyOperation op) override { events.push_back(Name(op) + " ended"); }
  void ChartViewHistoryReady(int slot, int month) override { history_ready.emplace_back(slot, month); }
  void ShowHistoryBoxes(const HistoryTexts& t) override { boxes.push_back(t); }
  static std::string Name(BusyOperation op) {
    switch (op) {
      case BusyOperation::kHistoryRead:
        return "history";
      case BusyOperation::kTimerRead:
        return "timer-read";
      case BusyOperation::kTimerWrite:
        return "timer-write";
    }
    return "?";
  }
  std::vector<bool> alarm;
  std::vector<std::string> events;
  std::vector<std::pair<int, int>> history_ready;
  std::vector<HistoryTexts> boxes;
};

class SchedulerTest : public ::testing::Test {
 protected:
  void Tick() { scheduler.Tick(view); }
  std::vector<std::string> TickCalls() {
    Tick();
    return meters.TakeCalls();
  }

  DeviceTable devices;
  PendingOperations pending;
  FakeMeters meters;
  BusyDisplay display;
  testing::RecordingNotifier notifier;
  Scheduler scheduler{devices, pending, meters, display, notifier};
  TickView view{3, true, false};
};

using Calls = std::vector<std::string>;

TEST_F(SchedulerTest, OpeningAPortReadsTariffLimitsCo2AndNumberThenPolls) {
  meters.open = {3, 5};
  pending.RequestPortGreeting();
  EXPECT_EQ(TickCalls(), Calls{"ReadTariff 3 1"});
  EXPECT_EQ(TickCalls(), Calls{"ReadLimits 3"});
  EXPECT_EQ(TickCalls(), Calls{"ReadCo2Factor 3"});
  EXPECT_EQ(TickCalls(), Calls{"ReadMeterNumber 3"});
  EXPECT_EQ(TickCalls(), (Calls{"ReadRealTime 3", "ReadRealTime 5"}));
  EXPECT_TRUE(notifier.texts.empty());
}

TEST_F(SchedulerTest, PollingNeedsTheRealTimePageOrTheChartViewsLiveMode) {
  meters.open = {3, 5, 18};
  EXPECT_EQ(TickCalls(), (Calls{"ReadRealTime 3", "ReadRealTime 5", "ReadRealTime 18"}));
  view.real_time_page_visible = false;
  EXPECT_EQ(TickCalls(), Calls{});
  view.real_time_mode = true;  // the flag outlives the chart view
  EXPECT_EQ(TickCalls().size(), 3U);
  view.selected_slot = 0;  // polling needs no selection
  EXPECT_EQ(TickCalls().size(), 3U);
}

TEST_F(SchedulerTest, PendingWorkForAClosedDeviceIsDropped) {
  pending.PriceLoadCount = 1;
  pending.TimerLoadCount = 20;
  pending.HistoryRound = 2;  // a read waiting for its last answers
  view.selected_slot = 5;    // not open
  EXPECT_EQ(TickCalls(), Calls{});
  EXPECT_FALSE(pending.AnyPending());
  EXPECT_EQ(notifier.TakeTexts(), std::vector<std::string>{"Please Open Comm"});
  // Nobody is left waiting for the dropped operations.
  EXPECT_EQ(display.events, (std::vector<std::string>{"history ended", "timer-read ended"}));

  pending.Co2LoadRequest = 1;
  view.selected_slot = 0;  // nothing selected counts as closed
  EXPECT_EQ(TickCalls(), Calls{});
  EXPECT_EQ(notifier.TakeTexts(), std::vector<std::string>{"Please Open Comm"});
}

TEST_F(SchedulerTest, PriceDownloadWritesThenReadsBack) {
  pending.PriceSetCount = 1;
  pending.PriceLoadCount = 1;
  EXPECT_EQ(TickCalls(), Calls{"WriteTariff 3 1"});
  EXPECT_EQ(notifier.TakeTexts(), std::vector<std::string>{"Priceset success"});
  EXPECT_EQ(TickCalls(), Calls{"ReadTariff 3 1"});
  EXPECT_TRUE(notifier.texts.empty());
}

TEST_F(SchedulerTest, TimerWriteSkipsUnchangedTimers) {
  pending.TimerOutbox[6].Mode = 2;  // timer 7
  pending.TimerOutbox[2].Mode = 9;  // timer 3
  pending.TimerSetCount = 20;
  EXPECT_EQ(TickCalls(), Calls{"WriteTimer 3 7"});
  EXPECT_EQ(TickCalls(), Calls{"WriteTimer 3 3"});
  EXPECT_TRUE(notifier.texts.empty());
  EXPECT_EQ(TickCalls(), Calls{});
  EXPECT_EQ(notifier.TakeTexts(), std::vector<std::string>{"Timer set success"});
  EXPECT_EQ(pending.TimerOutbox[6].Mode, kNothingToSend);
  EXPECT_EQ(pending.TimerOutbox[2].Mode, kNothingToSend);
  EXPECT_EQ(display.events, (std::vector<std::string>{"timer-write started 20", "timer-write 14/20",
                                                      "timer-write 18/20", "timer-write ended"}));
}

TEST_F(SchedulerTest, TimerWriteWithNothingChangedSucceedsAtOnce) {
  pending.TimerSetCount = 20;
  EXPECT_EQ(TickCalls(), Calls{});
  EXPECT_EQ(notifier.TakeTexts(), std::vector<std::string>{"Timer set success"});
  EXPECT_EQ(pending.TimerSetCount, 0);
}

TEST_F(SchedulerTest, TimersAreReadFromTwentyDown) {
  meters.answers = &devices;
  pending.TimerLoadCount = 20;
  for (int timer = 20; timer >= 1; --timer) {
    EXPECT_EQ(TickCalls(), Calls{"ReadTimer 3 " + std::to_string(timer)});
  }
  EXPECT_TRUE(notifier.texts.empty());  // success only once the answers are looked at
  EXPECT_EQ(TickCalls(), Calls{});
  EXPECT_EQ(notifier.TakeTexts(), std::vector<std::string>{"Timer load success"});
  EXPECT_EQ(display.events.front(), "timer-read started 20");
  EXPECT_EQ(display.events[display.events.size() - 2], "timer-read 20/20");
  EXPECT_EQ(display.events.back(), "timer-read ended");
  EXPECT_EQ(TickCalls(), Calls{"ReadRealTime 3"});
}

TEST_F(SchedulerTest, HistoryAsksTwelveMonthsAndStopsPollingMeanwhile) {
  meters.answers = &devices;
  pending.HistoryMonthsLeft = 12;
  for (int month = 12; month >= 1; --month) {
    EXPECT_EQ(TickCalls(), Calls{"ReadMonthHistory 3 " + std::to_string(month)});
  }
  EXPECT_EQ(pending.HistoryMonthsLeft, 0);
  EXPECT_EQ(display.events.front(), "history started 12");
  EXPECT_EQ(display.events.back(), "history 12/12");
  devices.Slot(3).HistoryLoaded = 1;  // as the decoder does with the last answer
  EXPECT_EQ(TickCalls(), Calls{"ReadRealTime 3"});
  EXPECT_TRUE(notifier.texts.empty());
}

// Lost answers are asked for again, highest first, one a tick, from the
// tick after a round's last request on; twice at most.
TEST_F(SchedulerTest, ReadsAskAgainForWhatDidNotAnswer) {
  struct Case {
    bool timers;
    std::multiset<int> lost;  // a number lost three times never answers
    Calls retries;
    std::string told;
  };
  const std::vector<Case> cases{
      {true, {3, 7}, {"ReadTimer 3 7", "ReadTimer 3 3", ""}, "Timer load success"},
      {true, {7, 7, 7}, {"ReadTimer 3 7", "ReadTimer 3 7", ""}, "Timer load incomplete: timer 7 did not answer"},
      {false, {12, 3}, {"ReadMonthHistory 3 12", "ReadMonthHistory 3 3", ""}, ""},
      {false,
       {3, 3, 3, 7, 7, 7},
       {"ReadMonthHistory 3 7", "ReadMonthHistory 3 3", "ReadMonthHistory 3 7", "ReadMonthHistory 3 3", ""},
       "History load incomplete: months 3, 7 did not answer"},
  };
  for (const Case& c : cases) {
    devices.ResetAll();
    meters.answers = &devices;
    meters.lost = c.lost;
    display.events.clear();
    if (c.timers) {
      pending.TimerLoadCount = 20;
    } else {
      pending.HistoryMonthsLeft = 12;
    }
    for (int i = 0; i < (c.timers ? 20 : 12); ++i) Tick();
    meters.TakeCalls();
    Calls retries;
    for (std::size_t i = 0; i < c.retries.size(); ++i) {
      const Calls calls = TickCalls();
      retries.push_back(calls.empty() ? "" : calls.front());
    }
    EXPECT_EQ(retries, c.retries) << c.told;
    EXPECT_EQ(notifier.TakeTexts(), c.told.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.told});
    EXPECT_FALSE(pending.AnyPending()) << c.told;
    EXPECT_EQ(display.events.back(), c.timers ? "timer-read ended" : "history ended") << c.told;
  }
}

TEST_F(SchedulerTest, OrderOfPriorityAndMessages) {
  pending.TimerResetRequest = 1;
  pending.MeterNumberRequest = 1;
  pending.Co2SetRequest = 1;
  pending.TimeSetRequest = 1;
  pending.LimitReadRequest = 1;
  pending.LimitSetRequest = 1;
  std::vector<std::pair<std::string, std::string>> steps;
  for (int i = 0; i < 8; ++i) {
    Tick();
    const auto calls = meters.TakeCalls();
    const auto texts = notifier.TakeTexts();
    steps.emplace_back(calls.empty() ? "" : calls.front(), texts.empty() ? "" : texts.front());
  }
  EXPECT_EQ(steps, (std::vector<std::pair<std::string, std::string>>{
                       {"WriteLimits 3", "SetLimit Success"},
                       {"ReadLimits 3", ""},
                       {"WriteClock 3", "Time Set Success"},
                       {"WriteCo2Factor 3", "CO2 Set Success"},
                       {"ReadCo2Factor 3", ""},  // the factor is read back
                       {"ReadMeterNumber 3", ""},
                       {"ResetTimers 3", "Timer Reset Success"},
                       {"ReadRealTime 3", ""},
                   }));
}

TEST_F(SchedulerTest, FailedStepsClearOnlyTheirOwnCounter) {
  struct Case {
    const char* failing;
    std::function<void(PendingOperations&)> raise;
    const char* text;
  };
  const std::vector<Case> cases{
      {"WriteTariff", [](auto& p) { p.PriceSetCount = 1; }, "Priceset error"},
      {"ReadTariff", [](auto& p) { p.PriceLoadCount = 1; }, "Priceload error"},
      {"WriteTimer",
       [](auto& p) {
         p.TimerSetCount = 1;
         p.TimerOutbox[0].Mode = 1;
       },
       "Timer set error"},
      {"ReadTimer", [](auto& p) { p.TimerLoadCount = 20; }, "Timer load error"},
      {"WriteLimits", [](auto& p) { p.LimitSetRequest = 1; }, "SetLimit error"},
      {"ReadLimits", [](auto& p) { p.LimitReadRequest = 1; }, "GetLimit error"},
      {"WriteCo2Factor", [](auto& p) { p.Co2SetRequest = 1; }, "CO2 Set Error"},
      {"ResetTimers", [](auto& p) { p.TimerResetRequest = 1; }, "Timer Reset Error"},
  };
  for (const Case& c : cases) {
    pending = PendingOperations{};
    c.raise(pending);
    // A bystander of lower priority (the lowest one has none).
    std::int32_t& bystander =
        std::string(c.failing) == "ResetTimers" ? pending.TimerLoadCount : pending.TimerResetRequest;
    if (&bystander == &pending.TimerResetRequest) bystander = 1;
    meters.failing = {c.failing};
    Tick();
    EXPECT_EQ(notifier.TakeTexts(), std::vector<std::string>{c.text}) << c.failing;
    EXPECT_EQ(pending.Co2LoadRequest, 0) << c.failing;  // no read-back after a failed CO2 write
    if (&bystander == &pending.TimerResetRequest) {
      EXPECT_EQ(bystander, 1) << c.failing;
      bystander = 0;
    }
    EXPECT_FALSE(pending.AnyPending()) << c.failing;
  }
}

// A field that breaks its rule when the request is built: nothing is sent,
// nothing is told (the field shows it), and the read-back that would
// overwrite the field is dropped; the rest goes on.
TEST_F(SchedulerTest, RefusedWritesSendNothingAndDropTheirReadBack) {
  const struct {
    const char* refusing;
    std::function<void(PendingOperations&)> raise;
  } cases[] = {
      {"WriteTariff", [](auto& p) { p.PriceSetCount = p.PriceLoadCount = 1; }},
      {"WriteLimits", [](auto& p) { p.LimitSetRequest = p.LimitReadRequest = 1; }},
      {"WriteCo2Factor", [](auto& p) { p.Co2SetRequest = 1; }},
  };
  for (const auto& c : cases) {
    pending = PendingOperations{};
    c.raise(pending);
    pending.MeterNumberRequest = 1;
    meters.refusing = {c.refusing};
    Tick();
    EXPECT_EQ(meters.TakeCalls(), Calls{}) << c.refusing;
    EXPECT_EQ(notifier.TakeTexts(), std::vector<std::string>{}) << c.refusing;
    Tick();
    EXPECT_EQ(meters.TakeCalls(), Calls{"ReadMeterNumber 3"}) << c.refusing;
    EXPECT_FALSE(pending.AnyPending()) << c.refusing;
  }
}

TEST_F(SchedulerTest, AMessageBoxsOwnTicksNeverRepeatAStep) {
  // While a message box is open its loop keeps delivering ticks.
  pending.PriceSetCount = 1;
  pending.PriceLoadCount = 1;
  int nested = 0;
  notifier.during_notice = [&] {
    if (nested++ == 0) Tick();
  };
  Tick();
  EXPECT_EQ(meters.TakeCalls(), (Calls{"WriteTariff 3 1", "ReadTariff 3 1"}));
  EXPECT_EQ(notifier.TakeTexts(), std::vector<std::string>{"Priceset success"});
}

TEST_F(SchedulerTest, LimitAlarmBlinksOnEveryOtherTick) {
  devices.Settings().LimitState = kLimitReached;
  for (int i = 0; i < 6; ++i) Tick();
  EXPECT_EQ(display.alarm, (std::vector<bool>{true, false, true, false, true, false}));
  devices.Settings().LimitState = kLimitNotReached;
  Tick();
  EXPECT_FALSE(display.alarm.back());
}

TEST_F(SchedulerTest, RequestHistoryServesAStoredHistoryAtOnce) {
  EXPECT_FALSE(scheduler.RequestHistory(5, 4));  // not open
  EXPECT_TRUE(scheduler.RequestHistory(3, 4));
  EXPECT_EQ(pending.HistoryMonthsLeft, 12);
  EXPECT_TRUE(display.history_ready.empty());

  pending.HistoryMonthsLeft = 0;
  devices.Slot(3).HistoryLoaded = 1;
  EXPECT_TRUE(scheduler.RequestHistory(3, 4));
  EXPECT_EQ(display.history_ready, (std::vector<std::pair<int, int>>{{3, 4}}));
  EXPECT_EQ(pending.HistoryMonthsLeft, 0);
}

TEST_F(SchedulerTest, ShowStoredHistoryFillsTheBoxesWithoutEndingAWait) {
  devices.Slot(3).Record.Month = 6;
  devices.Slot(3).Record.Day = 23;
  devices.Slot(3).History[5][22] = 4.25;
  devices.Slot(3).MonthsRead[5] = true;
  EXPECT_TRUE(scheduler.ShowStoredHistory(3));
  ASSERT_EQ(display.boxes.size(), 1U);
  EXPECT_EQ(display.boxes[0].day, "4.25");
  EXPECT_TRUE(display.events.empty());
}

}  // namespace
}  // namespace quorvel
