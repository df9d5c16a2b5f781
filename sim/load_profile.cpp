#include "sim/load_profile.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvel::sim {

namespace {

using Micros = LoadProfile::Micros;

Micros Seconds(double s) { return Micros{static_cast<std::int64_t>(s * 1e6)}; }

// Reactive power of a load with the given real power and power factor;
// negative for a leading (capacitive) load.
double ReactiveOf(double watts, double power_factor, bool leading) {
  const double q = watts * std::sqrt(1.0 - power_factor * power_factor) / power_factor;
  return leading ? -q : q;
}

// Streams of the seed, one per purpose.
enum Stream : std::uint64_t { kSetup = 1, kFridge, kKettle, kNoise };

// Compressor runs of a few minutes, rests several times as long.
constexpr double kFridgeOnMin = 4 * 60.0;
constexpr double kFridgeOnMax = 9 * 60.0;
constexpr double kFridgeOffMin = 12 * 60.0;
constexpr double kFridgeOffMax = 30 * 60.0;
// A kettle every two and a half hours on average, two to three minutes each.
constexpr double kKettleMeanGap = 150 * 60.0;
constexpr double kKettleBoilMin = 120.0;
constexpr double kKettleBoilMax = 180.0;

}  // namespace

LoadProfile::LoadProfile(std::uint64_t seed)
    : noise_seed_(StreamSeed(seed, kNoise)),
      fridge_random_(StreamSeed(seed, kFridge)),
      kettle_random_(StreamSeed(seed, kKettle)) {
  Random setup(StreamSeed(seed, kSetup));
  standby_w_ = setup.Between(2.0, 6.0);
  // Some standby supplies have a capacitive input, so an idle meter now and
  // then shows a leading (negative) power factor.
  const bool leading = setup.Chance(0.25);
  standby_var_ = ReactiveOf(standby_w_, setup.Between(0.45, 0.55), leading);
  voltage_phase_ = setup.Between(0.0, 2.0 * std::numbers::pi);

  // Plugged in at a random point of the fridge's cycle: the toggle draws
  // the state's power, and the time left in it is drawn afresh.
  fridge_on_ = !fridge_random_.Chance(0.35);
  ToggleFridge();
  fridge_next_ = Seconds(fridge_random_.Between(0.0, fridge_on_ ? kFridgeOnMax : kFridgeOffMax));
  kettle_next_ = Seconds(kettle_random_.Exponential(kKettleMeanGap));
}

void LoadProfile::ToggleFridge() {
  fridge_on_ = !fridge_on_;
  if (fridge_on_) {
    fridge_w_ = fridge_random_.Between(100.0, 150.0);
    fridge_var_ = ReactiveOf(fridge_w_, fridge_random_.Between(0.78, 0.84), false);
    fridge_next_ += Seconds(fridge_random_.Between(kFridgeOnMin, kFridgeOnMax));
  } else {
    fridge_w_ = 0.0;
    fridge_var_ = 0.0;
    fridge_next_ += Seconds(fridge_random_.Between(kFridgeOffMin, kFridgeOffMax));
  }
}

void LoadProfile::ToggleKettle() {
  kettle_on_ = !kettle_on_;
  if (kettle_on_) {
    kettle_w_ = kettle_random_.Between(1850.0, 2200.0);
    kettle_next_ += Seconds(kettle_random_.Between(kKettleBoilMin, kKettleBoilMax));
  } else {
    kettle_w_ = 0.0;
    kettle_next_ += Seconds(kettle_random_.Exponential(kKettleMeanGap));
  }
}

void LoadProfile::AdvanceTo(Micros t) {
  if (t <= now_) return;
  // Switchings are taken in time order, each from its own stream, so the
  // outcome does not depend on how the advance is cut into steps.
  while (std::min(fridge_next_, kettle_next_) <= t) {
    if (fridge_next_ <= kettle_next_) {
      ToggleFridge();
    } else {
      ToggleKettle();
    }
  }
  now_ = t;
}

LoadProfile::Micros LoadProfile::NextChange() const { return std::min(fridge_next_, kettle_next_); }

double LoadProfile::RealPower() const { return standby_w_ + fridge_w_ + kettle_w_; }

double LoadProfile::ReactivePower() const { return standby_var_ + fridge_var_; }

double LoadProfile::Voltage() const {
  const double t = std::chrono::duration<double>(now_).count();
  const auto second = static_cast<std::uint64_t>(now_.count() / 1'000'000);
  const double noise = UnitFromBits(MixBits(noise_seed_ ^ second)) - 0.5;
  constexpr double kTwoPi = 2.0 * std::numbers::pi;
  double volts =
      230.0 + 2.5 * std::sin(kTwoPi * t / 1300.0 + voltage_phase_) + 1.0 * std::sin(kTwoPi * t / 86400.0) + 1.6 * noise;
  // A kettle pulls the local supply down a little.
  if (kettle_on_) volts -= 1.5;
  return std::clamp(volts, 225.0, 235.0);
}

Measurement LoadProfile::Measure() const {
  Measurement m;
  m.voltage_v = Voltage();
  // Motors and heaters never draw perfectly steady power.
  const auto second = static_cast<std::uint64_t>(now_.count() / 1'000'000);
  const double jitter = 1.0 + 0.016 * (UnitFromBits(MixBits(~noise_seed_ ^ second)) - 0.5);
  m.power_w = RealPower() * jitter;
  const double reactive = ReactivePower() * jitter;
  const double apparent = std::hypot(m.power_w, reactive);
  m.current_a = apparent / m.voltage_v;
  m.power_factor = apparent > 0.0 ? m.power_w / apparent : 1.0;
  if (reactive < 0.0) m.power_factor = -m.power_factor;
  return m;
}

}  // namespace quorvel::sim
