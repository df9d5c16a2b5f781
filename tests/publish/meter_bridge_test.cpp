// The messages each meter event becomes, and Home Assistant's configs.
#include "publish/meter_bridge.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "publish/discovery.h"

namespace quorvel::publish {
namespace {

constexpr std::size_t kFields = 6;

QJsonObject Parsed(const std::string& json) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
  return document.object();
}

BridgeOptions Options(std::size_t held = 3) {
  BridgeOptions options;
  options.scheme = TopicScheme{"quorvel", "homeassistant", "lab"};
  options.sw_version = "0.1.0";
  options.held_readings = held;
  return options;
}

StampedReading Reading(int slot, float power) {
  StampedReading reading;
  reading.slot = slot;
  reading.values = {230.0F, power / 230.0F, power, 1.0F, 12.5};
  reading.time = WallClock::time_point{std::chrono::seconds{1714566896}};
  return reading;
}

std::vector<std::string> Topics(const std::vector<Message>& messages) {
  std::vector<std::string> topics;
  for (const Message& m : messages)
    topics.push_back(m.topic + (m.retained ? "" : " (reading)") + (m.payload.empty() ? " (cleared)" : ""));
  return topics;
}

std::vector<std::string> Announcement(const std::string& id) {
  std::vector<std::string> topics;
  for (const FieldSpec& f : PublishedFields())
    topics.push_back("homeassistant/sensor/quorvel_" + id + "/" + f.key + "/config");
  topics.push_back("quorvel/" + id + "/info");
  topics.push_back("quorvel/" + id + "/availability");
  return topics;
}

std::vector<std::string> Cleared(const std::string& id) {
  std::vector<std::string> topics;
  for (const FieldSpec& f : PublishedFields()) {
    topics.push_back("homeassistant/sensor/quorvel_" + id + "/" + f.key + "/config (cleared)");
  }
  topics.push_back("quorvel/" + id + "/info (cleared)");
  topics.push_back("quorvel/" + id + "/availability (cleared)");
  return topics;
}

template <typename... Lists>
std::vector<std::string> Join(const Lists&... lists) {
  std::vector<std::string> all;
  (all.insert(all.end(), lists.begin(), lists.end()), ...);
  return all;
}

TEST(MeterBridge, AMeterIsAnnouncedUnderItsNumberAndItsReadingsWaitForIt) {
  MeterBridge bridge(Options());
  EXPECT_TRUE(bridge.Opened(3).empty());  // not known yet
  EXPECT_TRUE(bridge.ReadingTaken(Reading(3, 100)).empty());
  EXPECT_TRUE(bridge.Co2FactorRead(3, 0.5).empty());
  const std::vector<Message> messages = bridge.NumberRead(3, "12345678");
  EXPECT_EQ(Topics(messages),
            Join(Announcement("12345678"), std::vector<std::string>{"quorvel/12345678/state (reading)"}));
  for (std::size_t i = 0; i < kFields + 2; ++i) {
    EXPECT_TRUE(messages[i].retained);
    EXPECT_EQ(messages[i].qos, 1);
  }
  EXPECT_EQ(messages[kFields + 1].payload, "online");
  EXPECT_EQ(Parsed(messages[kFields].payload)["meter_number"].toString(), "12345678");
  EXPECT_EQ(messages.back().qos, 0);
  EXPECT_TRUE(Parsed(messages.back().payload)["co2"].isNull());  // taken before the factor came

  const std::vector<Message> next = bridge.ReadingTaken(Reading(3, 200));
  ASSERT_EQ(Topics(next), std::vector<std::string>{"quorvel/12345678/state (reading)"});
  EXPECT_DOUBLE_EQ(Parsed(next[0].payload)["co2"].toDouble(), 6.25);
  EXPECT_EQ(Topics(bridge.Co2FactorRead(3, 0.6)), std::vector<std::string>{"quorvel/12345678/info"});
}

TEST(MeterBridge, AMeterWhoseNumberDoesNotComeGoesByItsPortUntilItDoes) {
  MeterBridge bridge(Options(3));
  bridge.Opened(5);
  EXPECT_TRUE(bridge.ReadingTaken(Reading(5, 1)).empty());
  EXPECT_TRUE(bridge.ReadingTaken(Reading(5, 2)).empty());
  const std::vector<Message> third = bridge.ReadingTaken(Reading(5, 3));
  EXPECT_EQ(Topics(third),
            Join(Announcement("lab-COM5"), std::vector<std::string>(3, "quorvel/lab-COM5/state (reading)")));
  EXPECT_EQ(Parsed(third[0].payload)["device"].toObject()["name"].toString(), "QUORVEL meter on COM5 on lab");
  EXPECT_EQ(bridge.IdOf(5), "lab-COM5");

  // The number at last: the port's topics are cleared, the meter announced.
  EXPECT_EQ(Topics(bridge.NumberRead(5, "00000042")), Join(Cleared("lab-COM5"), Announcement("00000042")));
  EXPECT_EQ(Topics(bridge.ReadingTaken(Reading(5, 4))), std::vector<std::string>{"quorvel/00000042/state (reading)"});
}

struct AvailabilityStep {
  const char* event;
  std::vector<std::string> payloads;  // of the availability messages
};

TEST(MeterBridge, AvailabilityFollowsThePort) {
  MeterBridge bridge(Options());
  bridge.Opened(2);
  bridge.NumberRead(2, "7");
  const std::vector<AvailabilityStep> steps{
      {"lost", {"offline"}}, {"lost", {}}, {"returned", {"online"}}, {"closed", {"offline"}}, {"opened", {"online"}},
  };
  for (const AvailabilityStep& step : steps) {
    const std::string event = step.event;
    const std::vector<Message> messages = event == "lost" || event == "closed" ? bridge.Closed(2) : bridge.Opened(2);
    std::vector<std::string> payloads;
    for (const Message& m : messages) {
      EXPECT_EQ(m.topic, "quorvel/7/availability");
      payloads.push_back(m.payload);
    }
    EXPECT_EQ(payloads, step.payloads) << event;
  }
  // The end: every meter that is online goes offline, then the bridge.
  bridge.Opened(4);
  bridge.NumberRead(4, "8");
  bridge.Closed(4);
  std::vector<std::string> end;
  for (const Message& m : bridge.Shutdown()) end.push_back(m.topic + "=" + m.payload);
  EXPECT_EQ(end, (std::vector<std::string>{"quorvel/7/availability=offline", "quorvel/bridge/lab/status=offline"}));
  EXPECT_EQ(bridge.Will(), RetainedMessage("quorvel/bridge/lab/status", "offline"));
}

TEST(MeterBridge, AMeterMovedToAnotherPortKeepsItsTopics) {
  MeterBridge bridge(Options());
  bridge.Opened(3);
  bridge.NumberRead(3, "11");
  bridge.Closed(3);  // unplugged ...
  bridge.Opened(6);  // ... and plugged in elsewhere
  const std::vector<Message> moved = bridge.NumberRead(6, "11");
  EXPECT_EQ(Topics(moved), Announcement("11"));
  EXPECT_EQ(Parsed(moved[kFields].payload)["slot"].toInt(), 6);
  EXPECT_EQ(moved.back().payload, "online");
  // Another meter behind the first port says nothing about the one that left.
  bridge.Opened(3);
  EXPECT_EQ(Topics(bridge.NumberRead(3, "12")), Announcement("12"));
  // A third meter behind port 6 in its place: meter 11 is no longer there.
  const std::vector<Message> swapped = bridge.NumberRead(6, "13");
  EXPECT_EQ(swapped.front(), RetainedMessage("quorvel/11/availability", "offline"));
}

TEST(MeterBridge, DiscoveryCanBeSwitchedOffAndOn) {
  BridgeOptions options = Options();
  options.discovery = false;
  MeterBridge bridge(options);
  bridge.Opened(1);
  EXPECT_EQ(Topics(bridge.NumberRead(1, "5")), (std::vector<std::string>{"quorvel/5/info", "quorvel/5/availability"}));
  std::vector<std::string> configs;
  for (const FieldSpec& f : PublishedFields())
    configs.push_back("homeassistant/sensor/quorvel_5/" + std::string(f.key) + "/config");
  EXPECT_EQ(Topics(bridge.SetDiscovery(true)), configs);
  EXPECT_TRUE(bridge.SetDiscovery(true).empty());
  for (std::string& topic : configs) topic += " (cleared)";
  EXPECT_EQ(Topics(bridge.SetDiscovery(false)), configs);
}

TEST(MeterBridge, AMeterTakenOutOfPublishingIsClearedAndSilent) {
  MeterBridge bridge(Options());
  bridge.Opened(9);
  bridge.NumberRead(9, "99");
  EXPECT_EQ(Topics(bridge.SetPublished(9, false)), Cleared("99"));
  EXPECT_TRUE(bridge.ReadingTaken(Reading(9, 5)).empty());
  EXPECT_TRUE(bridge.Closed(9).empty());
  EXPECT_TRUE(bridge.Opened(9).empty());
  EXPECT_EQ(bridge.HeldReadings(9), 0U);
  EXPECT_EQ(Topics(bridge.SetPublished(9, true)), Announcement("99"));
}

struct FieldCase {
  const char* key;
  const char* device_class;  // "" for none
  const char* unit;          // "" for none
  const char* state_class;
};

TEST(Discovery, EveryConfigHasWhatHomeAssistantNeeds) {
  const TopicScheme scheme{"quorvel", "homeassistant", "lab"};
  const DeviceDescription device{"12345678", DeviceName("12345678", "COM3 on lab"), "0.1.0"};
  const std::vector<FieldCase> expected{
      {"voltage", "voltage", "V", "measurement"},      {"current", "current", "A", "measurement"},
      {"power", "power", "W", "measurement"},          {"power_factor", "power_factor", "", "measurement"},
      {"energy", "energy", "kWh", "total_increasing"}, {"co2", "", "kg", "measurement"},
  };
  ASSERT_EQ(PublishedFields().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const FieldCase& c = expected[i];
    const QJsonObject config = Parsed(DiscoveryConfig(scheme, device, PublishedFields()[i]));
    SCOPED_TRACE(c.key);
    EXPECT_EQ(config["unique_id"].toString().toStdString(), std::string("quorvel_12345678_") + c.key);
    EXPECT_EQ(config["object_id"], config["unique_id"]);
    EXPECT_FALSE(config["name"].toString().isEmpty());
    EXPECT_EQ(config["state_topic"].toString(), "quorvel/12345678/state");
    EXPECT_EQ(config["value_template"].toString().toStdString(), std::string("{{ value_json.") + c.key + " }}");
    EXPECT_EQ(config["device_class"].toString().toStdString(), c.device_class);
    EXPECT_EQ(config.contains("device_class"), *c.device_class != '\0');
    EXPECT_EQ(config["unit_of_measurement"].toString().toStdString(), c.unit);
    EXPECT_EQ(config.contains("unit_of_measurement"), *c.unit != '\0');
    EXPECT_EQ(config["state_class"].toString().toStdString(), c.state_class);
    const QJsonArray availability = config["availability"].toArray();
    ASSERT_EQ(availability.size(), 2);
    EXPECT_EQ(availability[0].toObject()["topic"].toString(), "quorvel/12345678/availability");
    EXPECT_EQ(availability[1].toObject()["topic"].toString(), "quorvel/bridge/lab/status");
    EXPECT_EQ(config["availability_mode"].toString(), "all");
    const QJsonObject block = config["device"].toObject();
    EXPECT_EQ(block["identifiers"].toArray().first().toString(), "quorvel_12345678");
    EXPECT_EQ(block["name"].toString(), "QUORVEL meter 12345678");
    EXPECT_EQ(block["manufacturer"].toString(), "QUORVEL");
    EXPECT_FALSE(block["model"].toString().isEmpty());
    EXPECT_EQ(block["sw_version"].toString(), "0.1.0");
  }
}

}  // namespace
}  // namespace quorvel::publish
