#include "sim/limit_rule.h"

#include <algorithm>

namespace quorvel::sim {

namespace {

// cost >= limit  <=>  counter/100 * price/1000 >= limit  <=>  counter * price >= limit * 100000
constexpr std::uint64_t kCostScale = 100'000;

std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

std::uint64_t U(int value) { return static_cast<std::uint64_t>(std::max(value, 0)); }

}  // namespace

bool LimitReached(std::uint64_t counter, const LimitSettings& limits, const TariffSettings& tariff) {
  if (limits.energy_limit > 0 && counter >= U(limits.energy_limit) * 100) return true;
  if (limits.cost_limit <= 0) return false;
  const bool first_tier = counter <= U(tariff.tier_limit) * 100;
  const std::uint64_t price = U(first_tier ? tariff.price1 : tariff.price2);
  return counter * price >= U(limits.cost_limit) * kCostScale;
}

std::optional<std::uint64_t> NextLimitCounter(std::uint64_t from, const LimitSettings& limits,
                                              const TariffSettings& tariff) {
  std::optional<std::uint64_t> best;
  const auto consider = [&best](std::uint64_t candidate) {
    if (!best || candidate < *best) best = candidate;
  };
  if (limits.energy_limit > 0) consider(std::max(from, U(limits.energy_limit) * 100));
  if (limits.cost_limit > 0) {
    const std::uint64_t scaled = U(limits.cost_limit) * kCostScale;
    const std::uint64_t tier_end = U(tariff.tier_limit) * 100;
    // Within the first tier ...
    if (tariff.price1 > 0 && from <= tier_end) {
      const std::uint64_t at = std::max(from, CeilDiv(scaled, U(tariff.price1)));
      if (at <= tier_end) consider(at);
    }
    // ... or beyond it, where the dearer (or cheaper) second price applies.
    if (tariff.price2 > 0) {
      consider(std::max({from, tier_end + 1, CeilDiv(scaled, U(tariff.price2))}));
    }
  }
  return best;
}

}  // namespace quorvel::sim
