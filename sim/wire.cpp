#include "sim/wire.h"

#include <algorithm>

namespace quorvel::sim {

bool IsRequestFrame(RequestView frame) {
  return frame[0] == kStartByte && frame[10] == kEndByte && frame[11] == kRequestLastByte;
}

void AppendWord(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8U));
  out.push_back(static_cast<std::uint8_t>(value & 0xFFU));
}

void AppendLong(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (const unsigned shift : {24U, 16U, 8U, 0U}) {
    out.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFFU));
  }
}

std::uint16_t PowerFactorWord(int hundredths) {
  if (hundredths >= 0) return static_cast<std::uint16_t>(std::min(hundredths, 128));
  return static_cast<std::uint16_t>(128 + std::min(-hundredths, 100));
}

std::uint8_t Trailer(std::uint8_t length, std::span<const std::uint8_t> data) {
  unsigned sum = length;
  for (const std::uint8_t b : data) sum += b;
  return static_cast<std::uint8_t>(sum & 0xFFU);
}

std::vector<std::uint8_t> AnswerFrame(std::span<const std::uint8_t> data) {
  const std::size_t count = std::min<std::size_t>(data.size(), 254);
  const auto kept = data.first(count);
  const auto length = static_cast<std::uint8_t>(count + 1);
  std::vector<std::uint8_t> frame;
  frame.reserve(count + 4);
  frame.push_back(kStartByte);
  frame.push_back(length);
  frame.insert(frame.end(), kept.begin(), kept.end());
  frame.push_back(Trailer(length, kept));
  frame.push_back(kEndByte);
  return frame;
}

}  // namespace quorvel::sim
