// The receive slots and the decoder wired together: bytes of any slot go in,
// each complete answer is decoded into the device table, and the listener
// hears what was decoded (the engine's presenter, the command-line tool's
// printer). The engine, the command-line tool, tests and benchmarks all
// decode through one of these.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "model/device_record.h"
#include "protocol/decoder.h"
#include "protocol/receive_slot.h"

namespace quorvel {

class AnswerPipeline : private FrameHandler {
 public:
  // Runs after each decoded answer, before the next byte of that slot.
  using Listener = std::function<void(int slot, const DecodeOutcome& outcome)>;

  explicit AnswerPipeline(DeviceTable& devices, Listener listener = {})
      : decoder_(devices), listener_(std::move(listener)) {}

  void FeedByte(int slot, std::uint8_t byte) { receiver_.FeedByte(slot, byte); }
  void FeedBytes(int slot, std::span<const std::uint8_t> bytes) { receiver_.FeedBytes(slot, bytes); }
  void ClearSlot(int slot) { receiver_.ClearSlot(slot); }
  void ClearAll() { receiver_.ClearAll(); }
  const Receiver& Receivers() const { return receiver_; }

 private:
  void HandleFrame(int slot, const ReceiveSlot& frame) override {
    const DecodeOutcome outcome = decoder_.Decode(slot, frame.Data);
    if (listener_) listener_(slot, outcome);
  }

  ResponseDecoder decoder_;
  Listener listener_;
  Receiver receiver_{*this};
};

}  // namespace quorvel
