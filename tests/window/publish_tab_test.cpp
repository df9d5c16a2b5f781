// The settings page's Publish tab on the real window, engine and simulated
// meter, against Debian's mosquitto started here on 127.0.0.1 and a free
// port: a save stores the [Publish] section and publishes with it (a
// subscriber gets the readings, a restart keeps the meter's number), the
// state line follows the broker away and back, a refused password is told
// once however often it is tried, and fields that break their rules turn
// red and store nothing.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QTabWidget>

#include <fstream>
#include <functional>
#include <sstream>

#include "app/publisher_host.h"
#include "pages/publish_panel.h"
#include "pages/settings_page.h"
#include "tests/support/mosquitto_broker.h"
#include "tests/support/mqtt_subscriber.h"
#include "tests/window/dashboard.h"
#include "widgets/marked_field.h"

namespace quorvel {
namespace {

using testing::Dashboard;
using testing::MosquittoBroker;
using testing::MqttSubscriber;
using testing::SpinUntil;

class PublishTab : public Dashboard {
 protected:
  void StartWith(const std::string& ini = "") {
    ASSERT_NO_FATAL_FAILURE(Start({3}, 0, "[Path]\nFile=" + dir.path().string() + "/\n" + ini));
  }
  std::unique_ptr<MosquittoBroker> StartBroker(const std::string& extra = "allow_anonymous true\n") {
    auto broker = std::make_unique<MosquittoBroker>(dir.path(), extra);
    EXPECT_TRUE(broker->Start()) << broker->Log();
    return broker;
  }
  PublishPanel& Panel() { return window.SystemSettings().Publishing(); }
  void ShowTab() {
    Press(QStringLiteral("System Set"));
    Named<QTabWidget>(window.SystemSettings(), QStringLiteral("About and publishing"))->setCurrentIndex(3);
  }
  // Publishing on, to the broker on `port`, as a user would fill the tab.
  void FillIn(int port, const QString& prefix = QStringLiteral("house")) {
    ShowTab();
    Find<QCheckBox>(QStringLiteral("Publish readings to an MQTT broker"))->setChecked(true);
    Type(QStringLiteral("Broker"), QStringLiteral("127.0.0.1"));
    Type(QStringLiteral("Port"), QString::number(port));
    Type(QStringLiteral("Topic prefix"), prefix);
    Type(QStringLiteral("Client id"), QStringLiteral("quorvel-test"));
  }
  QString State() { return Panel().StateText(); }
  bool AwaitState(const QString& start) {
    return SpinUntil([&] { return State().startsWith(start); });
  }
  std::string Ini() {
    std::ifstream in(dir / "Power Meter.ini", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string Number() {
    std::string number;
    for (const std::uint8_t digit :
         Meter(3).WithModel([](const sim::MeterModel& m) { return m.MeterNumberDigits(); })) {
      number += std::to_string(digit);
    }
    return number;
  }
  void OpenAndGreet() {
    ASSERT_NO_FATAL_FAILURE(Open(3));
    ASSERT_TRUE(SpinUntil([&] { return !window.engine().RequestsPending(); }));
  }
};

std::string Broker(int port) { return "127.0.0.1:" + std::to_string(port); }

TEST_F(PublishTab, ASaveStoresTheSectionAndPublishesAndARestartKeepsTheMetersNumber) {
  auto broker = StartBroker();
  ASSERT_NO_FATAL_FAILURE(StartWith());
  ASSERT_NO_FATAL_FAILURE(OpenAndGreet());
  MqttSubscriber subscriber(broker->Port(), "#");
  ShowTab();
  EXPECT_EQ(State(), QStringLiteral("Publishing is off."));

  FillIn(broker->Port());
  Press(QStringLiteral("Save and apply"));
  const std::string ini = Ini();
  for (const std::string line : {"[Publish]", "Enabled=true", "Host=127.0.0.1", "Prefix=house", "ClientId=quorvel-test",
                                 "PasswordFile=", "Discovery=true"}) {
    EXPECT_NE(ini.find("\n" + line + "\n"), std::string::npos) << line << " in\n" << ini;
  }
  EXPECT_NE(ini.find("Port=" + std::to_string(broker->Port())), std::string::npos) << ini;
  EXPECT_EQ(ini.find("Password="), std::string::npos) << "a password is never stored";
  EXPECT_NE(ini.find("File=" + dir.path().string()), std::string::npos) << "the other sections stay";
  ASSERT_TRUE(AwaitState(QString::fromStdString("Connected to the broker at " + Broker(broker->Port()) + ".")))
      << State().toStdString();

  // Readings are polled while the real-time page shows.
  const std::string id = Number();
  Press(QStringLiteral("Power Meter Real Time"));
  ASSERT_TRUE(subscriber.AwaitCount("house/" + id + "/state", 2));
  const QJsonObject state =
      QJsonDocument::fromJson(QByteArray::fromStdString(subscriber.Of("house/" + id + "/state").back().payload))
          .object();
  EXPECT_EQ(state["slot"].toInt(), 3);
  EXPECT_GT(state["voltage"].toDouble(), 100.0);

  // Another prefix: the publisher starts again, and the meter, open all the
  // while, is published under its number at once.
  ShowTab();
  Type(QStringLiteral("Topic prefix"), QStringLiteral("flat"));
  Press(QStringLiteral("Save and apply"));
  EXPECT_NE(Ini().find("Prefix=flat"), std::string::npos);
  ASSERT_TRUE(subscriber.AwaitLast("house/" + id + "/availability", "offline"));
  ASSERT_TRUE(subscriber.AwaitLast("flat/" + id + "/availability", "online"));
  ASSERT_TRUE(AwaitState(QStringLiteral("Connected"))) << State().toStdString();
  Press(QStringLiteral("Power Meter Real Time"));
  ASSERT_TRUE(subscriber.AwaitCount("flat/" + id + "/state", 3));
  for (const testing::Received& message : subscriber.All()) {
    EXPECT_EQ(message.topic.find("COM3"), std::string::npos) << message.topic;
  }
  EXPECT_EQ(notices.texts, std::vector<std::string>{});

  // Discovery switched off: Home Assistant's configs are emptied before the restart.
  const std::string config = "homeassistant/sensor/quorvel_" + id + "/power/config";
  ASSERT_TRUE(subscriber.Last(config).has_value());
  EXPECT_FALSE(subscriber.Last(config)->payload.empty());
  ShowTab();
  Find<QCheckBox>(QStringLiteral("Home Assistant discovery"))->setChecked(false);
  Press(QStringLiteral("Save and apply"));
  EXPECT_TRUE(subscriber.AwaitLast(config, ""));
  EXPECT_NE(Ini().find("Discovery=false"), std::string::npos);
  ASSERT_TRUE(AwaitState(QStringLiteral("Connected"))) << State().toStdString();

  // Exit: the meter and this client go offline.
  window.Exit();
  ASSERT_TRUE(SpinUntil([&] { return window.ExitDone(); }));
  EXPECT_TRUE(subscriber.AwaitLast("flat/" + id + "/availability", "offline"));
  EXPECT_TRUE(subscriber.AwaitLast("flat/bridge/quorvel-test/status", "offline"));
}

// A broker away is waited for, and said in the state line only.
TEST_F(PublishTab, ABrokerAwayShowsReconnectingAndNoBoxes) {
  const struct {
    const char* what;
    bool stop_running_broker;
  } cases[] = {{"a port nothing listens on", false}, {"the broker stopped and started again", true}};
  auto broker = StartBroker();
  ASSERT_NO_FATAL_FAILURE(StartWith());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int port = c.stop_running_broker ? broker->Port() : testing::FreeLoopbackPort();
    FillIn(port);
    Press(QStringLiteral("Save and apply"));
    if (c.stop_running_broker) {
      ASSERT_TRUE(AwaitState(QStringLiteral("Connected"))) << State().toStdString();
      broker->Kill();
    }
    ASSERT_TRUE(AwaitState(QStringLiteral("Reconnecting in "))) << State().toStdString();
    // Lost, then not reached on the next attempts: one trouble, the broker is away.
    const QString at = QString::fromStdString("the broker at " + Broker(port));
    EXPECT_TRUE(State().contains(QStringLiteral("cannot reach ") + at) ||
                (c.stop_running_broker && State().contains(QStringLiteral("lost the connection to ") + at)))
        << State().toStdString();
    EXPECT_TRUE(State().contains(QStringLiteral("readings waiting"))) << State().toStdString();
    if (c.stop_running_broker) {
      ASSERT_TRUE(broker->Restart()) << broker->Log();
      EXPECT_TRUE(AwaitState(QStringLiteral("Connected"))) << State().toStdString();
    }
  }
  EXPECT_EQ(notices.texts, std::vector<std::string>{});
}

// Refused credentials are the user's to mend: one box, whatever the number
// of attempts, and the reason in the state line.
TEST_F(PublishTab, ARefusedPasswordIsToldOnceAndShownInTheStateLine) {
  QProcess passwd;
  passwd.start(QStringLiteral("mosquitto_passwd"),
               {QStringLiteral("-b"), QStringLiteral("-c"), QString::fromStdString(dir.File("passwords")),
                QStringLiteral("meters"), QStringLiteral("right password")});
  ASSERT_TRUE(passwd.waitForFinished(testing::kPatienceMs) && passwd.exitCode() == 0);
  auto broker = StartBroker("allow_anonymous false\npassword_file " + dir.File("passwords") + "\n");
  const auto write_password = [&](const char* password) {
    std::ofstream(dir.File("my password")) << password << "\n";
    std::filesystem::permissions(dir / "my password",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  };
  write_password("wrong password");
  ASSERT_NO_FATAL_FAILURE(StartWith());
  FillIn(broker->Port());
  Type(QStringLiteral("User"), QStringLiteral("meters"));
  Type(QStringLiteral("Password file"), QString::fromStdString(dir.File("my password")));
  Press(QStringLiteral("Save and apply"));
  ASSERT_TRUE(AwaitState(QStringLiteral("Reconnecting in "))) << State().toStdString();
  EXPECT_TRUE(State().contains(QStringLiteral("refused"))) << State().toStdString();
  // Refused again after the next wait: still one box.
  ASSERT_TRUE(SpinUntil([&] {
    const std::string log = broker->Log();
    std::size_t refusals = 0;
    for (std::size_t at = log.find("not authorised"); at != std::string::npos; at = log.find("not authorised", at + 1))
      ++refusals;
    return refusals >= 2;
  })) << broker->Log();
  testing::Spin(200);
  ASSERT_EQ(notices.texts.size(), 1U);
  EXPECT_EQ(
      notices.texts[0].rfind("Readings cannot be published: the broker at " + Broker(broker->Port()) + " refused", 0),
      0U)
      << notices.texts[0];
  EXPECT_NE(notices.texts[0].find("check User"), std::string::npos) << notices.texts[0];
  EXPECT_EQ(notices.texts[0].find("wrong password"), std::string::npos) << "the password itself is never told";

  write_password("right password");
  Press(QStringLiteral("Save and apply"));
  EXPECT_TRUE(AwaitState(QStringLiteral("Connected"))) << State().toStdString();
  EXPECT_EQ(notices.texts.size(), 1U);
}

// Whatever put the text in a field: marked, the reason shown, nothing
// stored and the publisher as it was.
TEST_F(PublishTab, FieldsThatBreakTheirRulesTurnRedAndStoreNothing) {
  ASSERT_NO_FATAL_FAILURE(StartWith());
  const std::string before = Ini();
  const struct {
    const char* field;
    QString text;
    const char* reason;
  } cases[] = {
      {"Port", QStringLiteral("0"), "Port: a port number from 1 to 65535"},
      {"Port", QStringLiteral("70000"), "Port: a port number from 1 to 65535"},
      {"Broker", QString(), "Broker: name the broker's host"},
      {"Topic prefix", QStringLiteral("house/+/meters"), "Topic prefix: it contains '+', a wildcard"},
      {"Discovery prefix", QStringLiteral("ha//x"), "Discovery prefix: it has an empty level"},
      {"CA file", QString::fromStdString(dir.File("no-such-ca.crt")), "CA file: there is no file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    FillIn(1883);
    Type(QString::fromUtf8(c.field), c.text);
    Press(QStringLiteral("Save and apply"));
    auto* field = Find<MarkedField>(QString::fromUtf8(c.field));
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(field->IsMarked());
    EXPECT_FALSE(Find<MarkedField>(QStringLiteral("Client id"))->IsMarked());
    auto* reasons = Panel().findChild<QLabel*>(QStringLiteral("publishReasons"));
    EXPECT_TRUE(reasons->isVisible());
    EXPECT_TRUE(reasons->text().contains(QString::fromUtf8(c.reason))) << reasons->text().toStdString();
    EXPECT_EQ(Ini(), before);
    EXPECT_FALSE(window.Publishing().Status().has_value());
    EXPECT_EQ(State(), QStringLiteral("Publishing is off."));
  }
  // Publishing switched off: the host is no longer needed, and its mark goes.
  Type(QStringLiteral("Broker"), QString());
  Press(QStringLiteral("Save and apply"));
  ASSERT_TRUE(Find<MarkedField>(QStringLiteral("Broker"))->IsMarked());
  Find<QCheckBox>(QStringLiteral("Publish readings to an MQTT broker"))->setChecked(false);
  EXPECT_FALSE(Find<MarkedField>(QStringLiteral("Broker"))->IsMarked());
  EXPECT_EQ(notices.texts, std::vector<std::string>{});
}

}  // namespace
}  // namespace quorvel
