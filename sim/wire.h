// The meter's side of the serial line: request frames as they arrive and
// answer frames as the meter sends them.
//
//   request: 0x55, code, P1..P8, 0xAA, 0x0D                 (always 12 bytes)
//   answer:  0x55, L, D0..D(L-2), trailer, 0xAA           (L = data bytes + 1)
//
// D0 of an answer is its kind, which is the code of the request it answers
// (or a code derived from it for tariff and timer reads).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quorvel::sim {

inline constexpr std::uint8_t kStartByte = 0x55;
inline constexpr std::uint8_t kEndByte = 0xAA;
inline constexpr std::uint8_t kRequestLastByte = 0x0D;

inline constexpr std::size_t kRequestSize = 12;
inline constexpr std::size_t kParamCount = 8;
using RequestFrame = std::array<std::uint8_t, kRequestSize>;
using RequestView = std::span<const std::uint8_t, kRequestSize>;

// Request codes the meter understands.
namespace request {
inline constexpr std::uint8_t kWriteClock = 0x01;
inline constexpr std::uint8_t kWriteTariff = 0x06;
inline constexpr std::uint8_t kWriteTimer = 0x18;
inline constexpr std::uint8_t kWriteLimits = 0x2C;
inline constexpr std::uint8_t kWriteCo2Factor = 0x47;
inline constexpr std::uint8_t kReadClock = 0x81;
inline constexpr std::uint8_t kReadTariff = 0x86;
inline constexpr std::uint8_t kReadMonthHistory = 0x8B;
inline constexpr std::uint8_t kReadRealTime = 0x97;
inline constexpr std::uint8_t kReadTimer = 0x98;
inline constexpr std::uint8_t kReadLimits = 0xAC;
inline constexpr std::uint8_t kReadCo2Factor = 0xC7;
inline constexpr std::uint8_t kReadMeterNumber = 0xC8;
inline constexpr std::uint8_t kResetTimers = 0xD0;
}  // namespace request

// A frame starts with 0x55 and ends with 0xAA 0x0D; nothing else is checked.
bool IsRequestFrame(RequestView frame);
// Parameter P1..P8 by its number 1..8.
inline std::uint8_t Param(RequestView frame, std::size_t number) { return frame[1 + number]; }

// Value encodings of the answers (pairs, value / 100 and value % 100, are
// kept by the meter as the two bytes they were written as).
//   word: big-endian 16 bits
//   long: big-endian 32 bits
void AppendWord(std::vector<std::uint8_t>& out, std::uint16_t value);
void AppendLong(std::vector<std::uint8_t>& out, std::uint32_t value);

// A power factor in hundredths travels as v for 0..1.28 and as 128 + |v| when
// the load is leading (negative factor), so -0.95 is 223.
std::uint16_t PowerFactorWord(int hundredths);

// The trailer is not examined by the dashboard; the meter sends the low byte
// of the sum of the length and data bytes, which at least makes a captured
// frame easy to check by eye.
std::uint8_t Trailer(std::uint8_t length, std::span<const std::uint8_t> data);

// The whole answer frame for the data bytes D0.. (at most 254 of them).
std::vector<std::uint8_t> AnswerFrame(std::span<const std::uint8_t> data);

}  // namespace quorvel::sim
