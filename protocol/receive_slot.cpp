#include "protocol/receive_slot.h"

namespace quorvel {

namespace {

// One step of the state machine; kept inline so that the per-byte path of
// the receiver is a single call.
inline FeedResult Step(ReceiveSlot& slot, std::uint8_t byte) {
  if (byte == kFrameStart && slot.StartMarker == 0) {
    slot.StartMarker = kFrameStart;
    slot.EndMarker = 0;
    return FeedResult::kPending;
  }
  if (slot.StartMarker != kFrameStart || slot.EndMarker != 0) {
    return FeedResult::kPending;  // noise between frames, or a frame still waiting
  }
  if (slot.Length == 0) {
    // A zero length byte is skipped: the next byte is taken as the length.
    if (byte > kMaxAnswerLength) {
      slot.Clear();  // its data would not fit: drop the frame
    } else {
      slot.Length = byte;
      slot.Remaining = byte;
    }
    return FeedResult::kPending;
  }
  if (slot.Remaining > 1) {
    slot.Data[static_cast<std::size_t>(slot.Length - slot.Remaining)] = byte;
    --slot.Remaining;
    return FeedResult::kPending;
  }
  if (slot.TrailerSeen == 0) {
    slot.TrailerSeen = 0xFF;  // the trailer is never examined
    return FeedResult::kPending;
  }
  if (byte == kFrameEnd) {
    slot.EndMarker = kFrameEnd;
    return FeedResult::kFrameComplete;
  }
  slot.Clear();  // wrong end byte: drop the frame; this byte is not a start byte
  return FeedResult::kPending;
}

}  // namespace

FeedResult FeedByte(ReceiveSlot& slot, std::uint8_t byte) { return Step(slot, byte); }

void Receiver::FeedByte(int slot, std::uint8_t byte) {
  if (!IsSlotNumber(slot)) return;
  ReceiveSlot& receive = slots_[SlotIndex(slot)];
  if (Step(receive, byte) == FeedResult::kFrameComplete) {
    handler_.HandleFrame(slot, receive);
    receive.Clear();
  }
}

void Receiver::FeedBytes(int slot, std::span<const std::uint8_t> bytes) {
  if (!IsSlotNumber(slot)) return;
  ReceiveSlot& receive = slots_[SlotIndex(slot)];
  for (const std::uint8_t byte : bytes) {
    if (Step(receive, byte) == FeedResult::kFrameComplete) {
      handler_.HandleFrame(slot, receive);
      receive.Clear();
    }
  }
}

void Receiver::ClearAll() {
  for (auto& slot : slots_) slot.Clear();
}

}  // namespace quorvel
