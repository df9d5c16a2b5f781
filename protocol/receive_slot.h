// Turns the byte stream of each device slot into answer frames:
//   0x55, L, data D0..D(L-2), trailer, 0xAA     (L = data bytes + 1)
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "model/device_record.h"

namespace quorvel {

inline constexpr std::uint8_t kFrameStart = 0x55;
inline constexpr std::uint8_t kFrameEnd = 0xAA;
inline constexpr std::size_t kReceiveDataSize = 151;
// The largest length byte whose data still fits the data area.
inline constexpr std::int32_t kMaxAnswerLength = static_cast<std::int32_t>(kReceiveDataSize) + 1;

struct ReceiveSlot {
  std::uint8_t StartMarker = 0;                       // 0 idle, 0x55 a frame has begun
  std::uint8_t EndMarker = 0;                         // 0 open, 0xAA complete
  std::array<std::uint8_t, kReceiveDataSize> Data{};  // never-written bytes read as 0
  std::uint8_t TrailerSeen = 0;                       // 0xFF once the trailer byte has been consumed
  std::int32_t Length = 0;                            // 0: not yet received
  std::int32_t Remaining = 0;

  void Clear() {
    StartMarker = 0;
    EndMarker = 0;
    Data.fill(0);
    TrailerSeen = 0;
    Length = 0;
    Remaining = 0;
  }
};

enum class FeedResult { kPending, kFrameComplete };

// One step of a slot's state machine. kFrameComplete: the end byte arrived and
// the slot holds a complete frame until it is cleared. Inline: it is the
// per-byte path of every answer.
inline FeedResult FeedByte(ReceiveSlot& slot, std::uint8_t byte) {
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

// Receives complete frames; runs before the next byte of that slot is fed.
class FrameHandler {
 public:
  virtual ~FrameHandler() = default;
  virtual void HandleFrame(int slot, const ReceiveSlot& frame) = 0;
};

// The eighteen receive slots. A complete frame goes to the handler at once,
// and the slot is cleared when the handler returns, whatever the frame held,
// so no frame can leave a slot blocked.
class Receiver {
 public:
  explicit Receiver(FrameHandler& handler) : handler_(handler) {}

  // A byte for slot 1..18; bytes for any other number are dropped.
  void FeedByte(int slot, std::uint8_t byte) {
    if (!IsSlotNumber(slot)) return;
    ReceiveSlot& receive = slots_[SlotIndex(slot)];
    if (quorvel::FeedByte(receive, byte) == FeedResult::kFrameComplete) {
      handler_.HandleFrame(slot, receive);
      receive.Clear();
    }
  }
  // Bytes of one slot in arrival order, each fed as FeedByte feeds it: a
  // complete frame is handled before the byte after it is looked at.
  void FeedBytes(int slot, std::span<const std::uint8_t> bytes);

  void ClearSlot(int slot) { slots_.at(SlotIndex(slot)).Clear(); }
  void ClearAll();
  const ReceiveSlot& Slot(int slot) const { return slots_.at(SlotIndex(slot)); }

 private:
  FrameHandler& handler_;
  std::array<ReceiveSlot, kSlotCount> slots_{};
};

}  // namespace quorvel
