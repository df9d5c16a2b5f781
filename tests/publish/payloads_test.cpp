// Topics and what the messages say, by table.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "publish/json_text.h"
#include "publish/payloads.h"
#include "publish/topics.h"

namespace quorvel::publish {
namespace {

using namespace std::chrono;

WallClock::time_point At(long long milliseconds) {
  return WallClock::time_point{std::chrono::milliseconds{milliseconds}};
}

QJsonObject Parsed(const std::string& json) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
  EXPECT_TRUE(document.isObject()) << json;
  return document.object();
}

struct TextCase {
  const char* given;
  const char* expected;
};

TEST(Topics, LevelsAndNamesFromAnyText) {
  for (const TextCase& c :
       {TextCase{"12345678", "12345678"}, TextCase{"a/b", "a_b"}, TextCase{"+#x", "__x"}, TextCase{"", "_"},
        TextCase{"two words", "two_words"}, TextCase{"tab\there", "tab_here"}, TextCase{"Zähler", "Zähler"}}) {
    EXPECT_EQ(TopicLevel(c.given), c.expected) << c.given;
  }
  for (const TextCase& c :
       {TextCase{"lab-pc_2", "lab-pc_2"}, TextCase{"a.b c", "a_b_c"}, TextCase{"Zä", "Z__"}, TextCase{"", "_"}}) {
    EXPECT_EQ(DiscoveryName(c.given), c.expected) << c.given;
  }
}

TEST(Topics, EveryTopicOfAMeter) {
  const TopicScheme scheme{"house/meters", "homeassistant", "lab pc"};
  EXPECT_EQ(StateTopic(scheme, "12345678"), "house/meters/12345678/state");
  EXPECT_EQ(InfoTopic(scheme, "12345678"), "house/meters/12345678/info");
  EXPECT_EQ(AvailabilityTopic(scheme, "12345678"), "house/meters/12345678/availability");
  EXPECT_EQ(BridgeStatusTopic(scheme), "house/meters/bridge/lab_pc/status");
  EXPECT_EQ(DiscoveryTopic(scheme, "12345678", "energy"), "homeassistant/sensor/quorvel_12345678/energy/config");
  // Before its number is known a meter goes by its port, on this client.
  EXPECT_EQ(PortMeterId("lab pc", 3), "lab_pc-COM3");
  EXPECT_EQ(DiscoveryTopic(scheme, PortMeterId("lab pc", 3), "power"),
            "homeassistant/sensor/quorvel_lab_pc-COM3/power/config");
}

TEST(Topics, PrefixesThatCannotBeUsed) {
  for (const char* fine : {"quorvel", "house/meters", "a-b_c.d", "Zähler"}) {
    EXPECT_FALSE(TopicPrefixProblem(fine)) << fine;
  }
  for (const TextCase& c :
       {TextCase{"", "empty"}, TextCase{"/q", "'/'"}, TextCase{"q/", "'/'"}, TextCase{"a//b", "empty level"},
        TextCase{"a/+/b", "'+'"}, TextCase{"q/#", "'#'"}, TextCase{"$SYS", "'$'"}, TextCase{"a\nb", "control"}}) {
    const auto problem = TopicPrefixProblem(c.given);
    ASSERT_TRUE(problem) << c.given;
    EXPECT_NE(problem->find(c.expected), std::string::npos) << *problem;
  }
}

struct TimeCase {
  long long milliseconds;
  int offset_seconds;
  const char* expected;
};

TEST(Payloads, TimesInIso8601WithTheOffset) {
  for (const TimeCase& c : {
           TimeCase{0, 0, "1970-01-01T00:00:00.000+00:00"},
           TimeCase{-1, 0, "1969-12-31T23:59:59.999+00:00"},
           TimeCase{1714566896789, 7200, "2024-05-01T14:34:56.789+02:00"},
           TimeCase{1714566896789, -18000, "2024-05-01T07:34:56.789-05:00"},
           TimeCase{1704067199999, 19800, "2024-01-01T05:29:59.999+05:30"},
           TimeCase{1704067199999, -12600, "2023-12-31T20:29:59.999-03:30"},
           TimeCase{1704067199999, 20700, "2024-01-01T05:44:59.999+05:45"},
       }) {
    EXPECT_EQ(IsoTime(At(c.milliseconds), c.offset_seconds), c.expected) << c.milliseconds << " " << c.offset_seconds;
  }
}

TEST(Payloads, TheComputersOffsetComesWithTheTime) {
  // A time in summer and one in winter, in a zone with daylight saving time.
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);  // a POSIX rule: no time zone database needed
  tzset();
  EXPECT_EQ(LocalUtcOffsetSeconds(At(1714566896789)), 7200);
  EXPECT_EQ(LocalUtcOffsetSeconds(At(1704067199999)), 3600);
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(LocalUtcOffsetSeconds(At(1714566896789)), 0);
  unsetenv("TZ");
  tzset();
}

