// The way of a reading from a simulated meter through the engine and its
// link to the publisher, to a subscriber of Debian's mosquitto.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

#include "app/engine_publish_link.h"
#include "tests/integration/meter_bench.h"
#include "tests/support/mosquitto_broker.h"
#include "tests/support/mqtt_subscriber.h"

namespace quorvel {
namespace {

using testing::SpinUntil;

QJsonObject Parsed(const std::string& json) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
  return document.object();
}

std::string NumberOf(sim::PtyMeter& meter) {
  std::string number;
  for (const std::uint8_t digit : meter.WithModel([](const sim::MeterModel& m) { return m.MeterNumberDigits(); })) {
    number += std::to_string(digit);
  }
  return number;
}

TEST(EnginePublishing, AKnownReadingArrivesAndAvailabilityFollowsThePort) {
  testing::MeterBench bench({3}, {}, std::chrono::microseconds{0}, 250);
  testing::MosquittoBroker broker(bench.dir.path());
  ASSERT_TRUE(broker.Start()) << broker.Log();
  testing::MqttSubscriber subscriber(broker.Port(), "quorvel/#");

  publish::PublisherOptions options;
  options.broker.host = "127.0.0.1";
  options.broker.port = broker.Port();
  options.broker.client_id = "bench";
  options.bridge.scheme = publish::TopicScheme{"quorvel", "homeassistant", "bench"};
  publish::Publisher publisher(options);
  EnginePublishLink link(bench.engine, publisher);
  publisher.Start();

  bench.Meter(3).WithModel([](sim::MeterModel& m) {
    m.ForceLoad({5.0, 230.0, -0.95});
    m.SetEnergyCounter(123456);
  });
  const std::string id = NumberOf(bench.Meter(3));
  ASSERT_TRUE(bench.Open(3));
  for (int greeting = 0; greeting < 4; ++greeting) bench.TickAndAwait();  // tariff, limits, CO2 factor, number
  bench.TickAndAwait();                                                   // the live readings
  const std::string state_topic = "quorvel/" + id + "/state";
  ASSERT_TRUE(subscriber.AwaitCount(state_topic, 1)) << "nothing on " << state_topic;

  const DeviceRecord& record = bench.engine.Devices().Slot(3).Record;
  const QJsonObject state = Parsed(subscriber.Of(state_topic).back().payload);
  EXPECT_DOUBLE_EQ(state["voltage"].toDouble(), 230.0);
  EXPECT_DOUBLE_EQ(state["current"].toDouble(), 5.0);
  EXPECT_DOUBLE_EQ(state["power"].toDouble(), 1092.5);
  EXPECT_DOUBLE_EQ(state["power_factor"].toDouble(), -0.95);
  EXPECT_NEAR(state["energy"].toDouble(), 1234.56, 0.015);  // the counter may have moved on by one step
  EXPECT_DOUBLE_EQ(state["energy"].toDouble(), std::round(record.Energy * 100) / 100);
  EXPECT_NEAR(state["co2"].toDouble(), 0.785 * record.Energy, 0.0005);
  EXPECT_EQ(state["slot"].toInt(), 3);
  const QString time = state["time"].toString();
  EXPECT_TRUE(QDateTime::fromString(time, Qt::ISODateWithMs).isValid()) << time.toStdString();
  EXPECT_TRUE(time.endsWith("Z") || time.at(time.size() - 6) == '+' || time.at(time.size() - 6) == '-');

  ASSERT_TRUE(subscriber.AwaitLast("quorvel/" + id + "/availability", "online"));
  const QJsonObject info = Parsed(subscriber.Last("quorvel/" + id + "/info")->payload);
  EXPECT_EQ(info["meter_number"].toString().toStdString(), id);
  EXPECT_EQ(info["port"].toString(), "COM3");
  EXPECT_DOUBLE_EQ(info["co2_factor"].toDouble(), 0.785);
  EXPECT_FALSE(info["price1"].isNull());
  EXPECT_FALSE(info["energy_limit"].isNull());

  // Unplugged: offline. The same meter back behind its link: online again.
  bench.Unplug(3);
  EXPECT_TRUE(subscriber.AwaitLast("quorvel/" + id + "/availability", "offline"));
  sim::MeterSimulatorOptions again_options;
  again_options.links = {bench.simulator->Link(0)};
  again_options.byte_interval = std::chrono::microseconds{0};
  again_options.seed = 7;  // the bench's first meter: the same number
  std::string error;
  auto again = sim::MeterSimulator::Open(again_options, &error);
  ASSERT_TRUE(again && again->Start(&error)) << error;
  EXPECT_TRUE(subscriber.AwaitLast("quorvel/" + id + "/availability", "online"));
  EXPECT_EQ(NumberOf(again->Meter(0)), id);

  // The user's close at the end: offline, and the bridge too.
  bench.engine.CloseDevice(3);
  EXPECT_TRUE(subscriber.AwaitLast("quorvel/" + id + "/availability", "offline"));
  publisher.Stop();
  EXPECT_TRUE(subscriber.AwaitLast("quorvel/bridge/bench/status", "offline"));
}

}  // namespace
}  // namespace quorvel
