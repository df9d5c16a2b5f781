// The publisher against Debian's mosquitto, started here on 127.0.0.1 and
// a free port: what a subscriber receives, the broker killed and started
// again, TLS with a password file, and the messages for a wrong password, a
// certificate authority that does not fit and a host that does not exist.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <mutex>

#include "publish/discovery.h"
#include "publish/publisher.h"
#include "tests/support/mosquitto_broker.h"
#include "tests/support/mqtt_subscriber.h"
#include "tests/support/temp_dir.h"

namespace quorvel::publish {
namespace {

using testing::MosquittoBroker;
using testing::MqttSubscriber;
using testing::SpinUntil;

QJsonObject Parsed(const std::string& json) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
  return document.object();
}

MeterReading Values(double energy) { return {230.1F, 1.5F, 345.2F, 0.97F, energy}; }

class PublisherWithBroker : public ::testing::Test {
 protected:
  std::unique_ptr<Publisher> MakePublisher(int port, std::size_t queue_limit = kReadingQueueLimit) {
    PublisherOptions options;
    options.broker.host = "127.0.0.1";
    options.broker.port = port;
    options.broker.client_id = "test-bridge";
    options.bridge.scheme = TopicScheme{"quorvel", "homeassistant", "test-bridge"};
    options.bridge.sw_version = "9.9.9";
    options.queue_limit = queue_limit;
    Configure(options);
    options.tell = [this](const std::string& sentence) {
      const std::lock_guard lock(told_mutex);
      told.push_back(sentence);
    };
    return std::make_unique<Publisher>(options);
  }
  virtual void Configure(PublisherOptions&) {}

  std::vector<std::string> Told() {
    const std::lock_guard lock(told_mutex);
    return told;
  }
  bool AwaitTold(const std::string& words) {
    return SpinUntil([&] {
      for (const std::string& sentence : Told()) {
        if (sentence.find(words) != std::string::npos) return true;
      }
      return false;
    });
  }
  // The first sentence told with these words.
  std::string ToldWith(const std::string& words) {
    for (const std::string& sentence : Told()) {
      if (sentence.find(words) != std::string::npos) return sentence;
    }
    return {};
  }
  std::size_t CountTold(const std::string& words) {
    std::size_t count = 0;
    for (const std::string& sentence : Told()) count += sentence.find(words) != std::string::npos ? 1U : 0U;
    return count;
  }

