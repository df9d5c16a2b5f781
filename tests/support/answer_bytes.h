// The data of meter answers as the receive slots hand them to the decoder
// (kind byte first), written out by hand for tests of the decoder and the
// presenter.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "protocol/receive_slot.h"

namespace quorvel::testing {

using Data = std::array<std::uint8_t, kReceiveDataSize>;

inline Data Bytes(std::initializer_list<int> values) {
  Data d{};
  std::size_t i = 0;
  for (const int v : values) d.at(i++) = static_cast<std::uint8_t>(v);
  return d;
}

struct RealTime {
  int year = 9, month = 6, day = 23, weekday = 3, hour = 9, minute = 30;
  int current = 500;   // 0.01 A
  int voltage = 2300;  // 0.1 V
  int power = 11500;   // 0.1 W
  int factor = 100;
  std::uint32_t energy = 100000;  // 0.01 kWh
};

inline Data RealTimeAnswer(const RealTime& r) {
  auto hi = [](int v) { return (v >> 8) & 0xFF; };
  auto lo = [](int v) { return v & 0xFF; };
  Data d = Bytes({0x97, r.year, r.month, r.day, r.weekday, r.hour, r.minute, hi(r.current), lo(r.current),
                  hi(r.voltage), lo(r.voltage), hi(r.power), lo(r.power), hi(r.factor), lo(r.factor)});
  for (std::size_t i = 0; i < 4; ++i) d[15 + i] = static_cast<std::uint8_t>(r.energy >> (24 - 8 * i));
  return d;
}

inline Data MonthAnswer(int month, const std::vector<std::uint32_t>& counters) {
  Data d = Bytes({0x8B, month});
  for (std::size_t j = 0; j < counters.size(); ++j) {
    for (std::size_t i = 0; i < 4; ++i) d[2 + 4 * j + i] = static_cast<std::uint8_t>(counters[j] >> (24 - 8 * i));
  }
  return d;
}

}  // namespace quorvel::testing
