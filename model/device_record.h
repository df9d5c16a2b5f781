// Everything the dashboard knows about the meters: one record per device slot
// (COM1..COM18) and one set of meter settings for the whole program.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

inline constexpr int kSlotCount = 18;

// Slot numbers are the COM numbers 1..18; every per-slot table is indexed by
// slot number less one.
constexpr bool IsSlotNumber(int slot) { return slot >= 1 && slot <= kSlotCount; }
constexpr std::size_t SlotIndex(int slot) { return static_cast<std::size_t>(slot - 1); }

struct DeviceRecord {
  std::int8_t Year = 0;  // years since 2000
  std::int8_t Month = 0;
  std::int8_t Day = 0;
  std::int8_t Weekday = 0;  // as the meter reports it, 1 = Sunday
  std::int8_t Hour = 0;
  std::int8_t Minute = 0;
  float Current = 0.0F;      // A
  float Voltage = 0.0F;      // V
  float Power = 0.0F;        // W
  float PowerFactor = 0.0F;  // signed
  double Energy = 0.0;       // kWh, as counted by the meter
};

inline constexpr int kMonths = 12;
inline constexpr int kDaysPerMonthRow = 31;
// Marks a day that the month does not have (31 April, 29-31 February, ...).
inline constexpr double kNoSuchDay = -1.0;

// Energy per day in kWh, indexed [month - 1][day - 1].
using HistoryTable = std::array<std::array<double, kDaysPerMonthRow>, kMonths>;

// Zero every day, then mark the days the months lack.
void ResetHistory(HistoryTable& history);

// Which months (or timers) really answered: entry n - 1 for number n.
template <std::size_t N>
using AnsweredSet = std::array<bool, N>;

template <std::size_t N>
bool AllAnswered(const AnsweredSet<N>& answered) {
  for (const bool a : answered) {
    if (!a) return false;
  }
  return true;
}

// The numbers (1..N, ascending) that have not answered.
template <std::size_t N>
std::vector<int> NotAnswered(const AnsweredSet<N>& answered) {
  std::vector<int> numbers;
  for (std::size_t i = 0; i < N; ++i) {
    if (!answered[i]) numbers.push_back(static_cast<int>(i) + 1);
  }
  return numbers;
}

// The per-slot data kept beside the record.
struct SlotData {
  DeviceRecord Record;
  float Co2Factor = 0.0F;  // kg CO2 per kWh
  HistoryTable History{};
  // Month m's row holds the meter's answer only when MonthsRead[m - 1]: a
  // row never read holds zeros that mean nothing. Cleared when the port
  // opens and when a history read starts.
  AnsweredSet<kMonths> MonthsRead{};
  // 1 once a history read has brought every month.
  std::uint8_t HistoryLoaded = 0;
  // 1 once a history read has ended, whether every month came or not: what
  // came is shown without asking the meter again. Cleared as MonthsRead.
  std::uint8_t HistoryReadEnded = 0;
};

struct TimerEntry {
  std::uint8_t OnHour = 0;
  std::uint8_t OnMinute = 0;
  std::uint8_t OffHour = 0;
  std::uint8_t OffMinute = 0;
  std::uint8_t Mode = 0;  // day-pattern code; the timer page shows entry Mode - 1
};

inline constexpr int kTimerCount = 20;

inline constexpr std::int32_t kLimitReached = 1;
inline constexpr std::int32_t kLimitNotReached = 2;

struct MeterSettings {
  std::array<TimerEntry, kTimerCount> Timers{};  // timer n is Timers[n - 1]
  // Timers whose answer came since the last timer read started.
  AnsweredSet<kTimerCount> TimersRead{};
  std::int32_t TierLimit = 0;
  double Price1 = 0.0;  // tenths of a cent per kWh
  double Price2 = 0.0;
  double EnergyLimit = 0.0;      // kWh
  double CostLimit = 0.0;        // dollars
  bool ShutdownAtLimit = false;  // the meter cuts the load when a limit is reached
  std::int32_t LimitState = kLimitNotReached;
  std::int32_t ShownYear = 0;  // date of the device shown on the real-time page
  std::int32_t ShownMonth = 0;
  std::int32_t ShownDay = 0;  // 0: no real-time answer of the shown device yet
  std::string MeterNumber;
};

// All 18 slots plus the program-wide settings, with access by slot number.
class DeviceTable {
 public:
  DeviceTable();

  SlotData& Slot(int slot) { return slots_.at(SlotIndex(slot)); }
  const SlotData& Slot(int slot) const { return slots_.at(SlotIndex(slot)); }
  MeterSettings& Settings() { return settings_; }
  const MeterSettings& Settings() const { return settings_; }

  // Start-up state: records and settings zero, CO2 factors 0, histories
  // reset, nothing loaded, no limit reached.
  void ResetAll();

  // A port was opened: its history starts again (no month read); clock,
  // readings, energy and CO2 factor keep their values until the next answers.
  void ResetSlotHistory(int slot);

 private:
  std::array<SlotData, kSlotCount> slots_{};
  MeterSettings settings_;
};

// Energy cost in dollars: the whole energy at the tier it falls in.
double CostOf(double energy_kwh, const MeterSettings& settings);

// The limit rule: a meter's energy count reaches the energy limit, or its
// cost reaches the cost limit (at tier 1 when it equals it, above the tier
// boundary only when it exceeds it).
bool LimitReached(double energy_kwh, const MeterSettings& settings);

}  // namespace quorvel
