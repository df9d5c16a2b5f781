// Feeds arbitrary bytes to all eighteen receive slots, the decoder, the
// presenter and the reading stream with the page's consumer, with the rest
// of the program's state taken from the input too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "device/answer_presenter.h"
#include "device/reading_stream.h"
#include "protocol/answer_pipeline.h"

namespace {

using namespace quorvel;

// Touches every text it is given, so a bad string shows up under ASan.
struct ConsumingDisplay : NullDisplay {
  void ShowClock(const ClockTexts& t) override { Use(t.date + t.time); }
  void ShowReadings(const ReadingTexts& t) override {
    for (const std::string& field : t.fields) Use(field);
    Use(t.co2 + t.limit_tooltip);
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

struct Silent : Notifier {
  void Notify(const Notice&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  ViewState view;
  view.selected_slot = data[0] % 20;  // 0 and 19 stand for no or a foreign selection
  PendingOperations pending;
  pending.HistoryMonthsLeft = static_cast<std::int8_t>(data[1] % 13);
  view.follow_device_clock = (data[2] & 1) != 0;
  view.chart_view_open = (data[2] & 2) != 0;
  view.real_time_mode = (data[2] & 4) != 0;
  view.saving = (data[2] & 8) != 0;
  view.acquisition_interval = data[3] % 16;

  DeviceTable devices;
  ConsumingDisplay display;
  Silent silent;
  ReadingStream readings(silent);
  PageReadings page(devices, display, view);
  readings.Subscribe("page", [&](const Reading& reading) { return page.Consume(reading); });
  AnswerPresenter presenter(devices, display, readings, view, pending);
  AnswerPipeline answers(devices, [&](int, const DecodeOutcome& outcome) { presenter.Present(outcome); });
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
