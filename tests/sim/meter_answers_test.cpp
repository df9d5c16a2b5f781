// Answers of the meter, byte for byte, written out by hand from the answer
// tables (the trailer is the low byte of length + data).
#include <gtest/gtest.h>

#include "sim/meter_model.h"
#include "tests/sim/sim_test_support.h"

namespace quorvel::sim::test {
namespace {

struct AnswerCase {
  const char* name;
  RequestFrame request;
  Bytes expected;
};

void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }

class FreshMeterAnswers : public ::testing::TestWithParam<AnswerCase> {};

// A fresh meter on Sunday 5 July 2009 at 14:07, pinned to 5.00 A at 230.0 V
// with a leading factor of 0.95 and a counter of 1000.00 kWh.
TEST_P(FreshMeterAnswers, AreByteExact) {
  MeterModel model(Options(kSunday), kT0);
  model.ForceLoad({5.0, 230.0, -0.95});
  model.SetEnergyCounter(100000);
  EXPECT_EQ(model.Answer(GetParam().request), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, FreshMeterAnswers,
    ::testing::Values(
        AnswerCase{"ack_clock", Request(0x01, {9, 7, 5, 0, 14, 7}), {0x55, 0x02, 0x01, 0x03, 0xAA}},
        AnswerCase{"ack_tariff", Request(0x06, {50, 0, 3, 0, 4, 0}), {0x55, 0x02, 0x06, 0x08, 0xAA}},
        AnswerCase{"ack_timer", Request(0x18, {1, 1, 6, 0, 7, 0}), {0x55, 0x02, 0x18, 0x1A, 0xAA}},
        AnswerCase{"ack_limits", Request(0x2C, {3, 0, 1, 0, 0}), {0x55, 0x02, 0x2C, 0x2E, 0xAA}},
        AnswerCase{"ack_co2", Request(0x47, {7, 85}), {0x55, 0x02, 0x47, 0x49, 0xAA}},
        AnswerCase{"ack_reset_timers", Request(0xD0), {0x55, 0x02, 0xD0, 0xD2, 0xAA}},
        // Week day 1 = Sunday on the wire.
        AnswerCase{"clock", Request(0x81), {0x55, 0x08, 0x81, 0x09, 0x07, 0x05, 0x01, 0x0E, 0x07, 0xB4, 0xAA}},
        AnswerCase{
            "tariff_defaults", Request(0x86, {1}), {0x55, 0x08, 0x86, 0x32, 0x00, 0x03, 0x00, 0x04, 0x00, 0xC7, 0xAA}},
        AnswerCase{"tariff_third_read",
                   Request(0x86, {3}),
                   {0x55, 0x08, 0x88, 0x32, 0x00, 0x03, 0x00, 0x04, 0x00, 0xC9, 0xAA}},
        // 500 = 0x01F4 (5.00 A), 2300 = 0x08FC (230.0 V), 230 x 5 x 0.95 =
        // 1092.5 W = 0x2AAD, -0.95 -> 128 + 95 = 0xDF, 100000 = 0x000186A0.
        AnswerCase{"real_time", Request(0x97), {0x55, 0x14, 0x97, 0x09, 0x07, 0x05, 0x01, 0x0E, 0x07, 0x01, 0xF4, 0x08,
                                                0xFC, 0x2A, 0xAD, 0x00, 0xDF, 0x00, 0x01, 0x86, 0xA0, 0xAC, 0xAA}},
        // Never-set timers: mode 0, all times 0xFF; the kind is 0x97 + n.
        AnswerCase{
            "timer_1_unset", Request(0x98, {1}), {0x55, 0x08, 0x98, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x9D, 0xAA}},
        AnswerCase{
            "timer_20_unset", Request(0x98, {20}), {0x55, 0x08, 0xAB, 0x14, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xC3, 0xAA}},
        AnswerCase{"limits_none", Request(0xAC), {0x55, 0x07, 0xAC, 0x00, 0x00, 0x00, 0x00, 0x00, 0xB3, 0xAA}},
        // 785 -> 7, 85; the 85 is 0x55, a start byte inside the data.
        AnswerCase{"co2_default", Request(0xC7), {0x55, 0x04, 0xC7, 0x07, 0x55, 0x27, 0xAA}},
        AnswerCase{"meter_number",
                   Request(0xC8),
                   {0x55, 0x0A, 0xC8, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xF6, 0xAA}}),
    CaseName{});

struct SilentCase {
  const char* name;
  RequestFrame request;
};

void PrintTo(const SilentCase& c, std::ostream* os) { *os << c.name; }

class Unanswered : public ::testing::TestWithParam<SilentCase> {};

TEST_P(Unanswered, GetsNoAnswer) {
  MeterModel model(Options(kSunday), kT0);
  EXPECT_TRUE(model.Answer(GetParam().request).empty());
}

RequestFrame WithTail(std::uint8_t end, std::uint8_t last) {
  RequestFrame frame = Request(0x97);
  frame[10] = end;
  frame[11] = last;
  return frame;
}

INSTANTIATE_TEST_SUITE_P(Requests, Unanswered,
                         ::testing::Values(SilentCase{"code_00", Request(0x00)}, SilentCase{"code_02", Request(0x02)},
                                           // Answer kinds that are not request codes themselves.
                                           SilentCase{"code_87", Request(0x87, {1})},
                                           SilentCase{"code_99", Request(0x99, {2})},
                                           SilentCase{"code_FF", Request(0xFF)},
                                           SilentCase{"timer_0", Request(0x98, {0})},
                                           SilentCase{"timer_21", Request(0x98, {21})},
                                           SilentCase{"write_timer_0", Request(0x18, {0, 1, 6, 0, 7, 0})},
                                           SilentCase{"write_timer_21", Request(0x18, {21, 1, 6, 0, 7, 0})},
                                           SilentCase{"bad_end_byte", WithTail(0xAB, 0x0D)},
                                           SilentCase{"bad_last_byte", WithTail(0xAA, 0x0A)}),
                         CaseName{});

// A month set unanswered gets no answer until it is set answered again;
// the other months answer meanwhile.
TEST(MonthHistory, AMonthSetUnansweredIsNotAnswered) {
  MeterModel model(Options(kSunday), kT0);
  model.SetMonthUnanswered(7, true);
  const struct {
    int month;
    bool answered;
  } cases[] = {{7, false}, {6, true}, {8, true}, {0, true}, {13, true}};
  for (const auto& c : cases) {
    EXPECT_EQ(!model.Answer(Request(0x8B, {static_cast<std::uint8_t>(c.month)})).empty(), c.answered) << c.month;
  }
  model.SetMonthUnanswered(7, false);
  EXPECT_FALSE(model.Answer(Request(0x8B, {7})).empty());
}

TEST(TariffReadKind, IsCountClampedIntoItsRange) {
  MeterModel model(Options(kSunday), kT0);
  const std::pair<std::uint8_t, std::uint8_t> cases[] = {{0, 0x86}, {1, 0x86}, {2, 0x87},
                                                         {5, 0x8A}, {6, 0x8A}, {255, 0x8A}};
  for (const auto& [count, kind] : cases) {
    const Bytes answer = Ask(model, 0x86, {count});
    ASSERT_EQ(answer.size(), 11U);
    EXPECT_EQ(answer[2], kind) << "count " << int{count};
  }
}

TEST(Writes, AreKeptAndReadBack) {
  MeterModel model(Options(kSunday), kT0);
  // Tier 1500 kWh, prices 30.5 and 45.5 cents.
  Ask(model, 0x06, {15, 0, 3, 5, 4, 55});
  EXPECT_EQ(Ask(model, 0x86, {1}), (Bytes{0x55, 0x08, 0x86, 0x0F, 0x00, 0x03, 0x05, 0x04, 0x37, 0xE0, 0xAA}));
  EXPECT_EQ(model.Tariff().tier_limit, 1500);
  EXPECT_EQ(model.Tariff().price1, 305);
  EXPECT_EQ(model.Tariff().price2, 455);

  Ask(model, 0x2C, {3, 0, 1, 0, 1});  // 300 kWh, $100, shut down
  EXPECT_EQ(Ask(model, 0xAC), (Bytes{0x55, 0x07, 0xAC, 0x03, 0x00, 0x01, 0x00, 0x01, 0xB8, 0xAA}));

  Ask(model, 0x47, {9, 99});  // 0.999 kg/kWh
  EXPECT_EQ(Ask(model, 0xC7), (Bytes{0x55, 0x04, 0xC7, 0x09, 0x63, 0x37, 0xAA}));
  EXPECT_EQ(model.Co2FactorMilli(), 999);

  // Timer 20: mode 3, on 06:30, off 22:15.
  Ask(model, 0x18, {20, 3, 6, 30, 22, 15});
  EXPECT_EQ(Ask(model, 0x98, {20}), (Bytes{0x55, 0x08, 0xAB, 0x14, 0x03, 0x06, 0x1E, 0x16, 0x0F, 0x13, 0xAA}));
  EXPECT_EQ(model.Timer(19), TimerSetting{});  // its neighbour is untouched
}

TEST(Writes, KeepPairBytesAboveNinetyNineAsWritten) {
  // The dashboard reads 0x64 0x00 as 10000; the meter must not "fix" it.
  MeterModel model(Options(kSunday), kT0);
  Ask(model, 0x2C, {0x64, 0, 0, 0x63, 0});
  EXPECT_EQ(Ask(model, 0xAC), (Bytes{0x55, 0x07, 0xAC, 0x64, 0x00, 0x00, 0x63, 0x00, 0x7A, 0xAA}));
  EXPECT_EQ(model.Limits().energy_limit, 10000);
}

TEST(ResetTimers, ClearsEveryTimer) {
  MeterModel model(Options(kSunday), kT0);
  for (std::uint8_t n = 1; n <= 20; ++n) Ask(model, 0x18, {n, 1, n, 0, n, 30});
  ASSERT_EQ(model.Timer(7).on_hour, 7);
  EXPECT_EQ(Ask(model, 0xD0), (Bytes{0x55, 0x02, 0xD0, 0xD2, 0xAA}));
  for (int n = 1; n <= 20; ++n) EXPECT_EQ(model.Timer(n), TimerSetting{}) << "timer " << n;
  EXPECT_EQ(Ask(model, 0x98, {1}), (Bytes{0x55, 0x08, 0x98, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x9D, 0xAA}));
}

TEST(ClockWrite, SetsTheClockWhichThenRunsOn) {
  MeterModel model(Options(kSunday), kT0);
  // Saturday 3 March 2012, 23:59 (week day 6 on the way in, 7 on the way out).
  EXPECT_EQ(Ask(model, 0x01, {12, 3, 3, 6, 23, 59}), (Bytes{0x55, 0x02, 0x01, 0x03, 0xAA}));
  EXPECT_EQ(Ask(model, 0x81), (Bytes{0x55, 0x08, 0x81, 0x0C, 0x03, 0x03, 0x07, 0x17, 0x3B, 0xF4, 0xAA}));
  model.AdvanceTo(kT0 + std::chrono::minutes{1});
  EXPECT_EQ(Ask(model, 0x81), (Bytes{0x55, 0x08, 0x81, 0x0C, 0x03, 0x04, 0x01, 0x00, 0x00, 0x9D, 0xAA}));
}

TEST(ClockWrite, KeepsAWrongWeekDayAndStepsItAtMidnight) {
  // A real-time clock chip keeps the week day it is given; the dashboard
  // must work the day out from the date rather than trust it.
  MeterModel model(Options(kSunday), kT0);
  Ask(model, 0x01, {12, 3, 3, 2, 23, 59});  // a Saturday, sent as Tuesday
  EXPECT_EQ(model.Clock().weekday, 2);
  model.AdvanceTo(kT0 + std::chrono::minutes{2});
  EXPECT_EQ(model.Clock().day, 4);
  EXPECT_EQ(model.Clock().weekday, 3);
}

TEST(ClockWrite, IgnoresImpossibleTimesButStillAcknowledges) {
  const std::initializer_list<std::uint8_t> impossible[] = {
      {12, 2, 30, 4, 10, 0},  // 30 February
      {11, 2, 29, 2, 10, 0},  // 29 February of a common year
      {12, 13, 1, 0, 10, 0},  // month 13
      {12, 0, 1, 0, 10, 0},   // month 0
      {12, 3, 0, 0, 10, 0},   // day 0
      {12, 3, 1, 4, 24, 0},   // hour 24
      {12, 3, 1, 4, 10, 60},  // minute 60
      {100, 3, 1, 4, 10, 0},  // year 2100
  };
  for (const auto& params : impossible) {
    MeterModel model(Options(kSunday), kT0);
    EXPECT_EQ(Ask(model, 0x01, params), (Bytes{0x55, 0x02, 0x01, 0x03, 0xAA}));
    const MeterClock clock = model.Clock();
    EXPECT_EQ(clock.year, 2009);
    EXPECT_EQ(clock.month, 7);
    EXPECT_EQ(clock.day, 5);
    EXPECT_EQ(clock.hour, 14);
  }
}

TEST(RealTime, EncodesThePowerFactorSign) {
  struct Case {
    double factor;
    std::uint8_t low;  // D14; D13 stays 0
  };
  const Case cases[] = {{1.0, 100}, {0.5, 50}, {0.0, 0}, {-0.01, 129}, {-0.5, 178}, {-1.0, 228}};
  for (const Case& c : cases) {
    MeterModel model(Options(kSunday), kT0);
    model.ForceLoad({1.0, 230.0, c.factor});
    const Bytes answer = Ask(model, 0x97);
    ASSERT_EQ(answer.size(), 23U);
    EXPECT_EQ(answer[15], 0) << c.factor;
    EXPECT_EQ(answer[16], c.low) << c.factor;
  }
}

TEST(MeterNumber, IsEightDigitsAndFollowsTheSeed) {
  MeterModel a(Options(kSunday, 1, std::nullopt), kT0);
  MeterModel b(Options(kSunday, 1, std::nullopt), kT0);
  MeterModel c(Options(kSunday, 2, std::nullopt), kT0);
  EXPECT_EQ(a.MeterNumberDigits(), b.MeterNumberDigits());
  EXPECT_NE(a.MeterNumberDigits(), c.MeterNumberDigits());
  for (const std::uint8_t digit : a.MeterNumberDigits()) EXPECT_LE(digit, 9);
  EXPECT_NE(a.MeterNumberDigits()[0], 0);

  // A given number keeps its leading zeros.
  MeterModel d(Options(kSunday, 1, 42), kT0);
  EXPECT_EQ(d.MeterNumberDigits(), (std::array<std::uint8_t, 8>{0, 0, 0, 0, 0, 0, 4, 2}));
}

}  // namespace
}  // namespace quorvel::sim::test
