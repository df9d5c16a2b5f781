// A meter on a pseudo-terminal, the serial port, the receive slots, the
// decoder and the presenter, without the engine: every request kind the
// meter knows.
#include <gtest/gtest.h>

#include "device/answer_presenter.h"
#include "link/meter_line.h"
#include "protocol/answer_pipeline.h"
#include "protocol/commands.h"
#include "sim/pty_meter.h"
#include "tests/support/spin.h"

namespace quorvel {
namespace {

struct Clocks : NullDisplay {
  void ShowClock(const ClockTexts& t) override { shown.push_back(t); }
  std::vector<ClockTexts> shown;
};

struct NoNotices : Notifier {
  void Notify(const Notice& n) override { ADD_FAILURE() << n.text; }
};

class Stack : public SerialPortOwner {
 public:
  explicit Stack(std::string path) : path_(std::move(path)) {}
  std::string DeviceNameFor(unsigned) const override { return path_; }
  void OnBytesReceived(unsigned port, std::span<const std::uint8_t> bytes) override {
    for (const auto b : bytes) answers.FeedByte(static_cast<int>(port), b);
  }

  DeviceTable devices;
  Clocks display;
  ViewState view;
  PendingOperations pending;
  NoNotices notices;
  ReadingStream readings{notices};
  AnswerPresenter presenter{devices, display, readings, view, pending};
  std::vector<DecodeOutcome> outcomes;
  AnswerPipeline answers{devices, [this](int, const DecodeOutcome& outcome) {
                           presenter.Present(outcome);
                           outcomes.push_back(outcome);
                         }};

 private:
  std::string path_;
};

TEST(WireStack, EveryRequestGetsItsAnswerDecoded) {
  std::string error;
  sim::PtyMeterOptions options;
  options.byte_interval = std::chrono::microseconds{1042};  // the line's real pace
  auto meter = sim::PtyMeter::Open(options, &error);
  ASSERT_TRUE(meter && meter->Start(&error)) << error;
  Stack stack(meter->SlavePath());
  NoNotices notices;
  CSerialPort port(notices);
  ASSERT_TRUE(OpenMeterLine(port, &stack, 1, 9600));
  ASSERT_TRUE(port.StartMonitor());
  testing::Spin(20);

  struct Step {
    RequestFrame request;
    std::uint8_t answer_kind;
  };
  const std::vector<Step> steps{
      {WriteClockRequest({2012, 3, 2, 5, 14, 7}), 0x01},
      {ReadClockRequest(), 0x81},
      {WriteTariffRequest({4321, 250, 375}), 0x06},
      {ReadTariffRequest(1), 0x86},
      {WriteTimerRequest(7, TimerEntry{6, 30, 22, 0, 3}), 0x18},
      {ReadTimerRequest(7), 0x9E},
      {WriteLimitsRequest({500, 80, false}), 0x2C},
      {ReadLimitsRequest(), 0xAC},
      {WriteCo2FactorRequest(512), 0x47},
      {ReadCo2FactorRequest(), 0xC7},
      {ReadMeterNumberRequest(), 0xC8},
      {ReadMonthHistoryRequest(2), 0x8B},
      {ReadRealTimeRequest(), 0x97},
      {ResetTimersRequest(), 0xD0},
  };
  for (const Step& step : steps) {
    const std::size_t before = stack.outcomes.size();
    port.Write(step.request);
    ASSERT_TRUE(testing::SpinUntil([&] { return stack.outcomes.size() > before; }))
        << "no answer to 0x" << std::hex << int{step.request[1]};
    EXPECT_EQ(stack.outcomes.back().kind, step.answer_kind);
  }

  const MeterSettings& s = stack.devices.Settings();
  const SlotData& slot = stack.devices.Slot(1);
  // Friday 2 March 2012, as written: the meter counts week days from 1 = Sunday.
  EXPECT_EQ(stack.display.shown.front().date, "2012/03/02");
  EXPECT_EQ(stack.display.shown.front().time, "14:07");
  EXPECT_EQ(stack.display.shown.front().weekday_entry, 5);
  EXPECT_EQ(s.TierLimit, 4321);
  EXPECT_EQ(s.Price1, 250);
  EXPECT_EQ(s.Price2, 375);
  EXPECT_EQ(s.Timers[6].Mode, 3);
  EXPECT_EQ(s.Timers[6].OnMinute, 30);
  EXPECT_EQ(s.EnergyLimit, 500);
  EXPECT_EQ(s.CostLimit, 80);
  EXPECT_FLOAT_EQ(slot.Co2Factor, 0.512F);
  EXPECT_EQ(s.MeterNumber.size(), 8U);
  EXPECT_EQ(slot.Record.Year, 12);      // the real-time answer carries the clock as set
  EXPECT_EQ(slot.History[1][28], 0.0);  // 2012 has a 29th of February
  EXPECT_EQ(stack.outcomes.back().status, DecodeStatus::kUnhandled);
}

}  // namespace
}  // namespace quorvel
