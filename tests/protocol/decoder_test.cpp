#include "protocol/decoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "model/reading_fields.h"
#include "tests/support/answer_bytes.h"

// What the decoder writes into the device table and says it decoded. What
// is shown of it is the presenter's (tests/device/answer_presenter_test.cpp).
namespace quorvel {
namespace {

using testing::Bytes;
using testing::Data;
using testing::MonthAnswer;
using testing::RealTime;
using testing::RealTimeAnswer;

class DecoderTest : public ::testing::Test {
 protected:
  DecodeOutcome Decode(int slot, const Data& d) { return decoder.Decode(slot, d); }
  DeviceRecord& Record(int slot) { return devices.Slot(slot).Record; }
  MeterSettings& Settings() { return devices.Settings(); }

  DeviceTable devices;
  ResponseDecoder decoder{devices};
};

TEST_F(DecoderTest, RealTimeAnswerFillsTheRecord) {
  RealTime r;
  r.current = 0x01F4;
  r.voltage = 0x08FC;
  r.factor = 0x0064;
  r.energy = 0x000186A0;
  const DecodeOutcome outcome = Decode(1, RealTimeAnswer(r));
  EXPECT_EQ(outcome.status, DecodeStatus::kHandled);
  EXPECT_EQ(outcome.slot, 1);
  const DeviceRecord& rec = Record(1);
  EXPECT_EQ(rec.Year, 9);
  EXPECT_EQ(rec.Month, 6);
  EXPECT_EQ(rec.Day, 23);
  EXPECT_EQ(rec.Weekday, 3);
  EXPECT_EQ(rec.Hour, 9);
  EXPECT_EQ(rec.Minute, 30);
  EXPECT_FLOAT_EQ(rec.Current, 5.00F);
  EXPECT_FLOAT_EQ(rec.Voltage, 230.0F);
  EXPECT_FLOAT_EQ(rec.Power, 1150.0F);
  EXPECT_FLOAT_EQ(rec.PowerFactor, 1.00F);
  EXPECT_DOUBLE_EQ(rec.Energy, 1000.00);
  // The answer returns the reading as the record holds it.
  ASSERT_TRUE(outcome.reading.has_value());
  EXPECT_EQ(std::memcmp(&*outcome.reading, &rec, sizeof rec), 0);
}

TEST_F(DecoderTest, OnlyARealTimeAnswerCarriesAReading) {
  EXPECT_FALSE(Decode(1, Bytes({0x81, 9, 7, 5, 1, 14, 7})).reading.has_value());
  EXPECT_FALSE(Decode(1, Bytes({0xC7, 7, 85})).reading.has_value());
  EXPECT_FALSE(Decode(0, RealTimeAnswer({})).reading.has_value());  // no such slot
  EXPECT_EQ(Decode(0, RealTimeAnswer({})).status, DecodeStatus::kIgnored);
}

TEST_F(DecoderTest, PowerFactorSignRule) {
  struct Case {
    int raw;
    float value;
  };
  for (const Case c : {Case{0x0064, 1.00F}, Case{0x00DF, -0.95F}, Case{0x0080, 1.28F}, Case{0x0081, -0.01F},
                       Case{0x0000, 0.00F}, Case{0xFFFF, -654.07F}}) {
    RealTime r;
    r.factor = c.raw;
    Decode(1, RealTimeAnswer(r));
    EXPECT_FLOAT_EQ(Record(1).PowerFactor, c.value) << c.raw;
  }
}

// Each reading of the table lands in its record member at its scale, read
// from where the table says the answer carries it.
TEST_F(DecoderTest, EveryFieldOfTheTableIsReadFromItsBytes) {
  for (const ReadingFieldRow& entry : kReadingFields) {
    Data d = RealTimeAnswer({});
    const std::size_t width = entry.coding == WireCoding::kLong ? 4 : 2;
    for (std::size_t i = 0; i < width; ++i) d[entry.offset + i] = 0;
    d[entry.offset + width - 1] = 100;  // 100 in the last byte: 100 / scale
    Decode(6, d);
    EXPECT_DOUBLE_EQ(entry.member.Get(Record(6)), 100.0 / entry.scale) << entry.name;
  }
}

TEST_F(DecoderTest, LeapYearOpensThe29thOfFebruary) {
  RealTime r;
  r.year = 11;
  Decode(2, RealTimeAnswer(r));
  EXPECT_EQ(devices.Slot(2).History[1][28], kNoSuchDay);
  r.year = 12;
  Decode(2, RealTimeAnswer(r));
  EXPECT_EQ(devices.Slot(2).History[1][28], 0.0);
  EXPECT_EQ(devices.Slot(2).History[1][29], kNoSuchDay);
}

TEST_F(DecoderTest, MonthAnswerStoresDayDifferences) {
  std::vector<std::uint32_t> counters{100, 250, 250, 0xFFFFFFFF, 400};
  for (int j = 5; j < 30; ++j) counters.push_back(400 + static_cast<std::uint32_t>(j - 4) * 10);
  counters.push_back(0xDEADBEEF);  // day 31 of April: never read
  EXPECT_EQ(Decode(3, MonthAnswer(4, counters)).status, DecodeStatus::kHandled);
  const auto& april = devices.Slot(3).History[3];
  EXPECT_DOUBLE_EQ(april[0], 1.00);
  EXPECT_DOUBLE_EQ(april[1], 1.50);
  EXPECT_DOUBLE_EQ(april[2], 0.00);
  EXPECT_DOUBLE_EQ(april[3], 0.00);
  EXPECT_DOUBLE_EQ(april[4], 1.50);
  EXPECT_DOUBLE_EQ(april[5], 0.10);
  EXPECT_EQ(april[30], kNoSuchDay);
  EXPECT_EQ(devices.Slot(3).HistoryLoaded, 0);
  EXPECT_EQ(NotAnswered(devices.Slot(3).MonthsRead), (std::vector<int>{1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST_F(DecoderTest, MonthCounterBelowThePreviousDayIsStoredAsTheUnsignedDifference) {
  Decode(1, MonthAnswer(1, {500, 400, 999999, 600}));
  const auto& january = devices.Slot(1).History[0];
  EXPECT_DOUBLE_EQ(january[0], 5.00);
  EXPECT_DOUBLE_EQ(january[1], (4294967296.0 - 100.0) / 100.0);
  EXPECT_DOUBLE_EQ(january[2], 0.0);  // 999999: no reading
  EXPECT_DOUBLE_EQ(january[3], 2.00);
}

TEST_F(DecoderTest, MonthAnswerOutsideTheTableIsIgnored) {
  const DeviceTable untouched;
  for (const int month : {0, 13, 255}) {
    const DecodeOutcome outcome = Decode(1, MonthAnswer(month, {100, 200}));
    EXPECT_EQ(outcome.status, DecodeStatus::kIgnored);
    EXPECT_EQ(outcome.index, month);
  }
  EXPECT_EQ(devices.Slot(1).History, untouched.Slot(1).History);
  EXPECT_EQ(devices.Slot(1).HistoryLoaded, 0);
}

TEST_F(DecoderTest, ClockAnswerSetsTheClockOfItsSlotOnly) {
  Decode(9, Bytes({0x81, 9, 7, 5, 1, 14, 7}));
  EXPECT_EQ(Record(9).Year, 9);
  EXPECT_EQ(Record(9).Month, 7);
  EXPECT_EQ(Record(9).Day, 5);
  EXPECT_EQ(Record(9).Weekday, 1);
  EXPECT_EQ(Record(9).Hour, 14);
  EXPECT_EQ(Record(9).Minute, 7);
  EXPECT_EQ(Record(8).Year, 0);
}

TEST_F(DecoderTest, TariffAnswersOfEveryKindUsePairs) {
  for (int kind = 0x86; kind <= 0x8A; ++kind) {
    EXPECT_EQ(Decode(1, Bytes({kind, 50, 0, 3, 5, 4, 0})).status, DecodeStatus::kHandled);
  }
  EXPECT_EQ(Settings().TierLimit, 5000);
  EXPECT_EQ(Settings().Price1, 305);
  EXPECT_EQ(Settings().Price2, 400);

  Decode(1, Bytes({0x86, 0x64, 0x00}));  // a pair byte above 99 just counts on
  EXPECT_EQ(Settings().TierLimit, 10000);
}

TEST_F(DecoderTest, TimerAnswersAreStoredByTheirNumber) {
  EXPECT_EQ(Decode(1, Bytes({0x98, 20, 9, 8, 0, 17, 30})).status, DecodeStatus::kHandled);
  const TimerEntry& t = Settings().Timers[19];
  EXPECT_EQ(t.Mode, 9);
  EXPECT_EQ(t.OnHour, 8);
  EXPECT_EQ(t.OffMinute, 30);

  Decode(1, Bytes({0xAB, 1, 2, 0xFF, 0xFF, 0xFF, 0xFF}));  // unset times read as 0
  EXPECT_EQ(Settings().Timers[0].OnHour, 0);
  EXPECT_EQ(Settings().Timers[0].OffMinute, 0);
  EXPECT_EQ(NotAnswered(Settings().TimersRead).size(), 18U);  // 1 and 20 answered
}

TEST_F(DecoderTest, TimerNumbersOutsideOneToTwentyAreIgnored) {
  const auto before = Settings().Timers;
  for (const int n : {0, 21, 255}) {
    const DecodeOutcome outcome = Decode(1, Bytes({0x9A, n, 9, 8, 0, 17, 30}));
    EXPECT_EQ(outcome.status, DecodeStatus::kIgnored);
    EXPECT_EQ(outcome.index, n);
  }
  EXPECT_EQ(std::memcmp(&before, &Settings().Timers, sizeof before), 0);
}

TEST_F(DecoderTest, LimitsAnswerSetsTheShutdownOnlyForOne) {
  Decode(1, Bytes({0xAC, 3, 0, 1, 0, 1}));
  EXPECT_EQ(Settings().EnergyLimit, 300);
  EXPECT_EQ(Settings().CostLimit, 100);
  EXPECT_TRUE(Settings().ShutdownAtLimit);
  for (const int flag : {0, 2, 0xFF}) {
    Decode(1, Bytes({0xAC, 3, 0, 1, 0, flag}));
    EXPECT_FALSE(Settings().ShutdownAtLimit) << flag;
  }
}

TEST_F(DecoderTest, Co2FactorIsPerSlot) {
  Decode(4, Bytes({0xC7, 7, 85}));
  EXPECT_FLOAT_EQ(devices.Slot(4).Co2Factor, 0.785F);
  EXPECT_EQ(devices.Slot(5).Co2Factor, 0.0F);
}

TEST_F(DecoderTest, MeterNumberPrintsEachByte) {
  Decode(1, Bytes({0xC8, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(Settings().MeterNumber, "12345678");
  Decode(1, Bytes({0xC8, 0, 0, 12, 0, 0, 0, 0, 255}));
  EXPECT_EQ(Settings().MeterNumber, "00120000255");
}

TEST_F(DecoderTest, AcknowledgementsChangeNothing) {
  const DeviceTable untouched;
  for (const int kind : {0x01, 0x06, 0x18, 0x2C, 0x47}) {
    const DecodeOutcome outcome = Decode(1, Bytes({kind, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(outcome.status, DecodeStatus::kHandled);
    EXPECT_EQ(outcome.kind, kind);
  }
  EXPECT_EQ(Settings().TierLimit, untouched.Settings().TierLimit);
}

TEST_F(DecoderTest, UnknownKindsAreReportedUnhandled) {
  for (const int kind : {0x00, 0x02, 0x85, 0x8C, 0xD0, 0xFF}) {
    EXPECT_EQ(Decode(1, Bytes({kind})).status, DecodeStatus::kUnhandled) << kind;
  }
}

}  // namespace
}  // namespace quorvel
