#include "cli/answer_json.h"

#include "cli/output_text.h"
#include "device/answer_texts.h"
#include "model/reading_fields.h"
#include "protocol/commands.h"
#include "protocol/number_text.h"

namespace quorvel::cli {
namespace {

void AddClock(JsonObject& json, const DeviceRecord& r) {
  json.Integer("Year", r.Year)
      .Integer("Month", r.Month)
      .Integer("Day", r.Day)
      .Integer("Weekday", r.Weekday)
      .Integer("Hour", r.Hour)
      .Integer("Minute", r.Minute);
}

}  // namespace

std::string AnswerJson(const DecodeOutcome& outcome, const DeviceTable& devices, int slot_of_answer,
                       std::optional<int> slot_key) {
  JsonObject json;
  if (slot_key) json.Integer("slot", *slot_key);
  json.Integer("kind", outcome.kind);
  if (outcome.status == DecodeStatus::kUnhandled) return json.Bool("unhandled", true).Done();
  if (outcome.status == DecodeStatus::kIgnored) return json.Bool("ignored", true).Done();

  const SlotData& slot = devices.Slot(slot_of_answer);
  const MeterSettings& s = devices.Settings();
  const std::uint8_t kind = outcome.kind;
  if (kind == code::kReadRealTime) {
    const DeviceRecord& r = slot.Record;
    AddClock(json, r);
    for (const ReadingFieldRow& entry : kReadingFields) {
      if (entry.json_key != nullptr) json.Number(entry.json_key, ReadingText(r, entry));
    }
  } else if (kind == code::kReadClock) {
    AddClock(json, slot.Record);
  } else if (kind >= code::kReadTariff && kind <= code::kReadTariffLast) {
    json.Integer("TierLimit", s.TierLimit).Number("Price1", Fixed(s.Price1, 0)).Number("Price2", Fixed(s.Price2, 0));
  } else if (kind == code::kReadMonthHistory) {
    std::string days = "[";
    for (const double day : slot.History[static_cast<std::size_t>(outcome.index - 1)]) {
      if (days.size() > 1) days += ",";
      days += Fixed(day, 2);
    }
    json.Integer("Month", outcome.index).Raw("History", days + "]");
  } else if (kind >= code::kReadTimer && kind <= code::kReadTimerLast) {
    const TimerEntry& t = s.Timers[static_cast<std::size_t>(outcome.index - 1)];
    json.Integer("Timer", outcome.index)
        .Integer("Mode", t.Mode)
        .Integer("OnHour", t.OnHour)
        .Integer("OnMinute", t.OnMinute)
        .Integer("OffHour", t.OffHour)
        .Integer("OffMinute", t.OffMinute);
  } else if (kind == code::kReadLimits) {
    json.Number("EnergyLimit", Fixed(s.EnergyLimit, 0))
        .Number("CostLimit", Fixed(s.CostLimit, 0))
        .Integer("Shutdown", s.ShutdownAtLimit ? 1 : 0);
  } else if (kind == code::kReadCo2Factor) {
    json.Number("Co2Factor", Fixed(slot.Co2Factor, 3));
  } else if (kind == code::kReadMeterNumber) {
    json.Text("MeterNumber", s.MeterNumber);
  }
  return json.Done();
}

}  // namespace quorvel::cli
