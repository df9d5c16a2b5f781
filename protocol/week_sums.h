// Week days and the history sums the real-time page shows.
#pragma once

#include <optional>

#include "model/device_record.h"
#include "model/month_lengths.h"

namespace quorvel {

inline constexpr int kNoWeekday = 7;

// Week day of a date, 0 = Sunday .. 6 = Saturday; kNoWeekday unless
// 0 <= y <= 99 (years since 2000), 1 <= m <= 12 and 1 <= d <= 31. The day is
// not compared with the month's length.
int WeekdayOf(int y, int m, int d);

// The stored energy of one day; nullopt when the date has no place in the
// table (month outside 1..12, day outside 1..31).
std::optional<double> HistoryEntry(const HistoryTable& history, int month, int day);

// Energy of the current week up to the shown date, Sunday first; days of
// December of the year before are not counted. nullopt while the shown date
// is not a date of the table (no real-time answer yet, or a bad one).
std::optional<double> WeekSum(const MeterSettings& settings, const HistoryTable& history);

// Sum of a month's days, skipping the days it lacks; nullopt for a month
// outside 1..12.
std::optional<double> MonthSum(const HistoryTable& history, int month);

}  // namespace quorvel
