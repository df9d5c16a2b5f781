// Seeded pseudo-random numbers. The engines of <random> give the same bits
// on every standard library but its distributions do not, so the simulator
// turns raw engine output into numbers itself: a seed then gives the same
// meter everywhere.
#pragma once

#include <cstdint>
#include <random>

namespace quorvel::sim {

// The splitmix64 finaliser: spreads nearby seeds (1, 2, 3 ...) far apart.
constexpr std::uint64_t MixBits(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30U)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27U)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31U);
}

// An independent stream for one purpose (the fridge, the kettle, the
// faults ...), so that drawing more numbers for one purpose never shifts
// the numbers another purpose sees.
constexpr std::uint64_t StreamSeed(std::uint64_t seed, std::uint64_t stream) { return MixBits(seed ^ MixBits(stream)); }

// A uniform number in [0, 1) from 64 random bits.
constexpr double UnitFromBits(std::uint64_t bits) { return static_cast<double>(bits >> 11U) * 0x1.0p-53; }

class Random {
 public:
  explicit Random(std::uint64_t seed) : engine_(MixBits(seed)) {}

  std::uint64_t Bits() { return engine_(); }
  double Unit() { return UnitFromBits(engine_()); }
  double Between(double low, double high) { return low + (high - low) * Unit(); }
  // An integer in [low, high]; the modulo bias is far below anything a
  // simulated meter could show.
  std::int64_t Integer(std::int64_t low, std::int64_t high);
  bool Chance(double probability) { return Unit() < probability; }
  // Waiting time of a Poisson process with the given mean.
  double Exponential(double mean);

 private:
  std::mt19937_64 engine_;
};

}  // namespace quorvel::sim
