// Bytes per second from the receive state machine to the page's texts: the
// decoder, the presenter and the reading stream with the page's consumer
// and a row counter, over a stream of real-time answers of the selected
// meter.
#include <benchmark/benchmark.h>

#include <vector>

#include "device/answer_presenter.h"
#include "device/reading_stream.h"
#include "model/reading_fields.h"
#include "protocol/answer_pipeline.h"

namespace {

using namespace quorvel;

struct CountingDisplay : NullDisplay {
  void ShowReadings(const ReadingTexts& t) override { bytes += t.Text(ReadingField::kVoltage).size() + t.co2.size(); }
  void ShowClock(const ClockTexts& t) override { bytes += t.date.size(); }
  std::size_t bytes = 0;
};

struct QuietNotifier : Notifier {
  void Notify(const Notice&) override {}
};

// Slot 1 shown on the page, saving every fifth answer.
ViewState PageView() {
  ViewState view;
  view.selected_slot = 1;
  view.saving = true;
  view.acquisition_interval = 5;
  return view;
}

constexpr std::size_t kFrameSize = 23;

// Feeds the stream as the serial port hands it over: one answer per wake-up.
void FeedAnswers(AnswerPipeline& answers, const std::vector<std::uint8_t>& stream, int slot) {
  for (std::size_t at = 0; at < stream.size(); at += kFrameSize) {
    answers.FeedBytes(slot, std::span(stream).subspan(at, kFrameSize));
  }
}

std::vector<std::uint8_t> RealTimeStream(std::size_t frames) {
  std::vector<std::uint8_t> stream;
  for (std::size_t i = 0; i < frames; ++i) {
    const auto minute = static_cast<std::uint8_t>(i % 60);
    const auto current = static_cast<std::uint8_t>(i % 251);
    const std::uint8_t frame[] = {0x55, 0x14, 0x97, 0x09, 0x06, 0x17, 0x03, 0x09, minute, 0x01, current, 0x08,
                                  0xFC, 0x2C, 0xEC, 0x00, 0x64, 0x00, 0x01, 0x86, 0xA0,   0x00, 0xAA};
    stream.insert(stream.end(), std::begin(frame), std::end(frame));
  }
  return stream;
}

// The receive slots, the decoder and the presenter with their surroundings.
struct Rig {
  Rig() {
    readings.Subscribe("page", [this](const Reading& reading) { return page.Consume(reading); });
    readings.Subscribe("rows", [this](const Reading& reading) -> Result<Consumed> {
      if (!reading.use.row) return Consumed::kSkipped;
      ++rows;
      return Consumed::kDone;
    });
  }
  DeviceTable devices;
  CountingDisplay display;
  ViewState view = PageView();
  PendingOperations pending;
  QuietNotifier quiet;
  ReadingStream readings{quiet};
  PageReadings page{devices, display, view};
  AnswerPresenter presenter{devices, display, readings, view, pending};
  std::size_t rows = 0;
  AnswerPipeline answers{devices, [this](int, const DecodeOutcome& outcome) { presenter.Present(outcome); }};
};

void CountBytes(benchmark::State& state, const std::vector<std::uint8_t>& stream) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(stream.size()));
}

// Every answer from the meter shown on the page.
void BM_FeedAndDecodeRealTime(benchmark::State& state) {
  const std::vector<std::uint8_t> stream = RealTimeStream(4096);
  Rig rig;
  for (auto _ : state) {
    FeedAnswers(rig.answers, stream, 1);
    benchmark::DoNotOptimize(rig.display.bytes);
  }
  CountBytes(state, stream);
}
BENCHMARK(BM_FeedAndDecodeRealTime);

// The same, one FeedByte call per byte.
void BM_FeedByteByByteRealTime(benchmark::State& state) {
  const std::vector<std::uint8_t> stream = RealTimeStream(4096);
  Rig rig;
  for (auto _ : state) {
    for (const std::uint8_t b : stream) rig.answers.FeedByte(1, b);
    benchmark::DoNotOptimize(rig.display.bytes);
  }
  CountBytes(state, stream);
}
BENCHMARK(BM_FeedByteByByteRealTime);

// The same stream for a meter that is not shown: the record only.
void BM_FeedAndDecodeBackgroundSlot(benchmark::State& state) {
  const std::vector<std::uint8_t> stream = RealTimeStream(4096);
  Rig rig;
  for (auto _ : state) {
    FeedAnswers(rig.answers, stream, 2);
    benchmark::DoNotOptimize(rig.devices.Slot(2).Record.Current);
  }
  CountBytes(state, stream);
}
BENCHMARK(BM_FeedAndDecodeBackgroundSlot);

// Eighteen meters polled together: each answer comes from the next slot, and
// only slot 1 is shown on the page.
void BM_FeedAndDecodeEighteenMeters(benchmark::State& state) {
  const std::vector<std::uint8_t> stream = RealTimeStream(4096);
  Rig rig;
  for (auto _ : state) {
    for (std::size_t at = 0; at < stream.size(); at += kFrameSize) {
      rig.answers.FeedBytes(static_cast<int>((at / kFrameSize) % kSlotCount) + 1,
                            std::span(stream).subspan(at, kFrameSize));
    }
    benchmark::DoNotOptimize(rig.display.bytes);
  }
  CountBytes(state, stream);
}
BENCHMARK(BM_FeedAndDecodeEighteenMeters);

}  // namespace

BENCHMARK_MAIN();
