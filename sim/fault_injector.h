// Damage on the line between meter and dashboard, decided per answer from a
// seed: the same seed and the same answers give the same faults. At most one
// fault hits an answer, so the log tells unambiguously what each answer went
// through; each fault kind hits with its own rate (when the rates add up to
// more than 1 they are scaled down in proportion).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <set>
#include <string_view>
#include <vector>

#include "sim/random.h"

namespace quorvel::sim {

enum class Fault : std::uint8_t {
  kNone,
  kNoise,      // random bytes go out just before the answer
  kWrongEnd,   // the answer's end byte is not 0xAA
  kTruncated,  // only the first part of the answer goes out
  kLost,       // nothing goes out
  kDelayed,    // the answer goes out late
};
inline constexpr std::size_t kFaultKinds = 6;

std::string_view FaultName(Fault fault);
// The answer's own bytes reach the line whole and unchanged, perhaps late or
// after noise.
bool AnswerBytesIntact(Fault fault);

// Probabilities per answer, each 0..1.
struct FaultRates {
  double noise = 0.0;
  double wrong_end = 0.0;
  double truncate = 0.0;
  double lose = 0.0;
  double delay = 0.0;
};

struct FaultOptions {
  FaultRates rates;
  // Noise normally leaves out 0x55, which would start a false frame and
  // swallow the real answer. Allowing it tests the dashboard's resync.
  bool noise_may_contain_start = false;
  std::size_t noise_min_bytes = 1;
  std::size_t noise_max_bytes = 12;
  std::chrono::milliseconds delay_min{200};
  std::chrono::milliseconds delay_max{1500};
  // The oldest log entries are dropped beyond this many.
  std::size_t log_limit = 100'000;
  // The first answer of each of these kinds (D0) is lost whatever the
  // rates: a line that fails just when that answer is on its way.
  std::set<std::uint8_t> lose_first;
};

// What goes on the line for one answer.
struct Transmission {
  std::vector<std::uint8_t> bytes;  // empty when the answer is lost
  std::chrono::milliseconds delay{0};
  Fault fault = Fault::kNone;
};

struct AnswerLogEntry {
  std::uint64_t sequence = 0;  // 0 for the meter's first answer
  std::uint8_t kind = 0;       // D0 of the answer
  Fault fault = Fault::kNone;
};

struct FaultStats {
  std::uint64_t answers = 0;
  std::uint64_t intact = 0;  // sent whole, unchanged and on time, without noise
  std::uint64_t by_fault[kFaultKinds] = {};
  std::uint64_t Count(Fault fault) const { return by_fault[static_cast<std::size_t>(fault)]; }
};

class FaultInjector {
 public:
  FaultInjector(const FaultOptions& options, std::uint64_t seed);

  Transmission Apply(std::vector<std::uint8_t> answer);

  const FaultOptions& Options() const { return options_; }
  const FaultStats& Stats() const { return stats_; }
  const std::deque<AnswerLogEntry>& Log() const { return log_; }

 private:
  Fault Choose();
  std::uint8_t NoiseByte();

  FaultOptions options_;
  Random random_;
  FaultStats stats_;
  std::deque<AnswerLogEntry> log_;
  std::uint64_t sequence_ = 0;
  std::set<std::uint8_t> lost_first_;  // kinds of `lose_first` already lost
};

}  // namespace quorvel::sim
