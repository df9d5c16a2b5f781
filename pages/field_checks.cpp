#include "pages/field_checks.h"

#include "model/display.h"
#include "pages/field_text.h"
#include "protocol/number_text.h"
#include "protocol/week_sums.h"

namespace quorvel {
namespace {

constexpr std::size_t kDateLength = 10;  // "2009/06/23"
constexpr std::size_t kTimeLength = 5;   // "09:30"
constexpr std::size_t kTierDigits = 4;
constexpr double kPriceLimit = 1000.0;   // ten times a price travels in 0..9999
constexpr double kCo2FactorLimit = 1.0;  // a thousand times the factor travels in 0..999

// Characters `first`..`last` (counted from 1) read as a decimal number; what
// is missing or no number reads as 0.
int NumberAt(std::string_view text, std::size_t first, std::size_t last) {
  if (text.size() < first) return 0;
  return ReadDecimalInteger(text.substr(first - 1, last - first + 1));
}

bool Within(int value, int low, int high) { return value >= low && value <= high; }

bool IsDate(std::string_view date) {
  return HasForm(date, "dddd/dd/dd") && Within(NumberAt(date, 1, 4), 1998, 3000) &&
         Within(NumberAt(date, 6, 7), 1, 12) && Within(NumberAt(date, 9, 10), 1, 31);
}

std::optional<double> Price(std::string_view text) {
  const std::optional<double> price = DecimalValue(text);
  if (!price || *price >= kPriceLimit) return std::nullopt;
  return price;
}

// Marks the field in its slot while `bad`, and leaves the other slots.
void MarkIf(bool bad, FieldMarks& marks, std::size_t slot, int field) {
  if (bad) {
    marks.Mark(slot, field);
  } else {
    marks.Unmark(slot);
  }
}

}  // namespace

bool CheckClockFields(ClockFields& fields, FieldMarks& marks) {
  fields.date = FirstCharacters(fields.date, kDateLength);
  fields.time = FirstCharacters(fields.time, kTimeLength);
  const bool date_valid = IsDate(fields.date);
  const bool time_valid = ReadTimeOfDay(fields.time).has_value();
  if (!date_valid) marks.Mark(mark_slot::kDate, field_id::kDate);
  if (!time_valid) marks.Mark(mark_slot::kTime, field_id::kTime);
  if (!date_valid || !time_valid) return false;
  marks.UnmarkAll();
  return true;
}

std::optional<TariffValues> CheckTariffFields(const TariffFields& fields, FieldMarks& marks) {
  const std::optional<int> boundary = DigitsValue(fields.boundary, kTierDigits);
  const std::optional<int> upper_end = DigitsValue(fields.upper_end, kTierDigits);
  const std::optional<double> price1 = Price(fields.price1);
  const std::optional<double> price2 = Price(fields.price2);
  const bool above_end = boundary && upper_end && *boundary >= *upper_end;
  MarkIf(!upper_end || above_end, marks, mark_slot::kTierUpperEnd, field_id::kTierUpperEnd);
  MarkIf(!boundary || *boundary <= 1, marks, mark_slot::kTierBoundary, field_id::kTierBoundary);
  MarkIf(!price1, marks, mark_slot::kPrice1, field_id::kPrice1);
  MarkIf(!price2, marks, mark_slot::kPrice2, field_id::kPrice2);
  for (const int field : {field_id::kTierUpperEnd, field_id::kTierBoundary, field_id::kPrice1, field_id::kPrice2}) {
    if (marks.IsMarked(field)) return std::nullopt;
  }
  marks.UnmarkAll();
  return TariffFromFields(fields.boundary, fields.price1, fields.price2);
}

Co2FactorCheck CheckCo2Factor(std::string_view text) {
  // The meter keeps the factor as a number 0..999: a negative one would
  // reach it as a different, large factor.
  if (!text.empty() && text.front() == '-' && DecimalValue(text.substr(1))) return Co2FactorCheck::kNegative;
  const std::optional<double> factor = DecimalValue(text);
  if (!factor) return Co2FactorCheck::kNotANumber;
  if (*factor >= kCo2FactorLimit) return Co2FactorCheck::kTooLarge;
  return Co2FactorCheck::kAccepted;
}

std::optional<std::int32_t> CheckCo2FactorField(std::string_view text, FieldMarks& marks) {
  const bool accepted = CheckCo2Factor(text) == Co2FactorCheck::kAccepted;
  MarkIf(!accepted, marks, mark_slot::kCo2Factor, field_id::kCo2Factor);
  if (!accepted) return std::nullopt;
  return Co2FactorFromField(text);
}

std::optional<int> WeekdayEntryOfDateText(std::string_view text) {
  const int year = NumberAt(text, 1, 4) - 2000;
  const int month = NumberAt(text, 6, 7);
  const int day = NumberAt(text, 9, 10);
  if (year < 0 || !Within(month, 1, 12) || !Within(day, 1, 31)) return std::nullopt;
  const int weekday = WeekdayOf(year, month, day);
  return weekday == kNoWeekday ? kNoEntry : weekday;
}

}  // namespace quorvel
