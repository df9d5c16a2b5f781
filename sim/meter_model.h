// One simulated power meter: its clock, its live readings, its energy
// counter and history, and the settings the dashboard can write and read
// back. No I/O and no hidden clock: time only moves through AdvanceTo, and
// a seed gives the same meter every time.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/energy_history.h"
#include "sim/limit_rule.h"
#include "sim/load_profile.h"
#include "sim/wire.h"

namespace quorvel::sim {

// The host's time, which the model follows; steady so that a host clock
// adjustment never makes the meter's energy jump.
using HostClock = std::chrono::steady_clock;
using HostTime = HostClock::time_point;

inline constexpr std::chrono::local_seconds kDefaultStartClock =
    std::chrono::local_days{std::chrono::year{2024} / 1 / 1};

struct MeterModelOptions {
  std::uint64_t seed = 1;
  // The meter's clock at the host time the model is created. The meter
  // counts years 2000..2099 only.
  std::chrono::local_seconds start_clock = kDefaultStartClock;
  // Printed with eight digits; drawn from the seed when empty.
  std::optional<std::uint32_t> meter_number;
};

struct MeterClock {
  int year = 2000;  // full year
  int month = 1;
  int day = 1;
  int weekday = 0;  // the meter's own week-day register, 0 = Sunday
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Live readings in the units they travel in.
struct Readings {
  std::uint16_t current = 0;  // 0.01 A
  std::uint16_t voltage = 0;  // 0.1 V
  std::uint16_t power = 0;    // 0.1 W
  int power_factor = 0;       // hundredths; negative for a leading load
};

// A load a test pins the meter to instead of the simulated household.
struct ForcedLoad {
  double current_a = 0.0;
  double voltage_v = 230.0;
  double power_factor = 1.0;  // negative for leading
};

// Never-set timers read back as mode 0 with all times 0xFF.
struct TimerSetting {
  std::uint8_t mode = 0;
  std::uint8_t on_hour = 0xFF;
  std::uint8_t on_minute = 0xFF;
  std::uint8_t off_hour = 0xFF;
  std::uint8_t off_minute = 0xFF;
  friend bool operator==(const TimerSetting&, const TimerSetting&) = default;
};

class MeterModel {
 public:
  static constexpr int kTimerCount = 20;
  static constexpr std::uint32_t kDefaultCo2Milli = 785;

  MeterModel(const MeterModelOptions& options, HostTime now);

  // Lets time pass up to `now`: the clock runs, the load follows its
  // profile and the energy counter and today's history grow. Earlier times
  // are ignored.
  void AdvanceTo(HostTime now);

  // The meter's answer frame to a request, or nothing when the meter does
  // not answer it (unknown code, timer number outside 1..20, not a request
  // frame). Writes take effect at the model's current time.
  std::vector<std::uint8_t> Answer(RequestView request);

  MeterClock Clock() const;
  Readings LiveReadings() const;
  std::uint32_t EnergyCounter() const;  // 0.01 kWh
  // A day's counter as the month answer carries it.
  std::uint32_t HistoryCounter(int month, int day) const { return history_.Counter(month, day); }
  const EnergyHistory& History() const { return history_; }
  TariffSettings Tariff() const;
  LimitSettings Limits() const;
  // A limit is reached with shutdown on: the outlet is off.
  bool LoadCut() const;
  TimerSetting Timer(int number) const;  // 1..20
  int Co2FactorMilli() const { return co2_.Value(); }
  std::array<std::uint8_t, 8> MeterNumberDigits() const { return meter_number_; }
  const LoadProfile& Profile() const { return profile_; }

  // Test hooks.
  void ForceLoad(const ForcedLoad& load) { forced_ = load; }
  void ReleaseLoad() { forced_.reset(); }
  void SetEnergyCounter(std::uint32_t counter);
  void SetHistoryDay(int month, int day, DayEntry entry) { history_.SetDay(month, day, entry); }
  // A month whose history request the meter leaves unanswered (a meter
  // whose history memory fails), until set answered again.
  void SetMonthUnanswered(int month, bool unanswered);
  // Another meter behind the same line: answers with this number from now
  // on (printed with eight digits, as every number).
  void SetMeterNumber(std::uint32_t number);

 private:
  using Micros = std::chrono::microseconds;
  using MeterTime = std::chrono::local_time<Micros>;

  // Two register bytes written as a pair and read back as written, even
  // when a byte is above 99.
  struct PairRegister {
    std::uint8_t high = 0;
    std::uint8_t low = 0;
    int Value() const { return high * 100 + low; }
    static PairRegister Of(int value);
  };

  MeterTime MeterTimeAt(Micros elapsed) const;
  double PowerDrawn() const;
  void AddEnergy(double wh, std::chrono::year_month_day day);
  void SetClock(std::chrono::local_seconds time, int weekday_register);

  std::vector<std::uint8_t> AnswerWriteClock(RequestView request);
  std::vector<std::uint8_t> AnswerReadClock() const;
  std::vector<std::uint8_t> AnswerReadTariff(std::uint8_t count) const;
  std::vector<std::uint8_t> AnswerMonthHistory(std::uint8_t month) const;
  std::vector<std::uint8_t> AnswerRealTime() const;
  std::vector<std::uint8_t> AnswerReadTimer(std::uint8_t number) const;
  std::vector<std::uint8_t> AnswerReadLimits() const;
  void AppendClock(std::vector<std::uint8_t>& data) const;

  HostTime origin_;
  Micros elapsed_{0};
  LoadProfile profile_;
  std::optional<ForcedLoad> forced_;

  MeterTime clock_base_;  // the meter's time at elapsed clock_base_at_
  Micros clock_base_at_{0};
  int weekday_offset_ = 0;  // the week-day register minus the real week day

  double energy_wh_ = 0.0;
  EnergyHistory history_;

  PairRegister tier_limit_ = PairRegister::Of(5000);
  PairRegister price1_ = PairRegister::Of(300);
  PairRegister price2_ = PairRegister::Of(400);
  PairRegister energy_limit_;
  PairRegister cost_limit_;
  std::uint8_t shutdown_ = 0;
  PairRegister co2_ = PairRegister::Of(kDefaultCo2Milli);
  std::array<TimerSetting, kTimerCount> timers_{};
  std::array<std::uint8_t, 8> meter_number_{};
  std::array<bool, 13> month_unanswered_{};  // by month 1..12
};

}  // namespace quorvel::sim
