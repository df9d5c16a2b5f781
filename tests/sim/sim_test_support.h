// Shared helpers of the simulator tests: requests as the dashboard sends
// them, fixed times, and a meter model on a fixed clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "sim/meter_model.h"
#include "sim/wire.h"

namespace quorvel::sim::test {

using Bytes = std::vector<std::uint8_t>;

// 0x55, code, P1..P8 (missing ones 0), 0xAA, 0x0D.
inline RequestFrame Request(std::uint8_t code, std::initializer_list<std::uint8_t> params = {}) {
  RequestFrame frame{};
  frame[0] = 0x55;
  frame[1] = code;
  std::size_t i = 2;
  for (const std::uint8_t p : params) frame[i++] = p;
  frame[10] = 0xAA;
  frame[11] = 0x0D;
  return frame;
}

inline Bytes Ask(MeterModel& model, std::uint8_t code, std::initializer_list<std::uint8_t> params = {}) {
  return model.Answer(Request(code, params));
}

// Names parameterised cases after their `name` member.
struct CaseName {
  template <typename Param>
  std::string operator()(const Param& param_info) const {
    return param_info.param.name;
  }
};

// An arbitrary fixed host time for models that never see the real clock.
inline constexpr HostTime kT0 = HostTime{} + std::chrono::hours{100'000};

inline std::chrono::local_seconds At(int y, unsigned m, unsigned d, int h, int mi, int s = 0) {
  using namespace std::chrono;
  return local_days{year{y} / month{m} / day{d}} + hours{h} + minutes{mi} + seconds{s};
}

inline MeterModelOptions Options(std::chrono::local_seconds start, std::uint64_t seed = 7,
                                 std::optional<std::uint32_t> number = 12345678) {
  MeterModelOptions options;
  options.seed = seed;
  options.start_clock = start;
  options.meter_number = number;
  return options;
}

// Sunday 5 July 2009, 14:07:00.
inline constexpr auto kSunday =
    std::chrono::local_days{std::chrono::year{2009} / 7 / 5} + std::chrono::hours{14} + std::chrono::minutes{7};

// 1 kW exactly: 4 A at 250 V with a unity factor.
inline constexpr ForcedLoad kOneKilowatt{4.0, 250.0, 1.0};

// The 32-bit big-endian numbers of a byte run, written out independently
// of the simulator's own encoder.
inline std::uint32_t BigEndianAt(const Bytes& bytes, std::size_t offset) {
  return (std::uint32_t{bytes.at(offset)} << 24U) | (std::uint32_t{bytes.at(offset + 1)} << 16U) |
         (std::uint32_t{bytes.at(offset + 2)} << 8U) | std::uint32_t{bytes.at(offset + 3)};
}

}  // namespace quorvel::sim::test