  testing::TempDir dir;
  std::mutex told_mutex;
  std::vector<std::string> told;
};

TEST_F(PublisherWithBroker, AMeterIsAnnouncedRetainedAndItsReadingsArrive) {
  MosquittoBroker broker(dir.path());
  ASSERT_TRUE(broker.Start()) << broker.Log();
  MqttSubscriber live(broker.Port());
  auto publisher = MakePublisher(broker.Port());
  publisher->Start();
  publisher->MeterOpened(4);
  publisher->Co2FactorRead(4, 0.5);
  publisher->NumberRead(4, "12345678");
  publisher->ReadingTaken(4, Values(100.0), WallClock::now());
  ASSERT_TRUE(live.AwaitCount("quorvel/12345678/state", 1));
  const QJsonObject state = Parsed(live.Last("quorvel/12345678/state")->payload);
  EXPECT_DOUBLE_EQ(state["voltage"].toDouble(), 230.1);
  EXPECT_DOUBLE_EQ(state["power_factor"].toDouble(), 0.97);
  EXPECT_DOUBLE_EQ(state["energy"].toDouble(), 100.0);
  EXPECT_DOUBLE_EQ(state["co2"].toDouble(), 50.0);
  EXPECT_EQ(state["slot"].toInt(), 4);
  EXPECT_TRUE(AwaitTold("publishing to the broker at 127.0.0.1:"));

  // A subscriber that comes later gets every config, the info and the
  // availability from the broker's store.
  MqttSubscriber late(broker.Port(), "#");
  ASSERT_TRUE(late.AwaitLast("quorvel/12345678/availability", "online"));
  ASSERT_TRUE(late.AwaitLast("quorvel/bridge/test-bridge/status", "online"));
  for (const FieldSpec& field : PublishedFields()) {
    const std::string topic = "homeassistant/sensor/quorvel_12345678/" + std::string(field.key) + "/config";
    ASSERT_TRUE(SpinUntil([&] { return late.Last(topic).has_value(); })) << topic;
    const testing::Received config = *late.Last(topic);
    EXPECT_TRUE(config.retained) << topic;
    const QJsonObject json = Parsed(config.payload);
    EXPECT_EQ(json["unique_id"].toString().toStdString(), "quorvel_12345678_" + std::string(field.key));
    EXPECT_EQ(json["state_topic"].toString(), "quorvel/12345678/state");
    EXPECT_EQ(json["availability"].toArray().size(), 2);
    EXPECT_EQ(json["device"].toObject()["sw_version"].toString(), "9.9.9");
    EXPECT_EQ(json["state_class"].toString().toStdString(), field.state_class);
  }
  ASSERT_TRUE(SpinUntil([&] { return late.Last("quorvel/12345678/info").has_value(); }));
  const testing::Received info = *late.Last("quorvel/12345678/info");
  EXPECT_TRUE(info.retained);
  EXPECT_EQ(Parsed(info.payload)["co2_factor"].toDouble(), 0.5);
  EXPECT_TRUE(late.Of("quorvel/12345678/state").empty());  // readings are not retained

  // The end: the meter and the bridge go offline, for everyone to see.
  publisher->Stop();
  MqttSubscriber after(broker.Port(), "quorvel/#");
  EXPECT_TRUE(after.AwaitLast("quorvel/12345678/availability", "offline", 3000)) << broker.Log();
  EXPECT_TRUE(after.AwaitLast("quorvel/bridge/test-bridge/status", "offline"));
  EXPECT_EQ(publisher->Status().link, LinkState::kStopped);
}

TEST_F(PublisherWithBroker, PublishingResumesAfterTheBrokerWasKilledAndDropsStayWithinTheBound) {
  constexpr std::size_t kLimit = 20;
  MosquittoBroker broker(dir.path());
  ASSERT_TRUE(broker.Start()) << broker.Log();
  auto publisher = MakePublisher(broker.Port(), kLimit);
  publisher->Start();
  publisher->MeterOpened(1);
  publisher->NumberRead(1, "1");
  {
    MqttSubscriber before(broker.Port());
    publisher->ReadingTaken(1, Values(1.0), WallClock::now());
    ASSERT_TRUE(before.AwaitCount("quorvel/1/state", 1));
  }

  broker.Kill();
  ASSERT_TRUE(AwaitTold("lost the connection to the broker at 127.0.0.1:"));
  EXPECT_EQ(CountTold("; readings wait (up to 20) and the connection is tried again after 1 s, then doubling up to "
                      "every 60 s"),
            1U);
  constexpr std::size_t kWhileAway = 50;
  for (std::size_t i = 0; i < kWhileAway; ++i) {
    publisher->ReadingTaken(1, Values(2.0 + static_cast<double>(i)), WallClock::now());
    EXPECT_LE(publisher->Status().queued, kLimit);
  }
  EXPECT_EQ(publisher->Status().dropped, kWhileAway - kLimit);
  EXPECT_TRUE(AwaitTold("the queue of 20 readings waiting for the broker is full"));
  ASSERT_TRUE(broker.Restart()) << broker.Log();

  ASSERT_TRUE(AwaitTold("connected to the broker at 127.0.0.1:")) << broker.Log();
  EXPECT_TRUE(AwaitTold("30 readings were dropped meanwhile"));
  EXPECT_EQ(CountTold("lost the connection"), 1U);  // once per outage
  EXPECT_EQ(CountTold("cannot reach"), 0U);         // the same outage: the broker was away
  EXPECT_EQ(CountTold("the queue of 20 readings"), 1U);
  // The restarted broker knows nothing retained: the publisher said it all again.
  MqttSubscriber after(broker.Port());
  EXPECT_TRUE(after.AwaitLast("quorvel/1/availability", "online"));
  EXPECT_TRUE(after.AwaitLast("quorvel/bridge/test-bridge/status", "online"));
  // The broker hands stored messages over in its own order, not in the order they came.
  EXPECT_TRUE(SpinUntil([&] { return after.Last("homeassistant/sensor/quorvel_1/energy/config").has_value(); }));
  // New readings arrive again.
  double energy = 100.0;
  ASSERT_TRUE(SpinUntil([&] {
    publisher->ReadingTaken(1, Values(energy += 1.0), WallClock::now());
    return after.AwaitCount("quorvel/1/state", 1, 200);
  }));
  EXPECT_TRUE(SpinUntil([&] { return publisher->Status().queued == 0; }));
  const PublisherStatus status = publisher->Status();
  EXPECT_EQ(status.link, LinkState::kConnected);
  EXPECT_EQ(status.dropped, kWhileAway - kLimit);
}

TEST_F(PublisherWithBroker, ABrokerThatIsNotThereIsToldOnceAndReadingsWait) {
  auto publisher = MakePublisher(testing::FreeLoopbackPort(), 5);
  publisher->Start();
  publisher->MeterOpened(2);
  publisher->NumberRead(2, "2");
  for (int i = 0; i < 8; ++i) publisher->ReadingTaken(2, Values(i), WallClock::now());
  ASSERT_TRUE(AwaitTold("cannot reach the broker at 127.0.0.1:"));
  EXPECT_NE(ToldWith("cannot reach").find("is the broker running"), std::string::npos) << ToldWith("cannot reach");
  const PublisherStatus status = publisher->Status();
  EXPECT_EQ(status.queued, 5U);
  EXPECT_EQ(status.dropped, 3U);
  EXPECT_NE(status.last_problem.find("cannot reach"), std::string::npos);
  publisher->Stop(std::chrono::milliseconds{200});
  EXPECT_EQ(CountTold("cannot reach"), 1U);
}

class PublisherWithUnknownHost : public PublisherWithBroker {
  void Configure(PublisherOptions& options) override { options.broker.host = "no..such..host"; }
};

TEST_F(PublisherWithUnknownHost, AHostThatDoesNotExistIsNamed) {
  auto publisher = MakePublisher(1883);
  publisher->Start();
  ASSERT_TRUE(AwaitTold("cannot find the broker's host no..such..host:1883"));
  EXPECT_NE(ToldWith("no..such..host").find("check Host"), std::string::npos) << ToldWith("no..such..host");
}

// A certificate authority, a server certificate for 127.0.0.1 signed by it,
// and a password file, all made here.
class PublisherWithTls : public PublisherWithBroker {
 protected:
  static bool Run(const QString& program, const QStringList& args, const std::filesystem::path& folder) {
    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(folder.string()));
    process.start(program, args);
    const bool done = process.waitForFinished(testing::kPatienceMs) && process.exitCode() == 0;
    EXPECT_TRUE(done) << program.toStdString() << ": " << process.readAllStandardError().toStdString();
    return done;
  }
  static bool MakeAuthority(const std::filesystem::path& folder, const QString& name) {
    return Run("openssl",
               {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2",
                "-subj", "/CN=" + name, "-keyout", name + ".key", "-out", name + ".crt"},
               folder);
  }
  void SetUp() override {
    std::ofstream(dir / "server.ext") << "subjectAltName=IP:127.0.0.1,DNS:localhost\n";
    ASSERT_TRUE(MakeAuthority(dir.path(), "ca"));
    ASSERT_TRUE(MakeAuthority(dir.path(), "other-ca"));
    ASSERT_TRUE(Run("openssl",
                    {"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-subj",
                     "/CN=localhost", "-keyout", "server.key", "-out", "server.csr"},
                    dir.path()));
    ASSERT_TRUE(Run("openssl",
                    {"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key", "-set_serial", "2",
                     "-days", "2", "-extfile", "server.ext", "-out", "server.crt"},
                    dir.path()));
    ASSERT_TRUE(Run("mosquitto_passwd", {"-b", "-c", "passwords", "meters", "right password"}, dir.path()));
    broker = std::make_unique<MosquittoBroker>(
        dir.path(), "allow_anonymous false\npassword_file " + (dir / "passwords").string() + "\ncafile " +
                        (dir / "ca.crt").string() + "\ncertfile " + (dir / "server.crt").string() + "\nkeyfile " +
                        (dir / "server.key").string() + "\n");
    ASSERT_TRUE(broker->Start()) << broker->Log();
  }
  void Configure(PublisherOptions& options) override {
    options.broker.tls = true;
    options.broker.ca_file = (dir / ca).string();
    options.broker.user = "meters";
    options.broker.password = password;
  }

