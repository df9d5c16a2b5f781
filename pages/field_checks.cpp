#include "pages/field_checks.h"

#include "model/display.h"
#include "protocol/calendar.h"
#include "protocol/number_text.h"

namespace quorvel {
namespace {

// Characters `first`..`last` (counted from 1) read as a decimal number; what
// is missing or no number reads as 0.
int NumberAt(std::string_view text, std::size_t first, std::size_t last) {
  if (text.size() < first) return 0;
  return ReadDecimalInteger(text.substr(first - 1, last - first + 1));
}

bool Within(int value, int low, int high) { return value >= low && value <= high; }

}  // namespace

bool CheckClockFields(ClockFields& fields, FieldMarks& marks) {
  fields.date = fields.date.substr(0, 10);
  fields.time = fields.time.substr(0, 5);
  const std::string_view date = fields.date;
  const std::string_view time = fields.time;
  const bool date_valid =
      Within(NumberAt(date, 1, 4), 1998, 3000) && Within(NumberAt(date, 6, 7), 1, 12) && Within(NumberAt(date, 9, 10), 1, 31);
  const bool time_valid = Within(NumberAt(time, 1, 2), 0, 24) && Within(NumberAt(time, 4, 5), 0, 59);
  if (!date_valid) marks.Mark(mark_slot::kDate, field_id::kDate);
  if (!time_valid) marks.Mark(mark_slot::kTime, field_id::kTime);
  if (!date_valid || !time_valid) return false;
  marks.UnmarkAll();
  return true;
}

bool CheckTariffFields(std::string_view boundary, std::string_view upper_end, FieldMarks& marks) {
  const int b = ReadDecimalInteger(boundary);
  const int u = ReadDecimalInteger(upper_end);
  const bool above_end = b >= u;
  const bool too_low = 1 >= b;
  if (above_end) marks.Mark(mark_slot::kTierUpperEnd, field_id::kTierUpperEnd);
  if (too_low) marks.Mark(mark_slot::kTierBoundary, field_id::kTierBoundary);
  if (above_end || too_low) return false;
  marks.UnmarkAll();
  return true;
}

Co2FactorCheck CheckCo2Factor(std::string_view text) {
  const double factor = ReadDecimalNumber(text);
  if (factor >= 1.0) return Co2FactorCheck::kTooLarge;
  // The meter keeps the factor as a number 0..999: a negative one would
  // reach it as a different, large factor.
  if (factor < 0.0) return Co2FactorCheck::kNegative;
  return Co2FactorCheck::kAccepted;
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
