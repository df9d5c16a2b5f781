// Little-endian byte building and reading: every number in the compound file
// and in BIFF8 records is stored least significant byte first.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quorvel::xls {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

inline void PutU8(Bytes& out, std::uint8_t v) { out.push_back(v); }

inline void PutU16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFFu));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void PutU32(Bytes& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFFu));
  }
}

inline void PutU64(Bytes& out, std::uint64_t v) {
  for (int shift = 0; shift < 64; shift += 8) {
    out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFFu));
  }
}

inline void PutF64(Bytes& out, double v) { PutU64(out, std::bit_cast<std::uint64_t>(v)); }

inline void PutZeros(Bytes& out, std::size_t n) { out.insert(out.end(), n, std::uint8_t{0}); }

inline void SetU32(Bytes& out, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) {
    out[at + i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFFu);
  }
}

inline std::uint16_t GetU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

inline std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t GetU64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(GetU32(p)) | (static_cast<std::uint64_t>(GetU32(p + 4)) << 32);
}

inline double GetF64(const std::uint8_t* p) { return std::bit_cast<double>(GetU64(p)); }

}  // namespace quorvel::xls