  std::unique_ptr<MosquittoBroker> broker;
  std::string ca = "ca.crt";
  std::string password = "right password";
};

TEST_F(PublisherWithTls, PublishesOverTlsWithUserAndPassword) {
  // libmosquitto sets its TLS up once per program, unguarded: the
  // subscriber's first, so that two clients never race for it.
  MqttSubscriber subscriber(broker->Port(), "#", (dir / "ca.crt").string(), "meters", "right password");
  auto publisher = MakePublisher(broker->Port());
  publisher->Start();
  publisher->MeterOpened(7);
  publisher->NumberRead(7, "77");
  ASSERT_TRUE(subscriber.AwaitLast("quorvel/77/availability", "online")) << broker->Log();
  EXPECT_EQ(Told(),
            std::vector<std::string>{"publishing to the broker at 127.0.0.1:" + std::to_string(broker->Port())});
}

TEST_F(PublisherWithTls, AWrongPasswordIsRefusedWithAMessage) {
  password = "wrong password";
  auto publisher = MakePublisher(broker->Port());
  publisher->Start();
  ASSERT_TRUE(AwaitTold("refused")) << broker->Log();
  const std::string sentence = ToldWith("refused");
  EXPECT_NE(sentence.find("check User"), std::string::npos) << sentence;
  EXPECT_NE(sentence.find("password file"), std::string::npos) << sentence;
  EXPECT_EQ(sentence.find("wrong password"), std::string::npos) << "the password itself is never told";
  EXPECT_EQ(publisher->Status().link == LinkState::kConnected, false);
}

TEST_F(PublisherWithTls, AnAuthorityThatDidNotSignTheBrokerIsToldClearly) {
  ca = "other-ca.crt";
  auto publisher = MakePublisher(broker->Port());
  publisher->Start();
  ASSERT_TRUE(AwaitTold("the TLS connection to the broker at 127.0.0.1:")) << broker->Log();
  const std::string sentence = ToldWith("TLS connection");
  EXPECT_NE(sentence.find("certificate verify failed"), std::string::npos) << sentence;
  EXPECT_NE(sentence.find("CAFile must hold the authority"), std::string::npos) << sentence;
  publisher->Stop(std::chrono::milliseconds{200});
}

}  // namespace
}  // namespace quorvel::publish