TEST(Payloads, AReadingAsOneJsonObject) {
  StampedReading reading;
  reading.slot = 3;
  reading.values = {230.4F, 5.0F, 1092.5F, -0.95F, 1234.56};
  reading.co2_factor = 0.785F;
  reading.time = At(1714566896789);
  reading.utc_offset_seconds = 7200;
  EXPECT_EQ(StateJson(reading),
            R"({"time":"2024-05-01T14:34:56.789+02:00","voltage":230.4,"current":5.00,"power":1092.5,)"
            R"("power_factor":-0.95,"energy":1234.56,"co2":969.130,"slot":3})");

  // Before the meter's CO2 factor is read there is no CO2 figure, not a zero.
  reading.co2_factor.reset();
  reading.values = {0.0F, 0.0F, 0.0F, -0.0F, 0.0};
  const QJsonObject json = Parsed(StateJson(reading));
  EXPECT_TRUE(json["co2"].isNull());
  EXPECT_EQ(json["power_factor"].toDouble(), 0.0);
  EXPECT_NE(StateJson(reading).find(R"("power_factor":0.00,)"), std::string::npos);
}

TEST(Payloads, WhatWasReadOfAMeter) {
  MeterInfo info;
  info.slot = 12;
  EXPECT_EQ(InfoJson(info),
            R"({"slot":12,"port":"COM12","meter_number":null,"price1":null,"price2":null,"tier_limit":null,)"
            R"("energy_limit":null,"cost_limit":null,"co2_factor":null})");
  info.meter_number = "00123456";
  info.tariff = TariffInfo{125, 150, 100};
  info.limits = LimitInfo{500.9, 80};
  info.co2_factor = 0.785F;
  EXPECT_EQ(InfoJson(info),
            R"({"slot":12,"port":"COM12","meter_number":"00123456","price1":12.5,"price2":15.0,"tier_limit":100,)"
            R"("energy_limit":500,"cost_limit":80,"co2_factor":0.785})");
}

TEST(Payloads, JsonStringsAreEscaped) {
  for (const TextCase& c : {TextCase{"plain", "\"plain\""}, TextCase{"a\"b\\c", R"("a\"b\\c")"},
                            TextCase{"line\nend\x01", R"("line\u000aend\u0001")"}, TextCase{"Zähler", "\"Zähler\""},
                            TextCase{"bad\xff", R"("bad\ufffd")"}, TextCase{"\xe2\x82", R"("\ufffd\ufffd")"}}) {
    EXPECT_EQ(JsonString(c.given), c.expected) << c.given;
  }
  EXPECT_EQ(JsonNumber(std::numeric_limits<double>::quiet_NaN(), 2), "null");
  EXPECT_EQ(JsonNumber(-0.001, 2), "0.00");
  EXPECT_EQ(JsonNumber(-0.5, 2), "-0.50");
}

}  // namespace
}  // namespace quorvel::publish
