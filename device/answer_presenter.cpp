#include "device/answer_presenter.h"

#include "device/answer_texts.h"
#include "protocol/commands.h"

namespace quorvel {

bool CountTowardsRow(std::int32_t& counter, int interval) {
  if (counter < interval) {
    ++counter;
    return false;
  }
  counter = 1;
  return true;
}

void FinishHistoryRead(int slot, DeviceTable& devices, Display& display, bool chart_view_shows_history) {
  SlotData& data = devices.Slot(slot);
  if (AllAnswered(data.MonthsRead)) data.HistoryLoaded = 1;
  data.HistoryReadEnded = 1;
  if (chart_view_shows_history) {
    display.ChartViewHistoryReady(slot, kMonths);
  } else {
    display.ShowHistoryBoxes(HistoryBoxTexts(data, devices.Settings()));
  }
  display.BusyEnded(BusyOperation::kHistoryRead);
}

void AnswerPresenter::Present(const DecodeOutcome& outcome) {
  if (outcome.status != DecodeStatus::kHandled) return;
  const int slot = outcome.slot;
  const std::uint8_t kind = outcome.kind;
  const MeterSettings& s = devices_.Settings();
  if (kind == code::kReadRealTime && outcome.reading) {
    readings_.Publish(Reading(slot, *outcome.reading, Route(slot)));
  } else if (kind == code::kReadClock) {
    display_.ShowClock(ClockAnswerTexts(devices_.Slot(slot).Record));
  } else if (kind == code::kReadMonthHistory) {
    MonthAnswered(slot);
  } else if (kind >= code::kReadTariff && kind <= code::kReadTariffLast) {
    display_.ShowTariff(TariffBoxTexts(s));
  } else if (kind >= code::kReadTimer && kind <= code::kReadTimerLast) {
    display_.ShowTimer(outcome.index, TimerRowTexts(s.Timers.at(static_cast<std::size_t>(outcome.index - 1))));
  } else if (kind == code::kReadLimits) {
    display_.ShowLimits(LimitBoxTexts(s));
  } else if (kind == code::kReadCo2Factor) {
    display_.ShowCo2Factor(Co2FactorText(devices_.Slot(slot).Co2Factor));
  }
}

ReadingUse AnswerPresenter::Route(int slot) {
  ReadingUse use;
  if (view_.chart_view_open) {
    use.chart = view_.real_time_mode;
  } else if (slot == view_.selected_slot) {
    use.page = true;
  } else {
    return use;  // another device: its record is current, nothing is shown or saved
  }
  use.row = view_.saving && CountTowardsRow(row_counter_, view_.acquisition_interval);
  return use;
}

// Once every request is out, the answer that brings the last missing month
// completes the read (a second answer for a month asked twice does not);
// the scheduler asks again for months still missing.
void AnswerPresenter::MonthAnswered(int slot) {
  const SlotData& data = devices_.Slot(slot);
  if (pending_.HistoryMonthsLeft == 0 && data.HistoryLoaded == 0 && AllAnswered(data.MonthsRead)) {
    FinishHistoryRead(slot, devices_, display_, view_.chart_view_open && !view_.real_time_mode);
  }
}

Result<Consumed> PageReadings::Consume(const Reading& reading) {
  if (!reading.use.page) return Consumed::kSkipped;
  const DeviceRecord& r = reading.values;
  MeterSettings& s = devices_.Settings();
  s.ShownYear = r.Year + 2000;
  s.ShownMonth = r.Month;
  s.ShownDay = r.Day;
  if (view_.follow_device_clock) display_.ShowClock(RealTimeClockTexts(r));
  const bool reached = LimitReached(r.Energy, s);
  s.LimitState = reached ? kLimitReached : kLimitNotReached;
  display_.ShowReadings(ReadingBoxTexts(r, devices_.Slot(reading.slot).Co2Factor, reached));
  return Consumed::kDone;
}

}  // namespace quorvel
