// Turns the bytes the meter receives into request frames. A frame starts at
// a 0x55 and must end with 0xAA 0x0D at offsets 10 and 11; when it does not,
// the 0x55 was noise or the start of a damaged frame, and the search for the
// next start goes on from the byte after it, so a real request hidden in the
// garbage is still found.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sim/wire.h"

namespace quorvel::sim {

class RequestAssembler {
 public:
  // Complete frames found in these bytes (together with the bytes fed
  // before), in arrival order.
  std::vector<RequestFrame> Feed(std::span<const std::uint8_t> bytes);

  // Bytes thrown away so far while looking for a frame start.
  std::uint64_t SkippedBytes() const { return skipped_; }
  // Bytes held for a frame that is not complete yet.
  std::size_t PendingBytes() const { return pending_.size(); }
  void Reset() { pending_.clear(); }

 private:
  void Resync();

  std::vector<std::uint8_t> pending_;
  std::uint64_t skipped_ = 0;
};

}  // namespace quorvel::sim
