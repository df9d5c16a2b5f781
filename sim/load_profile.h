// What is plugged into a simulated meter: a standby supply that never
// sleeps, a fridge whose compressor cycles, and a kettle now and then. The
// schedule of switchings is drawn from the seed as time goes on, so a seed
// gives the same day of load however finely time is advanced.
#pragma once

#include <chrono>
#include <cstdint>

#include "sim/random.h"

namespace quorvel::sim {

// Instantaneous electrical values before the meter rounds them.
struct Measurement {
  double voltage_v = 0.0;
  double current_a = 0.0;
  double power_w = 0.0;
  double power_factor = 0.0;  // negative when the load is leading
};

class LoadProfile {
 public:
  using Micros = std::chrono::microseconds;

  explicit LoadProfile(std::uint64_t seed);

  // Moves the schedule to t (time since the meter was plugged in). Going
  // back is ignored.
  void AdvanceTo(Micros t);
  Micros Now() const { return now_; }
  // When the load changes next; the power is constant until then.
  Micros NextChange() const;

  // Real power drawn now, in watts; what the energy counter integrates.
  double RealPower() const;
  bool FridgeRunning() const { return fridge_on_; }
  bool KettleBoiling() const { return kettle_on_; }

  // What the meter measures now: mains voltage with its slow wander and
  // noise, and current, power and power factor of the combined load.
  Measurement Measure() const;

 private:
  double ReactivePower() const;
  double Voltage() const;
  void ToggleFridge();
  void ToggleKettle();

  std::uint64_t noise_seed_;
  Random fridge_random_;
  Random kettle_random_;
  Micros now_{0};

  double standby_w_;
  double standby_var_;
  double voltage_phase_;

  bool fridge_on_ = false;
  Micros fridge_next_{0};
  double fridge_w_ = 0.0;
  double fridge_var_ = 0.0;

  bool kettle_on_ = false;
  Micros kettle_next_{0};
  double kettle_w_ = 0.0;
};

}  // namespace quorvel::sim
