#include "protocol/decoder.h"

#include <utility>

#include "model/month_lengths.h"
#include "model/reading_fields.h"
#include "protocol/commands.h"
#include "protocol/number_text.h"

namespace quorvel {
namespace {

// Answer values: a pair carries two decimal digits per byte, words and
// longs are big-endian.
std::int32_t Pair(FrameData d, std::size_t n) { return d[n] * 100 + d[n + 1]; }
std::uint32_t Word(FrameData d, std::size_t n) { return (std::uint32_t{d[n]} << 8) | d[n + 1]; }
std::uint32_t Long(FrameData d, std::size_t n) {
  return (std::uint32_t{d[n]} << 24) | (std::uint32_t{d[n + 1]} << 16) | (std::uint32_t{d[n + 2]} << 8) | d[n + 3];
}
std::int8_t Signed(std::uint8_t byte) { return static_cast<std::int8_t>(byte); }

// A day counter this large means the meter has no reading for that day.
constexpr std::uint32_t kNoDayReading = 999999;

std::uint8_t TimeByte(std::uint8_t byte) { return byte == 0xFF ? 0 : byte; }

// Reading I of the table, from its bytes into the record. The table is
// known when this compiles, so each field becomes straight-line code.
template <std::size_t I>
void DecodeReading(FrameData d, DeviceRecord& record) {
  constexpr const ReadingFieldRow& entry = kReadingFields[I];
  static_assert(entry.offset + (entry.coding == WireCoding::kLong ? 4 : 2) <= kReceiveDataSize);
  double coded = 0.0;
  if constexpr (entry.coding == WireCoding::kWord) {
    coded = Word(d, entry.offset);
  } else if constexpr (entry.coding == WireCoding::kFactorWord) {
    const std::uint32_t word = Word(d, entry.offset);
    coded = word <= 128 ? static_cast<double>(word) : -static_cast<double>(word - 128);
  } else {
    coded = Long(d, entry.offset);
  }
  entry.member.Set(record, coded / entry.scale);
}

template <std::size_t... I>
void DecodeReadings(FrameData d, DeviceRecord& record, std::index_sequence<I...>) {
  (DecodeReading<I>(d, record), ...);
}

}  // namespace

DecodeOutcome ResponseDecoder::Decode(int slot, FrameData d) {
  DecodeOutcome outcome{d[0], DecodeStatus::kHandled, 0, slot, std::nullopt};
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
      outcome.reading = DecodeRealTime(slot, d);
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
}

void ResponseDecoder::DecodeTariff(FrameData d) {
  MeterSettings& s = devices_.Settings();
  s.TierLimit = Pair(d, 1);
  s.Price1 = Pair(d, 3);
  s.Price2 = Pair(d, 5);
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
  return DecodeStatus::kHandled;
}

const DeviceRecord& ResponseDecoder::DecodeRealTime(int slot, FrameData d) {
  SlotData& data = devices_.Slot(slot);
  DeviceRecord& r = data.Record;
  r.Year = Signed(d[1]);
  if (IsLeapYear(r.Year + 2000) && data.History[1][28] == kNoSuchDay) data.History[1][28] = 0.0;
  r.Month = Signed(d[2]);
  r.Day = Signed(d[3]);
  r.Weekday = Signed(d[4]);
  r.Hour = Signed(d[5]);
  r.Minute = Signed(d[6]);
  DecodeReadings(d, r, std::make_index_sequence<kReadingFieldCount>{});
  return r;
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
  return DecodeStatus::kHandled;
}

void ResponseDecoder::DecodeLimits(FrameData d) {
  MeterSettings& s = devices_.Settings();
  s.EnergyLimit = Pair(d, 1);
  s.CostLimit = Pair(d, 3);
  s.ShutdownAtLimit = d[5] == 1;
}

void ResponseDecoder::DecodeCo2Factor(int slot, FrameData d) {
  devices_.Slot(slot).Co2Factor = static_cast<float>(Pair(d, 1) / 1000.0);
}

void ResponseDecoder::DecodeMeterNumber(FrameData d) {
  std::string number;
  for (std::size_t i = 1; i <= 8; ++i) number += Decimal(d[i]);
  devices_.Settings().MeterNumber = number;
}

}  // namespace quorvel
