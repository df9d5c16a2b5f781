#include "sim/fault_injector.h"

#include <algorithm>
#include <array>
#include <utility>

#include "sim/wire.h"

namespace quorvel::sim {

std::string_view FaultName(Fault fault) {
  switch (fault) {
    case Fault::kNone:
      return "none";
    case Fault::kNoise:
      return "noise";
    case Fault::kWrongEnd:
      return "wrong-end";
    case Fault::kTruncated:
      return "truncated";
    case Fault::kLost:
      return "lost";
    case Fault::kDelayed:
      return "delayed";
  }
  return "?";
}

bool AnswerBytesIntact(Fault fault) {
  return fault == Fault::kNone || fault == Fault::kNoise || fault == Fault::kDelayed;
}

FaultInjector::FaultInjector(const FaultOptions& options, std::uint64_t seed) : options_(options), random_(seed) {}

Fault FaultInjector::Choose() {
  const auto& r = options_.rates;
  const std::array<std::pair<Fault, double>, 5> rates{{{Fault::kLost, r.lose},
                                                       {Fault::kTruncated, r.truncate},
                                                       {Fault::kWrongEnd, r.wrong_end},
                                                       {Fault::kNoise, r.noise},
                                                       {Fault::kDelayed, r.delay}}};
  double total = 0.0;
  for (const auto& [fault, rate] : rates) total += std::clamp(rate, 0.0, 1.0);
  // One draw per answer whatever the rates, so changing one rate does not
  // reshuffle which answers the other faults hit.
  const double u = random_.Unit() * std::max(total, 1.0);
  double edge = 0.0;
  for (const auto& [fault, rate] : rates) {
    edge += std::clamp(rate, 0.0, 1.0);
    if (u < edge) return fault;
  }
  return Fault::kNone;
}

std::uint8_t FaultInjector::NoiseByte() {
  for (;;) {
    const auto b = static_cast<std::uint8_t>(random_.Bits() & 0xFFU);
    if (b != kStartByte || options_.noise_may_contain_start) return b;
  }
}

Transmission FaultInjector::Apply(std::vector<std::uint8_t> answer) {
  Transmission out;
  if (answer.empty()) return out;  // nothing was answered, nothing to damage
  const std::uint8_t kind = answer.size() > 2 ? answer[2] : 0;
  const bool forced = options_.lose_first.count(kind) != 0 && lost_first_.insert(kind).second;
  out.fault = forced ? Fault::kLost : Choose();
  switch (out.fault) {
    case Fault::kNone:
      break;
    case Fault::kNoise: {
      const auto count = static_cast<std::size_t>(
          random_.Integer(static_cast<std::int64_t>(options_.noise_min_bytes),
                          static_cast<std::int64_t>(std::max(options_.noise_min_bytes, options_.noise_max_bytes))));
      for (std::size_t i = 0; i < count; ++i) out.bytes.push_back(NoiseByte());
      break;
    }
    case Fault::kWrongEnd: {
      // Any byte but 0xAA.
      answer.back() = static_cast<std::uint8_t>(kEndByte + 1 + random_.Integer(0, 254));
      break;
    }
    case Fault::kTruncated:
      answer.resize(static_cast<std::size_t>(random_.Integer(1, static_cast<std::int64_t>(answer.size()) - 1)));
      break;
    case Fault::kLost:
      answer.clear();
      break;
    case Fault::kDelayed:
      out.delay = std::chrono::milliseconds{
          random_.Integer(options_.delay_min.count(), std::max(options_.delay_min, options_.delay_max).count())};
      break;
  }
  out.bytes.insert(out.bytes.end(), answer.begin(), answer.end());

  ++stats_.answers;
  ++stats_.by_fault[static_cast<std::size_t>(out.fault)];
  if (out.fault == Fault::kNone) ++stats_.intact;
  log_.push_back({sequence_++, kind, out.fault});
  while (log_.size() > options_.log_limit) log_.pop_front();
  return out;
}

}  // namespace quorvel::sim
