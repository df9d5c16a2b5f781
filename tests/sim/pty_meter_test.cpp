// A meter on a real pseudo-terminal, talked to through its slave side the
// way the dashboard opens a serial port.
#include "sim/pty_meter.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/sim/sim_test_support.h"
#include "tests/support/pty.h"

namespace quorvel::sim::test {
namespace {

using quorvel::testing::PortEnd;
using std::chrono::milliseconds;

const Bytes kNumberAnswer{0x55, 0x0A, 0xC8, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xF6, 0xAA};

PtyMeterOptions FastOptions() {
  PtyMeterOptions options;
  options.seed = 7;
  options.byte_interval = std::chrono::microseconds{0};
  options.start_clock = kSunday;
  options.meter_number = 12345678;
  return options;
}

std::unique_ptr<PtyMeter> Started(const PtyMeterOptions& options) {
  std::string error;
  auto meter = PtyMeter::Open(options, &error);
  EXPECT_TRUE(meter) << error;
  if (meter) {
    EXPECT_TRUE(meter->Start(&error)) << error;
  }
  return meter;
}

TEST(PtyMeter, AnswersARequest) {
  auto meter = Started(FastOptions());
  ASSERT_TRUE(meter);
  PortEnd port(meter->SlavePath());
  ASSERT_TRUE(port.Ok());
  ASSERT_TRUE(port.Send(Request(0xC8)));
  EXPECT_EQ(port.Read(kNumberAnswer.size()), kNumberAnswer);
  EXPECT_TRUE(port.ReadUntilQuiet(milliseconds{50}).empty());  // and nothing more
  ASSERT_TRUE(meter->WaitUntilIdle(1, milliseconds{2000}));
  const PtyMeterStats stats = meter->Stats();
  EXPECT_EQ(stats.requests, 1U);
  EXPECT_EQ(stats.bytes_sent, kNumberAnswer.size());
  EXPECT_EQ(stats.faults.intact, 1U);
}

TEST(PtyMeter, KeepsTheLineRawBothWays) {
  auto meter = Started(FastOptions());
  ASSERT_TRUE(meter);
  // Taken as the meter left it: a cooked line would translate 0x0D and 0x0A,
  // swallow 0x11 and 0x13 as flow control and 0x03 as an interrupt.
  PortEnd port(meter->SlavePath(), false);
  ASSERT_TRUE(port.Ok());
  termios tio{};
  ASSERT_EQ(::tcgetattr(port.Fd(), &tio), 0);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0U);
  EXPECT_EQ(tio.c_iflag & (ICRNL | IXON), 0U);
  EXPECT_EQ(tio.c_oflag & OPOST, 0U);

