#include "protocol/receive_slot.h"

#include <algorithm>
#include <cstring>

namespace quorvel {

void Receiver::FeedBytes(int slot, std::span<const std::uint8_t> bytes) {
  if (!IsSlotNumber(slot)) return;
  ReceiveSlot& receive = slots_[SlotIndex(slot)];
  for (std::size_t at = 0; at < bytes.size();) {
    // Inside a frame's data every byte is stored as it is (FeedByte's data
    // branch): the run is copied at once.
    if (receive.StartMarker == kFrameStart && receive.EndMarker == 0 && receive.Length != 0 && receive.Remaining > 1) {
      const std::size_t run = std::min(static_cast<std::size_t>(receive.Remaining - 1), bytes.size() - at);
      std::memcpy(&receive.Data[static_cast<std::size_t>(receive.Length - receive.Remaining)], &bytes[at], run);
      receive.Remaining -= static_cast<std::int32_t>(run);
      at += run;
      continue;
    }
    if (quorvel::FeedByte(receive, bytes[at++]) == FeedResult::kFrameComplete) {
      handler_.HandleFrame(slot, receive);
      receive.Clear();
    }
  }
}

void Receiver::ClearAll() {
  for (auto& slot : slots_) slot.Clear();
}

}  // namespace quorvel
