#include "sim/energy_history.h"

#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

namespace quorvel::sim {

namespace {

using std::chrono::month;
using std::chrono::year;
using std::chrono::year_month_day;

bool InRange(int m, int d) { return m >= 1 && m <= EnergyHistory::kMonths && d >= 1 && d <= EnergyHistory::kDays; }

std::size_t Index(int value) { return static_cast<std::size_t>(value - 1); }

int MonthOf(year_month_day date) { return static_cast<int>(static_cast<unsigned>(date.month())); }
int DayOf(year_month_day date) { return static_cast<int>(static_cast<unsigned>(date.day())); }

int DaysIn(int y, int m) {
  const year_month_day end_of_month{year{y} / month{static_cast<unsigned>(m)} / std::chrono::last};
  return DayOf(end_of_month);
}

}  // namespace

DayEntry EnergyHistory::Day(int m, int d) const {
  if (!InRange(m, d)) return {};
  return days_[Index(m)][Index(d)];
}

void EnergyHistory::SetDay(int m, int d, DayEntry entry) {
  if (InRange(m, d)) days_[Index(m)][Index(d)] = entry;
}

void EnergyHistory::AddEnergy(int m, int d, double wh) {
  if (!InRange(m, d)) return;
  DayEntry& entry = days_[Index(m)][Index(d)];
  if (entry.state != DayState::kReading) entry = {DayState::kReading, 0.0};
  entry.wh += wh;
}

std::uint32_t EnergyHistory::Counter(int m, int d) const {
  if (!InRange(m, d)) return kNoReadingCode;
  const auto& row = days_[Index(m)];
  switch (row[Index(d)].state) {
    case DayState::kNoReading:
      return kNoReadingCode;
    case DayState::kGap:
      return kGapCode;
    case DayState::kReading:
      break;
  }
  double wh = 0.0;
  for (std::size_t i = 0; i <= Index(d); ++i) {
    if (row[i].state == DayState::kReading) wh += row[i].wh;
  }
  return static_cast<std::uint32_t>(std::floor(wh / 10.0));
}

void EnergyHistory::EnterDay(year_month_day from, year_month_day to) {
  const int m = MonthOf(to);
  const int d = DayOf(to);
  auto& row = days_[Index(m)];
  const bool new_month = from.month() != to.month() || from.year() != to.year();
  for (int i = new_month ? 1 : d + 1; i <= kDays; ++i) row[Index(i)] = {};
  if (row[Index(d)].state != DayState::kReading) row[Index(d)] = {DayState::kReading, 0.0};
}

double EnergyHistory::TotalWh() const {
  double wh = 0.0;
  for (const auto& row : days_) {
    for (const DayEntry& entry : row) {
      if (entry.state == DayState::kReading) wh += entry.wh;
    }
  }
  return wh;
}

EnergyHistory GenerateHistory(Random& random, year_month_day today, double day_fraction) {
  EnergyHistory history;
  const double typical_wh = random.Between(2000.0, 6000.0);
  const int this_year = static_cast<int>(today.year());
  const int this_month = MonthOf(today);
  const int this_day = DayOf(today);

  std::vector<std::pair<int, int>> past_days;
  for (int m = 1; m <= EnergyHistory::kMonths; ++m) {
    // Rows after the current month are last year's.
    const int y = m > this_month ? this_year - 1 : this_year;
    const int last = m == this_month ? this_day - 1 : DaysIn(y, m);
    // More heating and lighting in the northern winter.
    const double season = 1.0 + 0.25 * std::cos(2.0 * std::numbers::pi * (m - 1) / 12.0);
    for (int d = 1; d <= last; ++d) {
      history.SetDay(m, d, {DayState::kReading, typical_wh * season * random.Between(0.6, 1.4)});
      past_days.emplace_back(m, d);
    }
  }
  history.SetDay(this_month, this_day, {DayState::kReading, typical_wh * day_fraction * random.Between(0.8, 1.2)});

  // A few days when the meter was unplugged.
  const auto gaps = static_cast<std::size_t>(random.Integer(3, 5));
  for (std::size_t i = 0; i < gaps && i < past_days.size(); ++i) {
    const auto pick = static_cast<std::size_t>(
        random.Integer(static_cast<std::int64_t>(i), static_cast<std::int64_t>(past_days.size()) - 1));
    std::swap(past_days[i], past_days[pick]);
    history.SetDay(past_days[i].first, past_days[i].second, {DayState::kGap, 0.0});
  }
  return history;
}

}  // namespace quorvel::sim