  // Sunday 19 March 2017 (0x11, 0x03, 0x13), 10:13 (0x0A, 0x0D).
  ASSERT_TRUE(port.Send(Request(0x01, {0x11, 0x03, 0x13, 0x00, 0x0A, 0x0D})));
  EXPECT_EQ(port.Read(5), (Bytes{0x55, 0x02, 0x01, 0x03, 0xAA}));
  ASSERT_TRUE(port.Send(Request(0x81)));
  EXPECT_EQ(port.Read(11), (Bytes{0x55, 0x08, 0x81, 0x11, 0x03, 0x13, 0x01, 0x0A, 0x0D, 0xC8, 0xAA}));
}

TEST(PtyMeter, SkipsGarbageBeforeARequest) {
  auto meter = Started(FastOptions());
  ASSERT_TRUE(meter);
  PortEnd port(meter->SlavePath());
  Bytes stream{0x00, 0x55, 0x13, 0xAA, 0x0D};
  const RequestFrame request = Request(0xC8);
  stream.insert(stream.end(), request.begin(), request.end());
  ASSERT_TRUE(port.Write(stream));
  EXPECT_EQ(port.Read(kNumberAnswer.size()), kNumberAnswer);
  ASSERT_TRUE(meter->WaitUntilIdle(1, milliseconds{2000}));
  EXPECT_EQ(meter->Stats().skipped_bytes, 5U);
}

TEST(PtyMeter, StaysSilentOnRequestsItDoesNotKnow) {
  auto meter = Started(FastOptions());
  ASSERT_TRUE(meter);
  PortEnd port(meter->SlavePath());
  ASSERT_TRUE(port.Send(Request(0x42)));
  ASSERT_TRUE(port.Send(Request(0x98, {21})));
  ASSERT_TRUE(meter->WaitUntilIdle(2, milliseconds{2000}));
  EXPECT_TRUE(port.ReadUntilQuiet(milliseconds{50}).empty());
  EXPECT_EQ(meter->Stats().unanswered, 2U);
  EXPECT_EQ(meter->Stats().faults.answers, 0U);
}

TEST(PtyMeter, TestsCanPinTheReadings) {
  auto meter = Started(FastOptions());
  ASSERT_TRUE(meter);
  meter->WithModel([](MeterModel& model) {
    model.ForceLoad({15.0, 230.0, 1.0});  // the dashboard's alarm threshold
    model.SetEnergyCounter(100000);
  });
  PortEnd port(meter->SlavePath());
  ASSERT_TRUE(port.Send(Request(0x97)));
  const Bytes answer = port.Read(23);
  ASSERT_EQ(answer.size(), 23U);
  EXPECT_EQ(answer[2], 0x97);
  EXPECT_EQ(Bytes(answer.begin() + 9, answer.begin() + 21),
            (Bytes{0x05, 0xDC, 0x08, 0xFC, 0x86, 0xC4, 0x00, 0x64, 0x00, 0x01, 0x86, 0xA0}));
}

TEST(PtyMeter, SendsAtTheLinesPace) {
  PtyMeterOptions options = FastOptions();
  options.byte_interval = std::chrono::microseconds{1000};
  auto meter = Started(options);
  ASSERT_TRUE(meter);
  PortEnd port(meter->SlavePath());
  const auto sent = std::chrono::steady_clock::now();
  ASSERT_TRUE(port.Send(Request(0x8B, {1})));
  // 130 bytes a millisecond apart cannot all be there in much under 129 ms
  // (a lower bound only: a slow machine may take longer).
  std::size_t reads = 0;
  std::size_t total = 0;
  while (total < 130) {
    pollfd p{port.Fd(), POLLIN, 0};
    if (::poll(&p, 1, 3000) != 1) break;
    std::uint8_t buffer[256];
    const ssize_t n = ::read(port.Fd(), buffer, sizeof buffer);
    if (n <= 0) break;
    ++reads;
    total += static_cast<std::size_t>(n);
  }
  const auto took = std::chrono::steady_clock::now() - sent;
  EXPECT_EQ(total, 130U);
  EXPECT_GE(took, milliseconds{120});
  EXPECT_GT(reads, 2U);  // it trickled in rather than arriving in one piece
}

TEST(PtyMeter, OutlivesTheDashboardClosingThePort) {
  auto meter = Started(FastOptions());
  ASSERT_TRUE(meter);
  for (int round = 0; round < 3; ++round) {
    PortEnd port(meter->SlavePath());
    ASSERT_TRUE(port.Ok()) << round;
    ASSERT_TRUE(port.Send(Request(0xC8)));
    EXPECT_EQ(port.Read(kNumberAnswer.size()), kNumberAnswer) << round;
  }
  EXPECT_EQ(meter->Stats().requests, 3U);
}

TEST(PtyMeter, UnplugEndsTheDashboardsReadsAndRemovesTheDevice) {
  auto meter = Started(FastOptions());
  ASSERT_TRUE(meter);
  const std::string path = meter->SlavePath();
  PortEnd port(path);
  ASSERT_TRUE(port.Ok());
  meter->Unplug();
  EXPECT_TRUE(meter->Unplugged());
  EXPECT_FALSE(meter->Running());

  pollfd p{port.Fd(), POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 1000), 1);
  EXPECT_NE(p.revents & POLLHUP, 0);
  std::uint8_t byte = 0;
  EXPECT_LE(::read(port.Fd(), &byte, 1), 0);  // end of file or EIO
  EXPECT_NE(::access(path.c_str(), F_OK), 0);

