// Feeds arbitrary bytes to all eighteen receive slots and the decoder, with
// the rest of the program's state taken from the input too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol/answer_pipeline.h"

namespace {

using namespace quorvel;

// Touches every text it is given, so a bad string shows up under ASan.
struct ConsumingDisplay : NullDisplay {
  void ShowClock(const ClockTexts& t) override { Use(t.date + t.time); }
  void ShowReadings(const ReadingTexts& t) override {
    Use(t.voltage + t.current + t.power + t.power_factor + t.energy + t.co2 + t.limit_tooltip);
  }
  void ShowTariff(const TariffTexts& t) override { Use(t.price1 + t.price2 + t.tier_limit); }
  void ShowHistoryBoxes(const HistoryTexts& t) override {
    Use(t.day.value_or("") + t.week.value_or("") + t.month.value_or(""));
  }
  void ShowCo2Factor(const std::string& t) override { Use(t); }
  void ShowTimer(int, const TimerTexts& t) override { Use(t.on_time + t.off_time); }
  void ShowLimits(const LimitTexts& t) override { Use(t.energy_limit + t.cost_limit); }
  void Use(const std::string& s) {
    for (const char c : s) checksum += static_cast<unsigned char>(c);
  }
  unsigned checksum = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  FixedDecoderContext context;
  context.selected_slot = data[0] % 20;  // 0 and 19 stand for no or a foreign selection
  context.history_months_left = data[1] % 13;
  context.follow_device_clock = (data[2] & 1) != 0;
  context.chart_view_open = (data[2] & 2) != 0;
  context.real_time_mode = (data[2] & 4) != 0;
  context.saving_active = (data[2] & 8) != 0;
  context.acquisition_interval = data[3] % 16;

  DeviceTable devices;
  ConsumingDisplay display;
  AnswerPipeline answers(devices, display, context);
  // Pairs of (slot selector, byte); runs of bytes go to one slot so that
  // whole frames form as well as interleavings.
  int slot = 1;
  for (std::size_t i = 4; i < size; ++i) {
    const std::uint8_t b = data[i];
    if (b == 0xFE && i + 1 < size) {
      slot = data[++i] % 20;  // 0 and 19 exercise the out-of-range guard
      continue;
    }
    answers.FeedByte(slot, b);
  }
  return 0;
}
