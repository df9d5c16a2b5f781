// The simulated household load, the energy counter, and the limits that cut
// the load.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "sim/limit_rule.h"
#include "sim/meter_model.h"
#include "tests/sim/sim_test_support.h"

namespace quorvel::sim::test {
namespace {

using std::chrono::hours;
using std::chrono::minutes;
using std::chrono::seconds;

// Two simulated days, looked at every ten seconds.
struct DayStats {
  int samples = 0;
  int standby_only = 0;
  int fridge = 0;  // samples with the compressor running and no kettle
  int kettle = 0;
  int leading = 0;
  int kettle_runs = 0;
  std::uint16_t max_current = 0;
  std::uint16_t min_voltage = 0xFFFF;
  std::uint16_t max_voltage = 0;
  double worst_power_error = 0.0;  // |P - V I |pf|| / P for loads above 50 W
};

DayStats Observe(std::uint64_t seed) {
  MeterModel model(Options(At(2012, 6, 1, 0, 0), seed), kT0);
  DayStats s;
  bool kettle_before = false;
  for (int t = 0; t < 2 * 86400; t += 10) {
    model.AdvanceTo(kT0 + seconds{t});
    const Readings r = model.LiveReadings();
    const bool kettle = model.Profile().KettleBoiling();
    const bool fridge = model.Profile().FridgeRunning();
    ++s.samples;
    if (kettle) ++s.kettle;
    if (kettle && !kettle_before) ++s.kettle_runs;
    kettle_before = kettle;
    if (fridge && !kettle) ++s.fridge;
    if (!fridge && !kettle) ++s.standby_only;
    if (r.power_factor < 0) ++s.leading;
    s.max_current = std::max(s.max_current, r.current);
    s.min_voltage = std::min(s.min_voltage, r.voltage);
    s.max_voltage = std::max(s.max_voltage, r.voltage);

    const double watts = r.power / 10.0;
    if (watts > 50.0) {
      const double vip = r.voltage / 10.0 * r.current / 100.0 * std::abs(r.power_factor) / 100.0;
      s.worst_power_error = std::max(s.worst_power_error, std::abs(watts - vip) / watts);
    }
    // What each kind of load looks like.
    if (kettle) {
      EXPECT_GE(watts, 1800.0);
      EXPECT_GE(std::abs(r.power_factor), 95);  // the sign follows a capacitive standby
    } else if (fridge) {
      EXPECT_GT(watts, 95.0);
      EXPECT_LT(watts, 165.0);
      EXPECT_GE(r.power_factor, 70);
      EXPECT_LE(r.power_factor, 90);
    } else {
      EXPECT_GE(watts, 1.5);
      EXPECT_LE(watts, 7.0);
      EXPECT_GE(std::abs(r.power_factor), 40);
      EXPECT_LE(std::abs(r.power_factor), 60);
    }
  }
  return s;
}

TEST(LoadProfile, LooksLikeAHousehold) {
  int leading_meters = 0;
  for (std::uint64_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    const DayStats s = Observe(seed);
    EXPECT_LT(s.max_current, 1500);  // never the dashboard's 15 A alarm
    EXPECT_GE(s.min_voltage, 2250);
    EXPECT_LE(s.max_voltage, 2350);
    EXPECT_GT(s.max_voltage - s.min_voltage, 30);  // the voltage does move
    // The compressor runs a fifth to a half of the time ...
    EXPECT_GT(s.fridge, s.samples / 8);
    EXPECT_LT(s.fridge, s.samples / 2);
    // ... the kettle boils now and then, for two to three minutes.
    EXPECT_GE(s.kettle_runs, 5);
    EXPECT_LE(s.kettle_runs, 60);
    EXPECT_GE(s.kettle, (s.kettle_runs - 1) * 11);  // the last may be cut off
    EXPECT_LE(s.kettle, s.kettle_runs * 19);
    EXPECT_LT(s.worst_power_error, 0.03);
    if (s.leading > 0) ++leading_meters;
  }
  // Some meters, not all, show a leading factor when idle.
  EXPECT_GT(leading_meters, 0);
  EXPECT_LT(leading_meters, 12);
}

TEST(LoadProfile, DoesNotDependOnHowTimeIsStepped) {
  MeterModel fine(Options(kSunday, 3), kT0);
  MeterModel coarse(Options(kSunday, 3), kT0);
  for (int t = 1; t <= 6 * 3600; ++t) {
    fine.AdvanceTo(kT0 + seconds{t});
    if (t % 421 == 0 || t == 6 * 3600) {
      coarse.AdvanceTo(kT0 + seconds{t});
      const Readings a = fine.LiveReadings();
      const Readings b = coarse.LiveReadings();
      ASSERT_EQ(a.current, b.current) << t;
      ASSERT_EQ(a.voltage, b.voltage) << t;
      ASSERT_EQ(a.power, b.power) << t;
      ASSERT_EQ(a.power_factor, b.power_factor) << t;
      // Summing many small steps may round a hundredth differently.
      ASSERT_LE(std::abs(static_cast<long>(fine.EnergyCounter()) - static_cast<long>(coarse.EnergyCounter())), 1L);
    }
  }
}

TEST(LoadProfile, OtherSeedsGiveOtherMeters) {
  MeterModel a(Options(kSunday, 3), kT0);
  MeterModel b(Options(kSunday, 4), kT0);
  int same = 0;
  for (int t = 60; t <= 3600; t += 60) {
    a.AdvanceTo(kT0 + seconds{t});
    b.AdvanceTo(kT0 + seconds{t});
    if (a.LiveReadings().power == b.LiveReadings().power) ++same;
  }
  EXPECT_LT(same, 5);
  EXPECT_NE(a.EnergyCounter(), b.EnergyCounter());
}

TEST(EnergyCounter, IntegratesThePowerDrawn) {
  MeterModel model(Options(kSunday), kT0);
  // Sample the real power every second and integrate it ourselves.
  const std::uint32_t start = model.EnergyCounter();
  double wh = 0.0;
  for (int t = 1; t <= 4 * 3600; ++t) {
    wh += model.LiveReadings().power / 10.0 / 3600.0;
    model.AdvanceTo(kT0 + seconds{t});
  }
  const double counted_wh = (model.EnergyCounter() - start) * 10.0;
  EXPECT_NEAR(counted_wh, wh, 0.02 * wh + 10.0);
}

TEST(EnergyCounter, CountsAForcedLoadExactly) {
  MeterModel model(Options(kSunday), kT0);
  model.SetEnergyCounter(100000);
  model.ForceLoad(kOneKilowatt);
  model.AdvanceTo(kT0 + minutes{90});
  EXPECT_EQ(model.EnergyCounter(), 100150U);
  const Readings r = model.LiveReadings();
  EXPECT_EQ(r.current, 400);
  EXPECT_EQ(r.voltage, 2500);
  EXPECT_EQ(r.power, 10000);
  EXPECT_EQ(r.power_factor, 100);
  model.ReleaseLoad();
  model.AdvanceTo(kT0 + minutes{91});
  EXPECT_LT(model.LiveReadings().current, 1500);
}

TEST(EnergyCounter, TimeGoingBackIsIgnored) {
  MeterModel model(Options(kSunday), kT0);
  model.ForceLoad(kOneKilowatt);
  model.AdvanceTo(kT0 + hours{1});
  const std::uint32_t energy = model.EnergyCounter();
  const int minute = model.Clock().minute;
  model.AdvanceTo(kT0);
  EXPECT_EQ(model.EnergyCounter(), energy);
  EXPECT_EQ(model.Clock().minute, minute);
}

struct LimitCase {
  const char* name;
  std::uint64_t counter;  // 0.01 kWh
  LimitSettings limits;
  TariffSettings tariff;
  bool reached;
};

void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.name; }

class Limits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(Limits, AreReachedAtTheirBoundary) {
  const LimitCase& c = GetParam();
  EXPECT_EQ(LimitReached(c.counter, c.limits, c.tariff), c.reached);
  // The first counter that reaches a limit agrees with the rule itself.
  const auto next = NextLimitCounter(c.counter, c.limits, c.tariff);
  EXPECT_EQ(next.has_value() && *next == c.counter, c.reached);
  if (next) {
    EXPECT_TRUE(LimitReached(*next, c.limits, c.tariff));
    if (*next > c.counter) {
      EXPECT_FALSE(LimitReached(*next - 1, c.limits, c.tariff));
    }
  }
}

constexpr TariffSettings kTariff{5000, 300, 400};

INSTANTIATE_TEST_SUITE_P(Boundaries, Limits,
                         ::testing::Values(LimitCase{"no_limits", 99'999'999, {0, 0, 1}, kTariff, false},
                                           LimitCase{"energy_just_below", 29'999, {300, 0, 1}, kTariff, false},
                                           LimitCase{"energy_equal", 30'000, {300, 0, 1}, kTariff, true},
                                           // 100 kWh at 30.0 cents cost $30.00 exactly.
                                           LimitCase{"cost_just_below", 9'999, {0, 30, 1}, kTariff, false},
                                           LimitCase{"cost_equal_first_tier", 10'000, {0, 30, 1}, kTariff, true},
                                           // Beyond 10 kWh the whole energy is priced at 40.0 cents.
                                           LimitCase{"cost_tier_two", 1'001, {0, 4, 1}, {10, 300, 400}, true},
                                           LimitCase{"cost_tier_one_edge", 1'000, {0, 4, 1}, {10, 300, 400}, false},
                                           // At the tier limit itself the first price still applies.
                                           LimitCase{"cost_at_tier_limit", 1'000, {0, 3, 1}, {10, 300, 400}, true},
                                           // A cheaper second tier: over the boundary the cost drops back
                                           // below the limit.
                                           LimitCase{"cheaper_second_tier", 1'001, {0, 3, 1}, {10, 300, 200}, false},
                                           LimitCase{"free_energy", 99'999'999, {0, 1, 1}, {10, 0, 0}, false}),
                         CaseName{});

TEST(Shutdown, CutsTheLoadExactlyAtTheEnergyLimit) {
  MeterModel model(Options(kSunday), kT0);
  model.SetEnergyCounter(100000);  // 1000 kWh
  model.ForceLoad(kOneKilowatt);
  Ask(model, 0x2C, {10, 1, 0, 0, 1});  // 1001 kWh, shut down
  model.AdvanceTo(kT0 + minutes{30});
  EXPECT_FALSE(model.LoadCut());
  EXPECT_EQ(model.EnergyCounter(), 100050U);
  model.AdvanceTo(kT0 + hours{3});
  EXPECT_TRUE(model.LoadCut());
  EXPECT_EQ(model.EnergyCounter(), 100100U);  // not a watt-hour more

  const Bytes answer = Ask(model, 0x97);
  ASSERT_EQ(answer.size(), 23U);
  EXPECT_EQ(answer[9], 0);  // current
  EXPECT_EQ(answer[10], 0);
  EXPECT_EQ(answer[11], 0x09);  // the mains voltage is still there: 250.0 V
  EXPECT_EQ(answer[12], 0xC4);
  EXPECT_EQ(answer[13], 0);  // power
  EXPECT_EQ(answer[14], 0);

  // New limits switch the load back on.
  Ask(model, 0x2C, {0, 0, 0, 0, 1});
  EXPECT_FALSE(model.LoadCut());
  model.AdvanceTo(kT0 + hours{4});
  EXPECT_EQ(model.EnergyCounter(), 100200U);
}

TEST(Shutdown, CutsTheLoadAtTheCostLimit) {
  MeterModel model(Options(kSunday), kT0);
  model.SetEnergyCounter(100000);  // 1000 kWh at 30.0 cents: $300
  model.ForceLoad(kOneKilowatt);
  Ask(model, 0x2C, {0, 0, 3, 1, 1});  // $301: reached at 1003.34 kWh
  model.AdvanceTo(kT0 + hours{8});
  EXPECT_TRUE(model.LoadCut());
  EXPECT_EQ(model.EnergyCounter(), 100334U);
}

TEST(Shutdown, WithoutTheFlagTheLoadRunsOn) {
  MeterModel model(Options(kSunday), kT0);
  model.SetEnergyCounter(100000);
  model.ForceLoad(kOneKilowatt);
  Ask(model, 0x2C, {10, 0, 0, 0, 0});  // 1000 kWh: already reached
  model.AdvanceTo(kT0 + hours{1});
  EXPECT_FALSE(model.LoadCut());
  EXPECT_EQ(model.EnergyCounter(), 100100U);
  EXPECT_EQ(model.LiveReadings().current, 400);
}

TEST(Shutdown, AReachedLimitCutsAtOnceWhenTheFlagIsSet) {
  MeterModel model(Options(kSunday), kT0);
  model.SetEnergyCounter(100000);
  model.ForceLoad(kOneKilowatt);
  Ask(model, 0x2C, {10, 0, 0, 0, 1});
  EXPECT_TRUE(model.LoadCut());
  EXPECT_EQ(model.LiveReadings().current, 0);
  model.AdvanceTo(kT0 + hours{1});
  EXPECT_EQ(model.EnergyCounter(), 100000U);
}

}  // namespace
}  // namespace quorvel::sim::test
