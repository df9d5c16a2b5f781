#include "device/scheduler.h"

#include "device/answer_presenter.h"
#include "device/answer_texts.h"

namespace quorvel {
namespace {

constexpr int kHistoryMonths = kMonths;  // a history read asks for every month

// Moves a read's next number down past those that have answered.
template <typename Counter, std::size_t N>
void SkipAnswered(Counter& next, const AnsweredSet<N>& answered) {
  while (next > 0 && answered[static_cast<std::size_t>(next - 1)]) --next;
}

// How far a read has come: all but what is still to be asked for.
template <std::size_t N>
int ReadProgress(int next, const AnsweredSet<N>& answered) {
  int done = static_cast<int>(N);
  for (int n = 1; n <= next; ++n) done -= answered[static_cast<std::size_t>(n - 1)] ? 0 : 1;
  return done;
}

// "History load incomplete: months 3, 7 did not answer".
std::string IncompleteText(const char* operation, const char* what, const std::vector<int>& numbers) {
  std::string text = std::string(operation) + " incomplete: " + what + (numbers.size() > 1 ? "s " : " ");
  for (std::size_t i = 0; i < numbers.size(); ++i) text += (i == 0 ? "" : ", ") + std::to_string(numbers[i]);
  return text + " did not answer";
}

}  // namespace

void Scheduler::Tell(const std::string& text, NoticeIcon icon) { notifier_.Notify(Notice{"", text, icon}); }

void Scheduler::Tick(const TickView& view) {
  // Limit alarm: the indicator shows its image on every other tick.
  if (devices_.Settings().LimitState == kLimitReached) {
    blink_phase_ = blink_phase_ >= 4 ? 1 : blink_phase_ + 1;
    display_.ShowLimitAlarm(blink_phase_ == 2 || blink_phase_ == 4);
  } else {
    display_.ShowLimitAlarm(false);
  }

  if (pending_.AnyPending()) {
    const int slot = view.selected_slot;
    if (!IsSlotNumber(slot) || !meters_.IsOpen(slot)) {
      const PendingOperations before = pending_;
      pending_.ClearCounters();
      EndBusyOperationsDroppedBy(before);
      Tell("Please Open Comm", NoticeIcon::kWarning);
      return;
    }
    // A history read that its last answer completed needs no tick of its own.
    if (pending_.HistoryRound > 0 && pending_.HistoryMonthsLeft == 0 && devices_.Slot(slot).HistoryLoaded == 1) {
      pending_.HistoryRound = 0;
    }
    if (pending_.AnyPending()) {
      ServeFirstPending(slot, view);
      return;
    }
  }
  if (view.real_time_mode || view.real_time_page_visible) PollRealTime();
}

// Counters change before any message is shown: a message box keeps the
// ticks coming, and a later tick must not repeat a step already reported.
void Scheduler::ServeFirstPending(int slot, const TickView& view) {
  PendingOperations& p = pending_;
  if (p.PriceSetCount > 0) {
    switch (meters_.WriteTariff(slot, p.PriceSetCount)) {
      case WriteOutcome::kSent:
        if (--p.PriceSetCount == 0) Tell("Priceset success");
        break;
      case WriteOutcome::kFailed:
        p.PriceSetCount = 0;
        Tell("Priceset error", NoticeIcon::kWarning);
        break;
      case WriteOutcome::kRefused:
        // Reading the tariff back would overwrite the field shown red.
        p.PriceSetCount = p.PriceLoadCount = 0;
        break;
    }
  } else if (p.PriceLoadCount > 0) {
    if (meters_.ReadTariff(slot, p.PriceLoadCount)) {
      --p.PriceLoadCount;
    } else {
      p.PriceLoadCount = 0;
      Tell("Priceload error", NoticeIcon::kWarning);
    }
  } else if (p.TimerSetCount > 0) {
    ServeTimerWrite(slot);
  } else if (p.TimerLoadCount > 0 || p.TimerLoadRound > 0) {
    ServeTimerRead(slot);
  } else if (p.LimitSetRequest > 0) {
    const WriteOutcome outcome = meters_.WriteLimits(slot);
    p.LimitSetRequest = 0;
    if (outcome == WriteOutcome::kRefused) {
      p.LimitReadRequest = 0;  // the read-back would overwrite the field shown red
    } else {
      const bool ok = outcome == WriteOutcome::kSent;
      Tell(ok ? "SetLimit Success" : "SetLimit error", ok ? NoticeIcon::kInformation : NoticeIcon::kWarning);
    }
  } else if (p.LimitReadRequest > 0) {
    const bool ok = meters_.ReadLimits(slot);
    p.LimitReadRequest = 0;
    if (!ok) Tell("GetLimit error", NoticeIcon::kWarning);
  } else if (p.HistoryMonthsLeft > 0 || p.HistoryRound > 0) {
    ServeHistoryRead(slot, view);
  } else if (p.TimeSetRequest > 0) {
    const bool ok = meters_.WriteClock(slot);
    p.TimeSetRequest = 0;
    if (ok) Tell("Time Set Success");
  } else if (p.Co2SetRequest > 0) {
    const WriteOutcome outcome = meters_.WriteCo2Factor(slot);
    p.Co2SetRequest = 0;
    if (outcome == WriteOutcome::kSent) {
      p.Co2LoadRequest = 1;  // read the factor back on the next tick
      Tell("CO2 Set Success");
    } else if (outcome == WriteOutcome::kFailed) {
      Tell("CO2 Set Error", NoticeIcon::kWarning);
    }
  } else if (p.Co2LoadRequest > 0) {
    meters_.ReadCo2Factor(slot);
    p.Co2LoadRequest = 0;
  } else if (p.MeterNumberRequest > 0) {
    meters_.ReadMeterNumber(slot);
    p.MeterNumberRequest = 0;
  } else if (p.TimerResetRequest > 0) {
    const bool ok = meters_.ResetTimers(slot);
    p.TimerResetRequest = 0;
    Tell(ok ? "Timer Reset Success" : "Timer Reset Error", ok ? NoticeIcon::kInformation : NoticeIcon::kWarning);
  }
}

// One changed timer per tick, from timer 20 down; unchanged timers cost no tick.
void Scheduler::ServeTimerWrite(int slot) {
  PendingOperations& p = pending_;
  if (p.TimerSetCount == kTimerCount) display_.BusyStarted(BusyOperation::kTimerWrite, kTimerCount);
  auto finish = [&] {
    display_.BusyEnded(BusyOperation::kTimerWrite);
    Tell("Timer set success");
  };
  while (p.TimerSetCount > 0 && p.TimerOutbox[static_cast<std::size_t>(p.TimerSetCount - 1)].Mode == kNothingToSend) {
    --p.TimerSetCount;
  }
  if (p.TimerSetCount == 0) {
    finish();
    return;
  }
  const int timer = p.TimerSetCount;
  TimerEntry& entry = p.TimerOutbox[static_cast<std::size_t>(timer - 1)];
  if (meters_.WriteTimer(slot, timer, entry)) {
    entry.Mode = kNothingToSend;
    --p.TimerSetCount;
    display_.BusyProgress(BusyOperation::kTimerWrite, kTimerCount - p.TimerSetCount, kTimerCount);
    if (p.TimerSetCount == 0) finish();
  } else {
    p.TimerSetCount = 0;
    display_.BusyEnded(BusyOperation::kTimerWrite);
    Tell("Timer set error", NoticeIcon::kWarning);
  }
}

// Timers from 20 down, one a tick; then, a tick after the last request,
// those that did not answer are asked for again. Success is told only when
// every timer answered.
void Scheduler::ServeTimerRead(int slot) {
  PendingOperations& p = pending_;
  MeterSettings& s = devices_.Settings();
  if (p.TimerLoadRound == 0) {
    p.TimerLoadRound = 1;
    s.TimersRead = {};
    display_.BusyStarted(BusyOperation::kTimerRead, kTimerCount);
  }
  SkipAnswered(p.TimerLoadCount, s.TimersRead);
  if (p.TimerLoadCount == 0) {
    const std::vector<int> missing = NotAnswered(s.TimersRead);
    if (missing.empty() || p.TimerLoadRound > kExtraReadRounds) {
      p.TimerLoadRound = 0;
      display_.BusyEnded(BusyOperation::kTimerRead);
      if (missing.empty()) {
        Tell("Timer load success");
      } else {
        Tell(IncompleteText("Timer load", "timer", missing), NoticeIcon::kWarning);
      }
      return;
    }
    ++p.TimerLoadRound;
    p.TimerLoadCount = missing.back();
  }
  if (meters_.ReadTimer(slot, p.TimerLoadCount)) {
    --p.TimerLoadCount;
    display_.BusyProgress(BusyOperation::kTimerRead, ReadProgress(p.TimerLoadCount, s.TimersRead), kTimerCount);
  } else {
    p.TimerLoadCount = 0;
    p.TimerLoadRound = 0;
    display_.BusyEnded(BusyOperation::kTimerRead);
    Tell("Timer load error", NoticeIcon::kWarning);
  }
}

// Months from 12 down, one a tick. The answer that brings the last missing
// month after the last request completes the read (the decoder); a tick
// after the last request, months that did not answer are asked for again,
// and after the last round the read ends with what came.
void Scheduler::ServeHistoryRead(int slot, const TickView& view) {
  PendingOperations& p = pending_;
  SlotData& data = devices_.Slot(slot);
  if (p.HistoryRound == 0) {
    p.HistoryRound = 1;
    data.MonthsRead = {};
    data.HistoryLoaded = 0;
    data.HistoryReadEnded = 0;
    display_.BusyStarted(BusyOperation::kHistoryRead, kHistoryMonths);
  }
  SkipAnswered(p.HistoryMonthsLeft, data.MonthsRead);
  if (p.HistoryMonthsLeft == 0) {
    const std::vector<int> missing = NotAnswered(data.MonthsRead);
    if (missing.empty() || p.HistoryRound > kExtraReadRounds) {
      p.HistoryRound = 0;
      FinishHistoryRead(slot, devices_, display_, view.chart_view_open && !view.real_time_mode);
      if (!missing.empty()) Tell(IncompleteText("History load", "month", missing), NoticeIcon::kWarning);
      return;
    }
    ++p.HistoryRound;
    p.HistoryMonthsLeft = static_cast<std::int8_t>(missing.back());
  }
  meters_.ReadMonthHistory(slot, p.HistoryMonthsLeft);
  --p.HistoryMonthsLeft;
  // With the last missing month asked for, its answer may complete the read.
  SkipAnswered(p.HistoryMonthsLeft, data.MonthsRead);
  display_.BusyProgress(BusyOperation::kHistoryRead, ReadProgress(p.HistoryMonthsLeft, data.MonthsRead),
                        kHistoryMonths);
}

void Scheduler::PollRealTime() {
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (meters_.IsOpen(slot)) meters_.ReadRealTime(slot);
  }
}

