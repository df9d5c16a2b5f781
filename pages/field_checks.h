// What the real-time page checks when it raises a request and when the
// tick builds it, and the week day its date field selects. Plain functions
// on the field texts (UTF-8), cut and read by characters: a value that
// breaks its rule marks its field and nothing is sent.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "pages/field_marks.h"
#include "protocol/commands.h"

namespace quorvel {

struct ClockFields {
  std::string date;  // "2009/06/23"
  std::string time;  // "09:30"
};

// Time Data Download: cuts the date to 10 and the time to 5 characters
// (the caller writes them back), marks a date that is not "YYYY/MM/DD" in
// ASCII digits with year 1998..3000, month 1..12, day 1..31, and a time
// that is not "HH:MM" with hour 0..24, minute 0..59. When both are valid
// every mark is removed and the clock may be set.
bool CheckClockFields(ClockFields& fields, FieldMarks& marks);

struct TariffFields {
  std::string boundary;   // "5000"
  std::string upper_end;  // "9999"
  std::string price1;     // "30.0"
  std::string price2;     // "40.0"
};

// Price Data Download, and the tariff write the tick builds: the tier
// boundary is 1 to 4 ASCII digits above 1 and below the upper end; each
// price is a decimal number (ASCII digits and at most one ".") below 1000.
// Each field that breaks its rule is marked; when all hold every mark is
// removed and the values to send are returned.
std::optional<TariffValues> CheckTariffFields(const TariffFields& fields, FieldMarks& marks);

enum class Co2FactorCheck { kAccepted, kTooLarge, kNegative, kNotANumber };
// Load CO2 Factor: the meter takes 0.000 .. 0.999 kg per kWh, written as a
// decimal number in ASCII digits; "", "abc" and "0,45" are no number.
Co2FactorCheck CheckCo2Factor(std::string_view text);

// The factor a CO2 write carries (kg per kWh x 1000), or nothing, with the
// field marked while it breaks its rule.
std::optional<std::int32_t> CheckCo2FactorField(std::string_view text, FieldMarks& marks);

// The week-day entry (0 = Sunday) a date text selects; kNoEntry for a
// year beyond 2099; nullopt when the text is no date, and the list keeps
// its selection.
std::optional<int> WeekdayEntryOfDateText(std::string_view text);

}  // namespace quorvel
