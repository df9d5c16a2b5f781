// Decodes every answer of the meter into the device record and the meter
// settings and says what it decoded; what is shown, logged or published of
// it is decided above (device/answer_presenter.h). Answers are recognised by
// their kind byte alone, whatever request is outstanding; bytes a short
// frame lacks read as 0.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "model/device_record.h"
#include "protocol/receive_slot.h"

namespace quorvel {

enum class DecodeStatus {
  kHandled,
  kIgnored,    // a known kind whose contents cannot be stored (bad timer or month number, no such slot)
  kUnhandled,  // a kind the dashboard does not know
};

struct DecodeOutcome {
  std::uint8_t kind = 0;
  DecodeStatus status = DecodeStatus::kUnhandled;
  int index = 0;  // month of a month answer, timer number of a timer answer
  int slot = 0;   // where the answer came from
  // A real-time answer's clock and readings, as the record now holds them.
  std::optional<DeviceRecord> reading;
};

using FrameData = std::span<const std::uint8_t, kReceiveDataSize>;

// Receive slots hand it their frames through an AnswerPipeline.
class ResponseDecoder {
 public:
  explicit ResponseDecoder(DeviceTable& devices) : devices_(devices) {}

  DecodeOutcome Decode(int slot, FrameData data);

 private:
  void DecodeClock(int slot, FrameData d);
  void DecodeTariff(FrameData d);
  DecodeStatus DecodeMonth(int slot, FrameData d);
  const DeviceRecord& DecodeRealTime(int slot, FrameData d);
  DecodeStatus DecodeTimer(FrameData d);
  void DecodeLimits(FrameData d);
  void DecodeCo2Factor(int slot, FrameData d);
  void DecodeMeterNumber(FrameData d);

  DeviceTable& devices_;
};

}  // namespace quorvel