  std::string error;
  EXPECT_FALSE(meter->Start(&error));
  EXPECT_FALSE(error.empty());
  // The model is still there to be looked at.
  EXPECT_EQ(meter->WithModel([](MeterModel& model) { return model.MeterNumberDigits()[7]; }), 8);
}

TEST(PtyMeter, StopDropsAnswersStillWaiting) {
  PtyMeterOptions options = FastOptions();
  options.faults.rates.delay = 1.0;
  options.faults.delay_min = milliseconds{60'000};
  options.faults.delay_max = milliseconds{60'000};
  auto meter = Started(options);
  ASSERT_TRUE(meter);
  PortEnd port(meter->SlavePath());
  ASSERT_TRUE(port.Send(Request(0xC8)));
  while (meter->Stats().requests == 0) std::this_thread::yield();
  meter->Stop();  // must not wait the minute out
  EXPECT_FALSE(meter->Running());
  EXPECT_TRUE(port.ReadUntilQuiet(milliseconds{50}).empty());
  EXPECT_TRUE(meter->Start());
  EXPECT_TRUE(meter->Running());
}

// Every answer's fate in the log matches what actually reached the port.
TEST(PtyMeter, LogTellsWhichAnswersArrivedIntact) {
  PtyMeterOptions options = FastOptions();
  options.faults.rates = {0.15, 0.15, 0.15, 0.15, 0.15};
  options.faults.delay_min = milliseconds{5};
  options.faults.delay_max = milliseconds{30};
  auto meter = Started(options);
  ASSERT_TRUE(meter);
  PortEnd port(meter->SlavePath());
  constexpr int kRequests = 60;
  std::vector<Bytes> received;
  for (int i = 0; i < kRequests; ++i) {
    port.Purge();
    ASSERT_TRUE(port.Send(Request(0xC8)));
    ASSERT_TRUE(meter->WaitUntilIdle(static_cast<std::uint64_t>(i + 1), milliseconds{3000}));
    received.push_back(port.ReadUntilQuiet(milliseconds{30}));
  }
  const auto log = meter->AnswerLog();
  ASSERT_EQ(log.size(), static_cast<std::size_t>(kRequests));
  int intact = 0;
  for (int i = 0; i < kRequests; ++i) {
    const Bytes& got = received[static_cast<std::size_t>(i)];
    const AnswerLogEntry& entry = log[static_cast<std::size_t>(i)];
    SCOPED_TRACE(std::string(FaultName(entry.fault)) + " #" + std::to_string(i));
    EXPECT_EQ(entry.kind, 0xC8);
    switch (entry.fault) {
      case Fault::kNone:
      case Fault::kDelayed:
        EXPECT_EQ(got, kNumberAnswer);
        break;
      case Fault::kNoise:
        ASSERT_GT(got.size(), kNumberAnswer.size());
        EXPECT_TRUE(std::equal(kNumberAnswer.rbegin(), kNumberAnswer.rend(), got.rbegin()));
        break;
      case Fault::kLost:
        EXPECT_TRUE(got.empty());
        break;
      case Fault::kTruncated:
        ASSERT_LT(got.size(), kNumberAnswer.size());
        EXPECT_TRUE(std::equal(got.begin(), got.end(), kNumberAnswer.begin()));
        break;
      case Fault::kWrongEnd:
        ASSERT_EQ(got.size(), kNumberAnswer.size());
        EXPECT_NE(got.back(), 0xAA);
        break;
    }
    if (AnswerBytesIntact(entry.fault)) ++intact;
  }
  const PtyMeterStats stats = meter->Stats();
  EXPECT_EQ(stats.faults.answers, static_cast<std::uint64_t>(kRequests));
  EXPECT_EQ(stats.faults.intact + stats.faults.Count(Fault::kNoise) + stats.faults.Count(Fault::kDelayed),
            static_cast<std::uint64_t>(intact));
  // With these rates every kind of fault turns up in sixty answers.
  for (const Fault fault :
       {Fault::kNone, Fault::kNoise, Fault::kWrongEnd, Fault::kTruncated, Fault::kLost, Fault::kDelayed}) {
    EXPECT_GT(stats.faults.Count(fault), 0U) << FaultName(fault);
  }
}

}  // namespace
}  // namespace quorvel::sim::test
