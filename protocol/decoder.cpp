#include "protocol/decoder.h"

#include "protocol/calendar.h"
#include "protocol/commands.h"
#include "protocol/number_text.h"

namespace quorvel {
namespace {

// Answer values: a pair carries two decimal digits per byte, words and
// longs are big-endian.
std::int32_t Pair(FrameData d, std::size_t n) { return d[n] * 100 + d[n + 1]; }
std::uint32_t Word(FrameData d, std::size_t n) { return (std::uint32_t{d[n]} << 8) | d[n + 1]; }
std::uint32_t Long(FrameData d, std::size_t n) {
  return (std::uint32_t{d[n]} << 24) | (std::uint32_t{d[n + 1]} << 16) | (std::uint32_t{d[n + 2]} << 8) |
         d[n + 3];
}
std::int8_t Signed(std::uint8_t byte) { return static_cast<std::int8_t>(byte); }

// A day counter this large means the meter has no reading for that day.
constexpr std::uint32_t kNoDayReading = 999999;
// The current box turns red from this many amperes on.
constexpr float kCurrentAlarm = 15.0F;

std::uint8_t TimeByte(std::uint8_t byte) { return byte == 0xFF ? 0 : byte; }

}  // namespace

bool CountTowardsRow(std::int32_t& counter, int interval) {
  if (counter < interval) {
    ++counter;
    return false;
  }
  counter = 1;
  return true;
}

DecodeOutcome ResponseDecoder::Decode(int slot, FrameData d) {
  DecodeOutcome outcome{d[0], DecodeStatus::kHandled, 0};
  if (!IsSlotNumber(slot)) {
    outcome.status = DecodeStatus::kIgnored;
    return outcome;
  }
  const std::uint8_t kind = d[0];
  switch (kind) {
    case code::kWriteClock:
    case code::kWriteTariff:
    case code::kWriteTimer:
    case code::kWriteLimits:
    case code::kWriteCo2Factor:
      break;  // acknowledgements carry nothing
    case code::kReadClock:
      DecodeClock(slot, d);
      break;
    case code::kReadMonthHistory:
      outcome.index = d[1];
      outcome.status = DecodeMonth(slot, d);
      break;
    case code::kReadRealTime:
      DecodeRealTime(slot, d);
      break;
    case code::kReadLimits:
      DecodeLimits(d);
      break;
    case code::kReadCo2Factor:
      DecodeCo2Factor(slot, d);
      break;
    case code::kReadMeterNumber:
      DecodeMeterNumber(d);
      break;
    default:
      if (kind >= code::kReadTariff && kind <= code::kReadTariffLast) {
        DecodeTariff(d);
      } else if (kind >= code::kReadTimer && kind <= code::kReadTimerLast) {
        outcome.index = d[1];
        outcome.status = DecodeTimer(d);
      } else {
        outcome.status = DecodeStatus::kUnhandled;
      }
      break;
  }
  return outcome;
}

void ResponseDecoder::DecodeClock(int slot, FrameData d) {
  DeviceRecord& r = devices_.Slot(slot).Record;
  r.Year = Signed(d[1]);
  r.Month = Signed(d[2]);
  r.Day = Signed(d[3]);
  r.Weekday = Signed(d[4]);
  r.Hour = Signed(d[5]);
  r.Minute = Signed(d[6]);
  // The meter counts week days from 1 = Sunday; a day it cannot have selects nothing.
  const int entry = r.Weekday >= 1 && r.Weekday <= 7 ? r.Weekday - 1 : kNoEntry;
  display_.ShowClock({DateText(r.Year + 2000, r.Month, r.Day), TimeText(r.Hour, r.Minute), entry});
}

void ResponseDecoder::DecodeTariff(FrameData d) {
  MeterSettings& s = devices_.Settings();
  s.TierLimit = Pair(d, 1);
  s.Price1 = Pair(d, 3);
  s.Price2 = Pair(d, 5);
  display_.ShowTariff({Fixed(s.Price1 / 10, 1), Fixed(s.Price2 / 10, 1), Decimal(s.TierLimit)});
}

DecodeStatus ResponseDecoder::DecodeMonth(int slot, FrameData d) {
  const int month = d[1];
  if (month < 1 || month > kMonths) return DecodeStatus::kIgnored;
  SlotData& data = devices_.Slot(slot);
  auto& days = data.History[static_cast<std::size_t>(month - 1)];
  // The meter sends its cumulative counter per day in 0.01 kWh; the table
  // keeps the difference, the energy of each day.
  std::uint32_t previous = 0;
  for (std::size_t j = 0; j < days.size(); ++j) {
    if (days[j] < 0) break;  // the month ends before this day
    days[j] = 0.0;
    const std::uint32_t counter = Long(d, 2 + 4 * j);
    if (counter < kNoDayReading) {
      days[j] = static_cast<double>(counter - previous) / 100.0;
      previous = counter;
    }
  }
  data.MonthsRead[static_cast<std::size_t>(month - 1)] = true;

  // Once every request is out, the answer that brings the last missing month
  // completes the read (a second answer for a month asked twice does not);
  // the scheduler asks again for months still missing.
  if (context_.HistoryMonthsLeft() == 0 && data.HistoryLoaded == 0 && AllAnswered(data.MonthsRead)) {
    FinishHistoryRead(slot, devices_, display_, context_.ChartViewOpen() && !context_.RealTimeMode());
  }
  return DecodeStatus::kHandled;
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

void ResponseDecoder::DecodeRealTime(int slot, FrameData d) {
  SlotData& data = devices_.Slot(slot);
  DeviceRecord& r = data.Record;
  r.Year = Signed(d[1]);
  if (IsLeapYear(r.Year + 2000) && data.History[1][28] == kNoSuchDay) data.History[1][28] = 0.0;
  r.Month = Signed(d[2]);
  r.Day = Signed(d[3]);
  r.Weekday = Signed(d[4]);
  r.Hour = Signed(d[5]);
  r.Minute = Signed(d[6]);
  r.Current = static_cast<float>(Word(d, 7) / 100.0);
  r.Voltage = static_cast<float>(Word(d, 9) / 10.0);
  r.Power = static_cast<float>(Word(d, 11) / 10.0);
  // Up to 128 the factor is positive; above, the excess over 128 is negative.
  const std::uint32_t factor = Word(d, 13);
  r.PowerFactor = factor <= 128 ? static_cast<float>(factor / 100.0)
                                : static_cast<float>(-static_cast<double>(factor - 128) / 100.0);
  r.Energy = Long(d, 15) / 100.0;

  if (context_.ChartViewOpen()) {
    if (context_.RealTimeMode()) display_.ChartViewRealTimeSample(slot, r);
  } else if (slot == context_.SelectedSlot()) {
    ShowSelectedReadings(slot);
  } else {
    return;  // another device: its record is current, nothing is shown or saved
  }

  if (context_.SavingActive() && CountTowardsRow(context_.SaveCounter(), context_.AcquisitionInterval())) {
    display_.AppendRealTimeRow(slot);
  }
}

void ResponseDecoder::ShowSelectedReadings(int slot) {
  const SlotData& data = devices_.Slot(slot);
  const DeviceRecord& r = data.Record;
  MeterSettings& s = devices_.Settings();
  s.ShownYear = r.Year + 2000;
  s.ShownMonth = r.Month;
  s.ShownDay = r.Day;
  if (context_.FollowDeviceClock()) {
    // The week day comes from the date, not from the meter's own count.
    const int weekday = WeekdayOf(r.Year, r.Month, r.Day);
    display_.ShowClock({DateText(s.ShownYear, r.Month, r.Day), TimeText(r.Hour, r.Minute),
                        weekday == kNoWeekday ? kNoEntry : weekday});
  }

  const double energy = r.Energy;
  bool reached = false;
  if (s.EnergyLimit <= energy) {
    reached = true;
  } else if (energy <= s.TierLimit) {
    reached = CostOf(energy, s) >= s.CostLimit;
  } else {
    reached = CostOf(energy, s) > s.CostLimit;
  }
  s.LimitState = reached ? kLimitReached : kLimitNotReached;

  const ReadingTexts texts{
      .voltage = Fixed(r.Voltage, 1),
      .current = Fixed(r.Current, 2),
      .power = Fixed(r.Power, 1),
      .power_factor = Fixed(r.PowerFactor, 2),
      .energy = Fixed(r.Energy, 2),
      .co2 = Fixed(static_cast<float>(static_cast<double>(data.Co2Factor) * r.Energy), 3),
      .current_alarm = r.Current >= kCurrentAlarm,
      .limit_tooltip = reached ? "Limit Go" : "",
  };
  display_.ShowReadings(texts);
}

DecodeStatus ResponseDecoder::DecodeTimer(FrameData d) {
  const int timer = d[1];
  if (timer < 1 || timer > kTimerCount) return DecodeStatus::kIgnored;
  MeterSettings& s = devices_.Settings();
  s.TimersRead[static_cast<std::size_t>(timer - 1)] = true;
  TimerEntry& t = s.Timers[static_cast<std::size_t>(timer - 1)];
  t.Mode = d[2];
  t.OnHour = TimeByte(d[3]);
  t.OnMinute = TimeByte(d[4]);
  t.OffHour = TimeByte(d[5]);
  t.OffMinute = TimeByte(d[6]);
  display_.ShowTimer(timer, {TimeText(t.OnHour, t.OnMinute), TimeText(t.OffHour, t.OffMinute), t.Mode - 1});
  return DecodeStatus::kHandled;
}

void ResponseDecoder::DecodeLimits(FrameData d) {
  MeterSettings& s = devices_.Settings();
  s.EnergyLimit = Pair(d, 1);
  s.CostLimit = Pair(d, 3);
  display_.ShowLimits({Decimal(static_cast<long long>(s.EnergyLimit)),
                       Decimal(static_cast<long long>(s.CostLimit)), d[5] == 1});
}

void ResponseDecoder::DecodeCo2Factor(int slot, FrameData d) {
  float& factor = devices_.Slot(slot).Co2Factor;
  factor = static_cast<float>(Pair(d, 1) / 1000.0);
  display_.ShowCo2Factor(Fixed(factor, 3));
}

void ResponseDecoder::DecodeMeterNumber(FrameData d) {
  std::string number;
  for (std::size_t i = 1; i <= 8; ++i) number += Decimal(d[i]);
  devices_.Settings().MeterNumber = number;
}

}  // namespace quorvel
