#include "protocol/week_sums.h"

namespace quorvel {
namespace {

int FloorDiv(int a, int b) {
  const int q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

}  // namespace

int WeekdayOf(int y, int m, int d) {
  if (y < 0 || y > 99 || m < 1 || m > 12 || d < 1 || d > 31) return kNoWeekday;
  if (m < 3) {
    m += 12;
    y -= 1;
  }
  int n = y + FloorDiv(y, 4) + FloorDiv(26 * (m + 1), 10) + d - 36;
  while (n < 0) n += 7;
  return n % 7;
}

std::optional<double> HistoryEntry(const HistoryTable& history, int month, int day) {
  if (month < 1 || month > kMonths || day < 1 || day > kDaysPerMonthRow) return std::nullopt;
  return history[static_cast<std::size_t>(month - 1)][static_cast<std::size_t>(day - 1)];
}

std::optional<double> WeekSum(const MeterSettings& settings, const HistoryTable& history) {
  const int month = settings.ShownMonth;
  const int day = settings.ShownDay;
  if (!HistoryEntry(history, month, day)) return std::nullopt;
  const int w = WeekdayOf(settings.ShownYear - 2000, month, day);
  double sum = 0.0;
  for (int i = w; i >= 0; --i) {
    if (day - i >= 1) {
      sum += *HistoryEntry(history, month, day - i);
    } else if (month != 1) {
      const int previous = month - 1;
      sum += *HistoryEntry(history, previous, day - i + MonthLength(previous, settings.ShownYear));
    }
  }
  return sum;
}

std::optional<double> MonthSum(const HistoryTable& history, int month) {
  if (month < 1 || month > kMonths) return std::nullopt;
  double sum = 0.0;
  for (const double value : history[static_cast<std::size_t>(month - 1)]) {
    if (value != kNoSuchDay) sum += value;
  }
  return sum;
}

}  // namespace quorvel
