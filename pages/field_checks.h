// What the real-time page checks before it raises a request, and the week
// day its date field selects. Plain functions on the field texts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "pages/field_marks.h"

namespace quorvel {

struct ClockFields {
  std::string date;  // "2009/06/23"
  std::string time;  // "09:30"
};

// Time Data Download: cuts the date to 10 and the time to 5 characters
// (the caller writes them back), marks an invalid date (year 1998..3000,
// month 1..12, day 1..31) and an invalid time (hour 0..24, minute 0..59).
// When both are valid every mark is removed and the clock may be set.
bool CheckClockFields(ClockFields& fields, FieldMarks& marks);

// Price Data Download: the tier boundary must lie above 1 and below the
// upper end; the offending field is marked. When both hold every mark is
// removed and the tariff may be written.
bool CheckTariffFields(std::string_view boundary, std::string_view upper_end, FieldMarks& marks);

enum class Co2FactorCheck { kAccepted, kTooLarge, kNegative };
// Load CO2 Factor: the meter takes 0.000 .. 0.999 kg per kWh.
Co2FactorCheck CheckCo2Factor(std::string_view text);

// The week-day entry (0 = Sunday) a date text selects; kNoEntry for a
// year beyond 2099; nullopt when the text is no date, and the list keeps
// its selection.
std::optional<int> WeekdayEntryOfDateText(std::string_view text);

}  // namespace quorvel
