#include "pages/history_cursor.h"

#include <cstdio>

#include "model/month_lengths.h"
#include "protocol/number_text.h"
#include "protocol/week_sums.h"

namespace quorvel {
namespace {

constexpr int kDaysPerWeek = 7;

int FirstWeekday(int year) { return WeekdayOf(year - 2000, 1, 1); }

// A day of the year's table, resolved into its month: day 0 or less is at
// the end of an earlier month, a day past the month's end in a later one.
// nullopt when that leaves the year.
struct MonthDay {
  int month;
  int day;
};
std::optional<MonthDay> Resolve(int month, int day, int year) {
  while (day < 1) {
    if (--month < 1) return std::nullopt;
    day += MonthLength(month, year);
  }
  while (month <= kMonths && day > MonthLength(month, year)) day -= MonthLength(month++, year);
  if (month > kMonths) return std::nullopt;
  return MonthDay{month, day};
}

}  // namespace

int WeekNumber(int year, int month, int day) {
  int day_of_year = day;
  for (int m = 1; m < month && m <= kMonths; ++m) day_of_year += MonthLength(m, year);
  const int c = day_of_year - FirstWeekday(year);
  return c / kDaysPerWeek + (c % kDaysPerWeek != 0 ? 1 : 0);
}

HistoryCursor CursorAt(const ShownDate& shown) {
  return HistoryCursor{shown.day, shown.month, WeekNumber(shown.year, shown.month, shown.day), shown.month};
}

std::string PositionText(const HistoryCursor& cursor) {
  char text[64];
  std::snprintf(text, sizeof text, "%d.%d/%dWeek/%dMonth", cursor.day_month, cursor.day, cursor.week, cursor.month);
  return text;
}

std::optional<std::string> StepDay(HistoryCursor& cursor, int change, const ShownDate& shown,
                                   const HistoryTable& history) {
  if (cursor.day == 0) return std::nullopt;
  HistoryCursor moved = cursor;
  if (change <= 0) {
    // Never past the shown date.
    if (moved.day >= shown.day && moved.day_month >= shown.month) return std::nullopt;
    if (++moved.day > MonthLength(moved.day_month, shown.year)) {
      moved.day = 1;
      ++moved.day_month;
    }
  } else {
    if (moved.day == 1 && moved.day_month == 1) return std::nullopt;
    if (--moved.day == 0) {
      --moved.day_month;
      moved.day = MonthLength(moved.day_month, shown.year);
    }
  }
  const std::optional<double> energy = HistoryEntry(history, moved.day_month, moved.day);
  if (!energy) return std::nullopt;
  cursor = moved;
  return Fixed(*energy, 2);
}

std::optional<std::string> StepWeek(HistoryCursor& cursor, int change, const ShownDate& shown,
                                    const HistoryTable& history) {
  if (cursor.day == 0) return std::nullopt;
  // The last day of the cursor's week, as month and day; past December it
  // lies in a month 13 that only steps back.
  int month = 1;
  int last = kDaysPerWeek * cursor.week + FirstWeekday(shown.year);
  while (month <= kMonths && last > MonthLength(month, shown.year)) last -= MonthLength(month++, shown.year);

  const bool forward = change <= 0;
  if (forward && ((month == shown.month && last > shown.day) || month > shown.month)) return std::nullopt;
  double sum = 0.0;
  for (int k = 1; k <= kDaysPerWeek; ++k) {
    const int day = forward ? last + k : last - kDaysPerWeek - k + 1;
    const std::optional<MonthDay> at = Resolve(month, day, shown.year);
    if (!at) return std::nullopt;
    // The stored values as they are.
    sum += *HistoryEntry(history, at->month, at->day);
  }
  cursor.week += forward ? 1 : -1;
  return Fixed(sum, 2);
}

std::optional<std::string> StepMonth(HistoryCursor& cursor, int change, const ShownDate& shown,
                                     const HistoryTable& history) {
  if (cursor.day == 0) return std::nullopt;
  if (change <= 0) {
    if (cursor.month >= shown.month) return std::nullopt;
    ++cursor.month;
  } else if (cursor.month > 1) {
    --cursor.month;
  }
  if (cursor.month < 1 || cursor.month > kMonths) return std::nullopt;
  double sum = 0.0;
  for (const double energy : history[static_cast<std::size_t>(cursor.month - 1)]) {
    if (energy >= 0.0) sum += energy;  // -1 marks a day the month lacks
  }
  return Fixed(sum, 2);
}

}  // namespace quorvel