// A long operation dropped half-way must not leave the user waiting.
void Scheduler::EndBusyOperationsDroppedBy(const PendingOperations& before) {
  if (before.HistoryMonthsLeft > 0 || before.HistoryRound > 0) display_.BusyEnded(BusyOperation::kHistoryRead);
  if (before.TimerLoadCount > 0 || before.TimerLoadRound > 0) display_.BusyEnded(BusyOperation::kTimerRead);
  if (before.TimerSetCount > 0) display_.BusyEnded(BusyOperation::kTimerWrite);
}

bool Scheduler::RequestHistory(int slot, int month) {
  if (!IsSlotNumber(slot) || !meters_.IsOpen(slot)) return false;
  const SlotData& data = devices_.Slot(slot);
  if (data.HistoryLoaded == 1 || data.HistoryReadEnded == 1) {
    display_.ChartViewHistoryReady(slot, month);
  } else {
    pending_.HistoryMonthsLeft = kHistoryMonths;
  }
  return true;
}

void Scheduler::EndHistoryRead(int slot) {
  if (pending_.HistoryMonthsLeft == 0 && pending_.HistoryRound == 0) return;
  pending_.HistoryMonthsLeft = 0;
  pending_.HistoryRound = 0;
  if (IsSlotNumber(slot)) devices_.Slot(slot).HistoryReadEnded = 1;
  display_.BusyEnded(BusyOperation::kHistoryRead);
}

bool Scheduler::ShowStoredHistory(int slot) {
  if (!IsSlotNumber(slot)) return false;
  display_.ShowHistoryBoxes(HistoryBoxTexts(devices_.Slot(slot), devices_.Settings()));
  return true;
}

}  // namespace quorvel
