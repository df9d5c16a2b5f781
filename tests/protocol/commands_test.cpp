#include "protocol/commands.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvel {
namespace {

struct FrameCase {
  const char* name;
  RequestFrame frame;
  RequestFrame expected;
};

class RequestBytes : public ::testing::TestWithParam<FrameCase> {};

TEST_P(RequestBytes, MatchTheWire) { EXPECT_EQ(GetParam().frame, GetParam().expected); }

RequestFrame Bytes(std::initializer_list<int> values) {
  RequestFrame frame{};
  std::size_t i = 0;
  for (const int v : values) frame.at(i++) = static_cast<std::uint8_t>(v);
  return frame;
}

TimerEntry Timer(int on_h, int on_m, int off_h, int off_m, int mode) {
  return TimerEntry{static_cast<std::uint8_t>(on_h), static_cast<std::uint8_t>(on_m), static_cast<std::uint8_t>(off_h),
                    static_cast<std::uint8_t>(off_m), static_cast<std::uint8_t>(mode)};
}

INSTANTIATE_TEST_SUITE_P(
    Builders, RequestBytes,
    ::testing::Values(
        // Sunday 5 July 2009, 14:07.
        FrameCase{"WriteClock", WriteClockRequest({2009, 7, 5, 0, 14, 7}),
                  Bytes({0x55, 0x01, 0x09, 0x07, 0x05, 0x00, 0x0E, 0x07, 0x00, 0x00, 0xAA, 0x0D})},
        FrameCase{"WriteTariff", WriteTariffRequest(TariffFromFields("5000", "30.0", "40.0")),
                  Bytes({0x55, 0x06, 0x32, 0x00, 0x03, 0x00, 0x04, 0x00, 0x00, 0x00, 0xAA, 0x0D})},
        FrameCase{"WriteTariffHalfCents", WriteTariffRequest(TariffFromFields("1234", "30.5", "99.9")),
                  Bytes({0x55, 0x06, 12, 34, 3, 5, 9, 99, 0, 0, 0xAA, 0x0D})},
        FrameCase{"WriteLimitsNoShutdown", WriteLimitsRequest(LimitsFromFields("300", "100", true)),
                  Bytes({0x55, 0x2C, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAA, 0x0D})},
        FrameCase{"WriteLimitsShutdown", WriteLimitsRequest(LimitsFromFields("9999", "1", false)),
                  Bytes({0x55, 0x2C, 99, 99, 0, 1, 1, 0, 0, 0, 0xAA, 0x0D})},
        FrameCase{"WriteCo2Factor785", WriteCo2FactorRequest(Co2FactorFromField("0.785")),
                  Bytes({0x55, 0x47, 7, 85, 0, 0, 0, 0, 0, 0, 0xAA, 0x0D})},
        FrameCase{"WriteCo2Factor999", WriteCo2FactorRequest(Co2FactorFromField("0.999")),
                  Bytes({0x55, 0x47, 9, 99, 0, 0, 0, 0, 0, 0, 0xAA, 0x0D})},
        FrameCase{"WriteTimer", WriteTimerRequest(3, Timer(8, 0, 17, 30, 9)),
                  Bytes({0x55, 0x18, 3, 9, 8, 0, 17, 30, 0, 0, 0xAA, 0x0D})},
        FrameCase{"ReadClock", ReadClockRequest(), Bytes({0x55, 0x81, 0, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0x0D})},
        FrameCase{"ReadTariff", ReadTariffRequest(1), Bytes({0x55, 0x86, 1, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0x0D})},
        FrameCase{"ReadMonth12", ReadMonthHistoryRequest(12),
                  Bytes({0x55, 0x8B, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAA, 0x0D})},
        FrameCase{"ReadRealTime", ReadRealTimeRequest(),
                  Bytes({0x55, 0x97, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAA, 0x0D})},
        FrameCase{"ReadTimer20", ReadTimerRequest(20), Bytes({0x55, 0x98, 20, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0x0D})},
        FrameCase{"ReadLimits", ReadLimitsRequest(), Bytes({0x55, 0xAC, 0, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0x0D})},
        FrameCase{"ReadCo2Factor", ReadCo2FactorRequest(), Bytes({0x55, 0xC7, 0, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0x0D})},
        FrameCase{"ReadMeterNumber", ReadMeterNumberRequest(), Bytes({0x55, 0xC8, 0, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0x0D})},
        FrameCase{"ResetTimers", ResetTimersRequest(), Bytes({0x55, 0xD0, 0, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0x0D})}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(PairEncoding, FollowsSignedThirtyTwoBitArithmeticTruncatedToEightBits) {
  struct Case {
    std::int32_t value;
    std::uint8_t high, low;
  };
  for (const Case c : {Case{0, 0, 0}, Case{9999, 99, 99}, Case{10000, 100, 0}, Case{25600, 0, 0}, Case{25699, 0, 99},
                       Case{-1, 0, 0xFF}, Case{-250, 0xFE, 0xCE}}) {
    EXPECT_EQ(PairHigh(c.value), c.high) << c.value;
    EXPECT_EQ(PairLow(c.value), c.low) << c.value;
  }
}

TEST(FieldValues, TextThatIsNotANumberReadsAsZero) {
  const TariffValues t = TariffFromFields("abc", "", "x1");
  EXPECT_EQ(t.tier_limit, 0);
  EXPECT_EQ(t.price1, 0);
  EXPECT_EQ(t.price2, 0);
  EXPECT_EQ(Co2FactorFromField("."), 0);
  EXPECT_EQ(LimitsFromFields("12kWh", " 7", true).energy_limit, 12);
}

TEST(FieldValues, ProductsAreTruncatedNotRounded) {
  EXPECT_EQ(TariffFromFields("0", "30.19", "0.09").price1, 301);
  EXPECT_EQ(TariffFromFields("0", "30.19", "0.09").price2, 0);
  EXPECT_EQ(Co2FactorFromField("0.0019"), 1);
  EXPECT_EQ(Co2FactorFromField("-0.5"), -500);
}

TEST(FieldValues, ClockYearIsTruncatedToEightBits) {
  EXPECT_EQ(WriteClockRequest({2300, 1, 1, 0, 0, 0})[2], 300 & 0xFF);
}

class RecordingPort : public FramePort {
 public:
  bool IsOpen(int slot) const override { return slot == 3; }
  void Write(int slot, std::span<const std::uint8_t> bytes) override {
    writes.emplace_back(slot, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  }
  std::vector<std::pair<int, std::vector<std::uint8_t>>> writes;
};

TEST(SendRequest, HandsTwelveBytesToAnOpenSlotAndNothingToAClosedOne) {
  RecordingPort port;
  EXPECT_TRUE(SendRequest(port, 3, ReadRealTimeRequest()));
  EXPECT_FALSE(SendRequest(port, 5, ReadRealTimeRequest()));
  EXPECT_FALSE(SendRequest(port, 0, ReadRealTimeRequest()));
  ASSERT_EQ(port.writes.size(), 1U);
  EXPECT_EQ(port.writes[0].first, 3);
  ASSERT_EQ(port.writes[0].second.size(), 12U);
  EXPECT_EQ(port.writes[0].second[10], 0xAA);
  EXPECT_EQ(port.writes[0].second[11], 0x0D);
}

}  // namespace
}  // namespace quorvel
