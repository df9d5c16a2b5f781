#include "sim/random.h"

#include <cmath>

namespace quorvel::sim {

std::int64_t Random::Integer(std::int64_t low, std::int64_t high) {
  if (high <= low) return low;
  const auto span = static_cast<std::uint64_t>(high - low) + 1U;
  return low + static_cast<std::int64_t>(engine_() % span);
}

double Random::Exponential(double mean) { return -mean * std::log1p(-Unit()); }

}  // namespace quorvel::sim
