#include "sim/meter_model.h"

#include <algorithm>
#include <cmath>

namespace quorvel::sim {

namespace {

using std::chrono::days;
using std::chrono::duration;
using std::chrono::floor;
using std::chrono::local_days;
using std::chrono::year_month_day;

enum Stream : std::uint64_t { kProfile = 10, kHistory, kNumber, kEarlier };

double Hours(std::chrono::microseconds span) { return duration<double, std::ratio<3600>>(span).count(); }

std::uint16_t ToWord(double value) { return static_cast<std::uint16_t>(std::clamp(std::lround(value), 0L, 65535L)); }

int RealWeekday(local_days date) { return static_cast<int>(std::chrono::weekday{date}.c_encoding()); }

}  // namespace

MeterModel::PairRegister MeterModel::PairRegister::Of(int value) {
  const int v = std::clamp(value, 0, 9999);
  return {static_cast<std::uint8_t>(v / 100), static_cast<std::uint8_t>(v % 100)};
}

MeterModel::MeterModel(const MeterModelOptions& options, HostTime now)
    : origin_(now),
      profile_(StreamSeed(options.seed, kProfile)),
      clock_base_(std::chrono::time_point_cast<Micros>(options.start_clock)) {
  const local_days today = floor<days>(options.start_clock);
  const double day_fraction = duration<double, days::period>(options.start_clock - today).count();
  Random history_random(StreamSeed(options.seed, kHistory));
  history_ = GenerateHistory(history_random, year_month_day{today}, day_fraction);

  // The counter also holds what was used before the remembered twelve months.
  Random earlier(StreamSeed(options.seed, kEarlier));
  energy_wh_ = history_.TotalWh() + earlier.Between(100'000.0, 2'000'000.0);

  Random number_random(StreamSeed(options.seed, kNumber));
  SetMeterNumber(
      options.meter_number.value_or(static_cast<std::uint32_t>(number_random.Integer(10'000'000, 99'999'999))));
}

void MeterModel::SetMeterNumber(std::uint32_t number) {
  number %= 100'000'000;
  for (auto digit = meter_number_.rbegin(); digit != meter_number_.rend(); ++digit) {
    *digit = static_cast<std::uint8_t>(number % 10);
    number /= 10;
  }
}

MeterModel::MeterTime MeterModel::MeterTimeAt(Micros elapsed) const { return clock_base_ + (elapsed - clock_base_at_); }

MeterClock MeterModel::Clock() const {
  const MeterTime now = MeterTimeAt(elapsed_);
  const local_days date = floor<days>(now);
  const year_month_day ymd{date};
  const std::chrono::hh_mm_ss time{floor<std::chrono::seconds>(now - date)};
  MeterClock clock;
  clock.year = static_cast<int>(ymd.year());
  clock.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  clock.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  clock.weekday = (RealWeekday(date) + weekday_offset_) % 7;
  clock.hour = static_cast<int>(time.hours().count());
  clock.minute = static_cast<int>(time.minutes().count());
  clock.second = static_cast<int>(time.seconds().count());
  return clock;
}

void MeterModel::SetClock(std::chrono::local_seconds time, int weekday_register) {
  const year_month_day before{floor<days>(MeterTimeAt(elapsed_))};
  clock_base_ = std::chrono::time_point_cast<Micros>(time);
  clock_base_at_ = elapsed_;
  const local_days date = floor<days>(time);
  // The week day is a register of its own that the meter only steps at
  // midnight; it is not worked out from the date.
  weekday_offset_ = ((weekday_register - RealWeekday(date)) % 7 + 7) % 7;
  const year_month_day after{date};
  if (after != before) history_.EnterDay(before, after);
}

TariffSettings MeterModel::Tariff() const { return {tier_limit_.Value(), price1_.Value(), price2_.Value()}; }

LimitSettings MeterModel::Limits() const { return {energy_limit_.Value(), cost_limit_.Value(), shutdown_}; }

bool MeterModel::LoadCut() const { return shutdown_ == 1 && LimitReached(EnergyCounter(), Limits(), Tariff()); }

TimerSetting MeterModel::Timer(int number) const {
  if (number < 1 || number > kTimerCount) return {};
  return timers_[static_cast<std::size_t>(number - 1)];
}

std::uint32_t MeterModel::EnergyCounter() const { return static_cast<std::uint32_t>(std::floor(energy_wh_ / 10.0)); }

void MeterModel::SetEnergyCounter(std::uint32_t counter) { energy_wh_ = counter * 10.0; }

double MeterModel::PowerDrawn() const {
  if (LoadCut()) return 0.0;
  if (forced_) return forced_->voltage_v * forced_->current_a * std::fabs(forced_->power_factor);
  return profile_.RealPower();
}

void MeterModel::AddEnergy(double wh, year_month_day day) {
  energy_wh_ += wh;
  history_.AddEnergy(static_cast<int>(static_cast<unsigned>(day.month())),
                     static_cast<int>(static_cast<unsigned>(day.day())), wh);
}

void MeterModel::AdvanceTo(HostTime now) {
  const auto target = std::chrono::duration_cast<Micros>(now - origin_);
  while (elapsed_ < target) {
    profile_.AdvanceTo(elapsed_);
    const MeterTime meter_now = MeterTimeAt(elapsed_);
    const local_days today = floor<days>(meter_now);
    const Micros midnight = clock_base_at_ + (today + days{1} - clock_base_);
    Micros end = std::min({target, midnight, forced_ ? target : profile_.NextChange()});

    const double watts = PowerDrawn();
    const year_month_day date{today};
    std::optional<std::uint64_t> trip;
    if (watts > 0.0 && shutdown_ == 1) trip = NextLimitCounter(EnergyCounter(), Limits(), Tariff());
    const double trip_wh = trip ? static_cast<double>(*trip) * 10.0 : 0.0;
    if (trip && energy_wh_ + watts * Hours(end - elapsed_) >= trip_wh) {
      // The outlet opens the moment the limit is reached, not at the end of
      // the step, so the counter stops exactly on the limit; rounding must
      // not leave it a hair short either.
      const duration<double, std::ratio<3600>> to_limit{(trip_wh - energy_wh_) / watts};
      end = std::min(end, elapsed_ + std::max(Micros{1}, std::chrono::ceil<Micros>(to_limit)));
      AddEnergy(std::max(watts * Hours(end - elapsed_), trip_wh - energy_wh_), date);
    } else {
      AddEnergy(watts * Hours(end - elapsed_), date);
    }
    elapsed_ = end;

    const year_month_day next{floor<days>(MeterTimeAt(elapsed_))};
    if (next != date) history_.EnterDay(date, next);
  }
  profile_.AdvanceTo(elapsed_);
}

Readings MeterModel::LiveReadings() const {
  Measurement m;
  if (forced_) {
    m.voltage_v = forced_->voltage_v;
    m.current_a = forced_->current_a;
    m.power_factor = forced_->power_factor;
    m.power_w = m.voltage_v * m.current_a * std::fabs(m.power_factor);
  } else {
    m = profile_.Measure();
  }
  if (LoadCut()) {
    // The outlet is open: mains is still measured, nothing flows.
    m.current_a = 0.0;
    m.power_w = 0.0;
    m.power_factor = 0.0;
  }
  Readings r;
  r.current = ToWord(m.current_a * 100.0);
  r.voltage = ToWord(m.voltage_v * 10.0);
  r.power = ToWord(m.power_w * 10.0);
  r.power_factor = static_cast<int>(std::clamp(std::lround(m.power_factor * 100.0), -100L, 128L));
  return r;
}

}  // namespace quorvel::sim
