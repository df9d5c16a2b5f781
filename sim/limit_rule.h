// When the meter's kWh or cost limit is reached. A limit of 0 is no limit.
// The cost of energy E (kWh) is E x Price1 / 1000 dollars while E is within
// the tier limit, and the whole of E at Price2 beyond it.
#pragma once

#include <cstdint>
#include <optional>

namespace quorvel::sim {

struct TariffSettings {
  int tier_limit = 0;  // kWh
  int price1 = 0;      // tenths of a cent per kWh
  int price2 = 0;
};

struct LimitSettings {
  int energy_limit = 0;       // kWh; 0 = none
  int cost_limit = 0;         // dollars; 0 = none
  std::uint8_t shutdown = 0;  // 1 = cut the load when a limit is reached
};

// Energy is in the counter's unit, 0.01 kWh. Integer arithmetic throughout,
// so a limit is reached exactly at its boundary and not a hundredth early or
// late through rounding.
bool LimitReached(std::uint64_t counter, const LimitSettings& limits, const TariffSettings& tariff);

// The smallest counter value at or above `from` where a limit is reached;
// nullopt when none ever is.
std::optional<std::uint64_t> NextLimitCounter(std::uint64_t from, const LimitSettings& limits,
                                              const TariffSettings& tariff);

}  // namespace quorvel::sim
