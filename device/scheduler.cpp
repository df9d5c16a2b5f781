#include "device/scheduler.h"

#include "protocol/calendar.h"

namespace quorvel {
namespace {

constexpr int kHistoryMonths = kMonths;  // a history read asks for every month

}  // namespace

void Scheduler::Tell(const char* text, NoticeIcon icon) { notifier_.Notify(Notice{"", text, icon}); }

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
    ServeFirstPending(slot);
    return;
  }
  if (view.real_time_mode || view.real_time_page_visible) PollRealTime();
}

// Counters change before any message is shown: a message box keeps the
// ticks coming, and a later tick must not repeat a step already reported.
void Scheduler::ServeFirstPending(int slot) {
  PendingOperations& p = pending_;
  if (p.PriceSetCount > 0) {
    if (meters_.WriteTariff(slot, p.PriceSetCount)) {
      if (--p.PriceSetCount == 0) Tell("Priceset success");
    } else {
      p.PriceSetCount = 0;
      Tell("Priceset error", NoticeIcon::kWarning);
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
  } else if (p.TimerLoadCount > 0) {
    const int timer = p.TimerLoadCount;
    if (timer == kTimerCount) display_.BusyStarted(BusyOperation::kTimerRead, kTimerCount);
    if (meters_.ReadTimer(slot, timer)) {
      --p.TimerLoadCount;
      display_.BusyProgress(BusyOperation::kTimerRead, kTimerCount - p.TimerLoadCount, kTimerCount);
      if (p.TimerLoadCount == 0) {
        display_.BusyEnded(BusyOperation::kTimerRead);
        Tell("Timer load success");
      }
    } else {
      p.TimerLoadCount = 0;
      display_.BusyEnded(BusyOperation::kTimerRead);
      Tell("Timer load error", NoticeIcon::kWarning);
    }
  } else if (p.LimitSetRequest > 0) {
    const bool ok = meters_.WriteLimits(slot);
    p.LimitSetRequest = 0;
    Tell(ok ? "SetLimit Success" : "SetLimit error", ok ? NoticeIcon::kInformation : NoticeIcon::kWarning);
  } else if (p.LimitReadRequest > 0) {
    const bool ok = meters_.ReadLimits(slot);
    p.LimitReadRequest = 0;
    if (!ok) Tell("GetLimit error", NoticeIcon::kWarning);
  } else if (p.HistoryMonthsLeft > 0) {
    const int month = p.HistoryMonthsLeft;
    if (month == kHistoryMonths) display_.BusyStarted(BusyOperation::kHistoryRead, kHistoryMonths);
    meters_.ReadMonthHistory(slot, month);
    --p.HistoryMonthsLeft;
    display_.BusyProgress(BusyOperation::kHistoryRead, kHistoryMonths + 1 - month, kHistoryMonths);
  } else if (p.TimeSetRequest > 0) {
    const bool ok = meters_.WriteClock(slot);
    p.TimeSetRequest = 0;
    if (ok) Tell("Time Set Success");
  } else if (p.Co2SetRequest > 0) {
    const bool ok = meters_.WriteCo2Factor(slot);
    p.Co2SetRequest = 0;
    if (ok) {
      p.Co2LoadRequest = 1;  // read the factor back on the next tick
      Tell("CO2 Set Success");
    } else {
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
  while (p.TimerSetCount > 0 &&
         p.TimerOutbox[static_cast<std::size_t>(p.TimerSetCount - 1)].Mode == kNothingToSend) {
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

void Scheduler::PollRealTime() {
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (meters_.IsOpen(slot)) meters_.ReadRealTime(slot);
  }
}

// A long operation dropped half-way must not leave the user waiting.
void Scheduler::EndBusyOperationsDroppedBy(const PendingOperations& before) {
  if (before.HistoryMonthsLeft > 0) display_.BusyEnded(BusyOperation::kHistoryRead);
  if (before.TimerLoadCount > 0) display_.BusyEnded(BusyOperation::kTimerRead);
  if (before.TimerSetCount > 0) display_.BusyEnded(BusyOperation::kTimerWrite);
}

bool Scheduler::RequestHistory(int slot, int month) {
  if (!IsSlotNumber(slot) || !meters_.IsOpen(slot)) return false;
  if (devices_.Slot(slot).HistoryLoaded == 1) {
    display_.ChartViewHistoryReady(slot, month);
  } else {
    pending_.HistoryMonthsLeft = kHistoryMonths;
  }
  return true;
}

bool Scheduler::ShowStoredHistory(int slot) {
  if (!IsSlotNumber(slot)) return false;
  display_.ShowHistoryBoxes(HistoryBoxTexts(devices_.Slot(slot), devices_.Settings()));
  return true;
}

}  // namespace quorvel
