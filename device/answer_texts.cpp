#include "device/answer_texts.h"

#include <utility>

#include "protocol/number_text.h"
#include "protocol/week_sums.h"

namespace quorvel {
namespace {

bool MonthRead(const SlotData& slot, int month) {
  return month >= 1 && month <= kMonths && slot.MonthsRead[static_cast<std::size_t>(month - 1)];
}

// The week sum reaches into the month before when the week began there.
bool WeekRead(const SlotData& slot, const MeterSettings& settings) {
  const int month = settings.ShownMonth;
  const int first_day = settings.ShownDay - WeekdayOf(settings.ShownYear - 2000, month, settings.ShownDay);
  return MonthRead(slot, month) && (first_day >= 1 || month == 1 || MonthRead(slot, month - 1));
}

// Every field's text, each made where it stays.
template <std::size_t... I>
std::array<std::string, kReadingFieldCount> FieldTexts(const DeviceRecord& r, std::index_sequence<I...>) {
  return {ReadingText(r, kReadingFields[I])...};
}

}  // namespace

std::string ReadingText(const DeviceRecord& record, const ReadingFieldRow& entry) {
  return Fixed(entry.member.Get(record), entry.decimals);
}

ClockTexts ClockAnswerTexts(const DeviceRecord& r) {
  const int entry = r.Weekday >= 1 && r.Weekday <= 7 ? r.Weekday - 1 : kNoEntry;
  return {DateText(r.Year + 2000, r.Month, r.Day), TimeText(r.Hour, r.Minute), entry};
}

ClockTexts RealTimeClockTexts(const DeviceRecord& r) {
  const int weekday = WeekdayOf(r.Year, r.Month, r.Day);
  return {DateText(r.Year + 2000, r.Month, r.Day), TimeText(r.Hour, r.Minute),
          weekday == kNoWeekday ? kNoEntry : weekday};
}

ReadingTexts ReadingBoxTexts(const DeviceRecord& r, float co2_factor, bool limit_reached) {
  return {
      .fields = FieldTexts(r, std::make_index_sequence<kReadingFieldCount>{}),
      .co2 = Fixed(static_cast<float>(static_cast<double>(co2_factor) * r.Energy), 3),
      .current_alarm = r.Current >= kCurrentAlarmAmperes,
      .limit_tooltip = limit_reached ? kLimitReachedTip : "",
  };
}

TariffTexts TariffBoxTexts(const MeterSettings& s) {
  return {Fixed(s.Price1 / 10, 1), Fixed(s.Price2 / 10, 1), Decimal(s.TierLimit)};
}

TimerTexts TimerRowTexts(const TimerEntry& t) {
  return {TimeText(t.OnHour, t.OnMinute), TimeText(t.OffHour, t.OffMinute), t.Mode - 1};
}

LimitTexts LimitBoxTexts(const MeterSettings& s) {
  return {Decimal(static_cast<long long>(s.EnergyLimit)), Decimal(static_cast<long long>(s.CostLimit)),
          s.ShutdownAtLimit};
}

std::string Co2FactorText(float factor) { return Fixed(factor, 3); }

HistoryTexts HistoryBoxTexts(const SlotData& slot, const MeterSettings& settings) {
  HistoryTexts texts;
  const int month = slot.Record.Month;
  const std::optional<double> day = HistoryEntry(slot.History, month, slot.Record.Day);
  if (day && *day != kNoSuchDay) texts.day = MonthRead(slot, month) ? Fixed(*day, 2) : kUnknownHistoryText;
  if (const auto week = WeekSum(settings, slot.History)) {
    texts.week = WeekRead(slot, settings) ? Fixed(*week, 2) : kUnknownHistoryText;
  }
  if (const auto sum = MonthSum(slot.History, month)) {
    texts.month = MonthRead(slot, month) ? Fixed(*sum, 2) : kUnknownHistoryText;
  }
  return texts;
}

}  // namespace quorvel
