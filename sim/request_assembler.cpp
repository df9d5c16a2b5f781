#include "sim/request_assembler.h"

#include <algorithm>

namespace quorvel::sim {

std::vector<RequestFrame> RequestAssembler::Feed(std::span<const std::uint8_t> bytes) {
  std::vector<RequestFrame> frames;
  for (const std::uint8_t b : bytes) {
    if (pending_.empty() && b != kStartByte) {
      ++skipped_;
      continue;
    }
    pending_.push_back(b);
    if (pending_.size() < kRequestSize) continue;
    RequestFrame frame{};
    std::copy(pending_.begin(), pending_.end(), frame.begin());
    if (IsRequestFrame(frame)) {
      frames.push_back(frame);
      pending_.clear();
    } else {
      Resync();
    }
  }
  return frames;
}

void RequestAssembler::Resync() {
  // The frame's own start byte is dropped; whatever follows may still hold
  // the start of the next real frame.
  const auto next = std::find(pending_.begin() + 1, pending_.end(), kStartByte);
  skipped_ += static_cast<std::uint64_t>(next - pending_.begin());
  pending_.erase(pending_.begin(), next);
}

}  // namespace quorvel::sim
