// The meter's day-by-day energy memory: a rolling twelve months, one row per
// calendar month. Rows up to the current month hold this year's days, the
// rows after it still hold last year's until the meter gets there.
//
// On the wire a month is 31 counters in 0.01 kWh, each the energy used from
// the 1st of the month to the end of that day. A day without a reading
// carries a code of 999999 or more instead.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>

#include "sim/random.h"

namespace quorvel::sim {

// Sent for a day that has passed without a reading (the meter was
// unplugged). Exactly the dashboard's threshold, to keep its boundary honest.
inline constexpr std::uint32_t kGapCode = 999999;
// Sent for days still to come and for days the month does not have.
inline constexpr std::uint32_t kNoReadingCode = 0xFFFFFFFF;

enum class DayState : std::uint8_t { kNoReading, kGap, kReading };

struct DayEntry {
  DayState state = DayState::kNoReading;
  double wh = 0.0;  // energy of that day alone, when state is kReading
};

class EnergyHistory {
 public:
  static constexpr int kMonths = 12;
  static constexpr int kDays = 31;

  // Month 1..12, day 1..31; out-of-range positions read as no reading and
  // are never written.
  DayEntry Day(int month, int day) const;
  void SetDay(int month, int day, DayEntry entry);
  void AddEnergy(int month, int day, double wh);

  // The counter sent for a day: cumulative 0.01 kWh since the 1st, or one of
  // the codes above.
  std::uint32_t Counter(int month, int day) const;

  // The meter's clock has moved from one day to another (midnight, or a
  // clock write). A new month starts empty; in the same month the days after
  // the new date are forgotten. The new day starts counting from zero unless
  // it already has a reading.
  void EnterDay(std::chrono::year_month_day from, std::chrono::year_month_day to);

  // Energy of every day with a reading.
  double TotalWh() const;

 private:
  std::array<std::array<DayEntry, kDays>, kMonths> days_{};
};

// Twelve plausible months ending today: a household-style usage of a few kWh
// per day with some seasonal swing, a handful of gap days in the past, no
// readings after today, and today's reading so far, `day_fraction` (0..1) of
// a day having passed.
EnergyHistory GenerateHistory(Random& random, std::chrono::year_month_day today, double day_fraction);

}  // namespace quorvel::sim
