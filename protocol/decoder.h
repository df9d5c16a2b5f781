// Decodes every answer of the meter into the device record and the meter
// settings, and shows the results. Answers are recognised by their kind byte
// alone, whatever request is outstanding; bytes a short frame lacks read as 0.
#pragma once

#include <cstdint>
#include <span>

#include "model/decoder_context.h"
#include "model/device_record.h"
#include "model/display.h"
#include "protocol/number_text.h"
#include "protocol/receive_slot.h"

namespace quorvel {

// Counts one real-time answer towards the next spreadsheet row. The first
// row comes on the (N+1)-th counted answer, then on every N-th.
bool CountTowardsRow(std::int32_t& counter, int interval);

enum class DecodeStatus {
  kHandled,
  kIgnored,    // a known kind whose contents cannot be stored (bad timer or month number)
  kUnhandled,  // a kind the dashboard does not know
};

struct DecodeOutcome {
  std::uint8_t kind = 0;
  DecodeStatus status = DecodeStatus::kUnhandled;
  int index = 0;  // month of a month answer, timer number of a timer answer
};

using FrameData = std::span<const std::uint8_t, kReceiveDataSize>;

// The end of a history read, complete or not: the history is loaded when
// every month answered; the chart view (when it shows history) or the
// real-time page's boxes are told, and the wait ends.
void FinishHistoryRead(int slot, DeviceTable& devices, Display& display, bool chart_view_shows_history);

// Receive slots hand it their frames through an AnswerPipeline.
class ResponseDecoder {
 public:
  ResponseDecoder(DeviceTable& devices, Display& display, DecoderContext& context)
      : devices_(devices), display_(display), context_(context) {}

  DecodeOutcome Decode(int slot, FrameData data);

 private:
  void DecodeClock(int slot, FrameData d);
  void DecodeTariff(FrameData d);
  DecodeStatus DecodeMonth(int slot, FrameData d);
  void DecodeRealTime(int slot, FrameData d);
  DecodeStatus DecodeTimer(FrameData d);
  void DecodeLimits(FrameData d);
  void DecodeCo2Factor(int slot, FrameData d);
  void DecodeMeterNumber(FrameData d);

  void ShowSelectedReadings(int slot);

  DeviceTable& devices_;
  Display& display_;
  DecoderContext& context_;
};

}  // namespace quorvel
