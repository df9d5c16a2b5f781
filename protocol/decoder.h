// Decodes every answer of the meter into the device record and the meter
// settings, and shows the results. Answers are recognised by their kind byte
// alone, whatever request is outstanding; bytes a short frame lacks read as 0.
#pragma once

#include <cstdint>
#include <span>

#include "device/device_record.h"
#include "protocol/display.h"
#include "protocol/number_text.h"
#include "protocol/receive_slot.h"

namespace quorvel {

// What the decoder reads from the rest of the program at the moment it
// decodes an answer.
class DecoderContext {
 public:
  virtual ~DecoderContext() = default;
  virtual int SelectedSlot() const = 0;  // 0 when no device is selected
  virtual int HistoryMonthsLeft() const = 0;
  virtual bool FollowDeviceClock() const = 0;
  virtual bool ChartViewOpen() const = 0;
  virtual bool RealTimeMode() const = 0;  // the chart view tracks live readings
  virtual bool SavingActive() const = 0;
  virtual int AcquisitionInterval() const = 0;  // a row on every N-th counted answer
  // One counter for all slots; the only state the decoder changes outside
  // the device table.
  virtual std::int32_t& SaveCounter() = 0;
};

// A context given as plain values: the command-line decoder, tests and
// benchmarks. By default slot 1 is the selected device of a visible
// real-time page, the chart view is closed and nothing is saved.
struct FixedDecoderContext : DecoderContext {
  int SelectedSlot() const override { return selected_slot; }
  int HistoryMonthsLeft() const override { return history_months_left; }
  bool FollowDeviceClock() const override { return follow_device_clock; }
  bool ChartViewOpen() const override { return chart_view_open; }
  bool RealTimeMode() const override { return real_time_mode; }
  bool SavingActive() const override { return saving_active; }
  int AcquisitionInterval() const override { return acquisition_interval; }
  std::int32_t& SaveCounter() override { return save_counter; }

  int selected_slot = 1;
  int history_months_left = 0;
  bool follow_device_clock = true;
  bool chart_view_open = false;
  bool real_time_mode = false;
  bool saving_active = false;
  int acquisition_interval = 1;
  std::int32_t save_counter = 0;
};

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

class ResponseDecoder : public FrameHandler {
 public:
  ResponseDecoder(DeviceTable& devices, Display& display, DecoderContext& context)
      : devices_(devices), display_(display), context_(context) {}

  DecodeOutcome Decode(int slot, FrameData data);
  void HandleFrame(int slot, const ReceiveSlot& frame) override { Decode(slot, frame.Data); }

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
