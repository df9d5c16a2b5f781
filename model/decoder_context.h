// What the decoder reads from the rest of the program at the moment it
// decodes an answer. The engine answers from its own state; the
// command-line decoder, tests and benchmarks give plain values.
#pragma once

#include <cstdint>

namespace quorvel {

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

// A context given as plain values. By default slot 1 is the selected device
// of a visible real-time page, the chart view is closed and nothing is saved.
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

}  // namespace quorvel
