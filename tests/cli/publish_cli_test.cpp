// quorvel-cli publish and serve as a user runs them: separate processes,
// meters simulated on pseudo-terminals, Debian's mosquitto started here.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>
#include <csignal>
#include <fstream>

#include "protocol/commands.h"
#include "sim/meter_simulator.h"
#include "tests/support/mosquitto_broker.h"
#include "tests/support/mqtt_subscriber.h"
#include "tests/support/spin.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

using testing::SpinUntil;

struct Ended {
  int exit_code = -1;
  std::string out;
  std::string errors;
};

class PublishCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::MeterSimulatorOptions options;
    options.links = {(dir / "meter0").string(), (dir / "meter1").string()};
    options.byte_interval = std::chrono::microseconds{0};
    options.seed = 21;
    std::string error;
    meters = sim::MeterSimulator::Open(options, &error);
    ASSERT_TRUE(meters && meters->Start(&error)) << error;
    ASSERT_TRUE(broker.Start()) << broker.Log();
  }
  std::string Number(std::size_t meter) {
    std::string number;
    for (const auto digit :
         meters->Meter(meter).WithModel([](const sim::MeterModel& m) { return m.MeterNumberDigits(); })) {
      number += std::to_string(digit);
    }
    return number;
  }
  void Start(const QStringList& args) {
    process.setWorkingDirectory(QString::fromStdString(dir.path().string()));
    process.start(QUORVEL_CLI, args);
    ASSERT_TRUE(process.waitForStarted());
  }
  // Waits for the end (the simulated meters answer from this process).
  Ended Finish(int signal = 0) {
    if (signal != 0) ::kill(static_cast<pid_t>(process.processId()), signal);
    SpinUntil([&] { return process.state() == QProcess::NotRunning; });
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished();
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
  }
  QString Broker() { return QString("127.0.0.1:%1").arg(broker.Port()); }

  testing::TempDir dir;
  std::unique_ptr<sim::MeterSimulator> meters;
  testing::MosquittoBroker broker{dir.path()};
  QProcess process;
};

TEST_F(PublishCliTest, PublishSendsEachMetersReadingsAndSaysGoodbye) {
  testing::MqttSubscriber subscriber(broker.Port());
  const std::string first = Number(0);
  const std::string second = Number(1);
  Start({"publish", "--port", "COM2=" + QString::fromStdString(meters->Link(0)), "--port",
         "COM7=" + QString::fromStdString(meters->Link(1)), "--broker", Broker(), "--client-id", "script", "--tick-ms",
         "200"});
  ASSERT_TRUE(subscriber.AwaitCount("quorvel/" + first + "/state", 2)) << process.readAllStandardError().toStdString();
  ASSERT_TRUE(subscriber.AwaitCount("quorvel/" + second + "/state", 2));
  const QJsonObject state =
      QJsonDocument::fromJson(QByteArray::fromStdString(subscriber.Of("quorvel/" + second + "/state").back().payload))
          .object();
  EXPECT_EQ(state["slot"].toInt(), 7);
  EXPECT_GT(state["voltage"].toDouble(), 100.0);
  EXPECT_TRUE(subscriber.Last("homeassistant/sensor/quorvel_" + first + "/energy/config").has_value());

  const Ended ended = Finish(SIGINT);
  EXPECT_EQ(ended.exit_code, 0) << ended.errors;
  EXPECT_NE(ended.out.find(R"("dropped":0,"queued":0})"), std::string::npos) << ended.out;
  EXPECT_NE(ended.errors.find("publishing to the broker at 127.0.0.1:"), std::string::npos) << ended.errors;
  EXPECT_TRUE(subscriber.AwaitLast("quorvel/" + first + "/availability", "offline"));
  EXPECT_TRUE(subscriber.AwaitLast("quorvel/" + second + "/availability", "offline"));
  EXPECT_TRUE(subscriber.AwaitLast("quorvel/bridge/script/status", "offline"));
}

TEST_F(PublishCliTest, AMeterWhoseNumberWasLostOnTheLineIsAskedAgain) {
  meters.reset();
  sim::MeterSimulatorOptions options;
  options.links = {(dir / "meter0").string()};
  options.byte_interval = std::chrono::microseconds{0};
  options.faults.lose_first = {code::kReadMeterNumber};
  std::string error;
  meters = sim::MeterSimulator::Open(options, &error);
  ASSERT_TRUE(meters && meters->Start(&error)) << error;
  testing::MqttSubscriber subscriber(broker.Port());
  Start({"publish", "--port", "COM2=" + QString::fromStdString(meters->Link(0)), "--broker", Broker(), "--tick-ms",
         "200"});
  EXPECT_TRUE(subscriber.AwaitCount("quorvel/" + Number(0) + "/state", 1))
      << process.readAllStandardError().toStdString();
  const auto log = meters->Meter(0).AnswerLog();
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const sim::AnswerLogEntry& e) { return e.kind == code::kReadMeterNumber; }),
            2);  // lost once, then answered
  EXPECT_EQ(Finish(SIGINT).exit_code, 0);
}

TEST_F(PublishCliTest, APublisherKilledLeavesItsLastWill) {
  testing::MqttSubscriber subscriber(broker.Port(), "quorvel/bridge/#");
  Start({"publish", "--port", "COM1=" + QString::fromStdString(meters->Link(0)), "--broker", Broker(), "--client-id",
         "doomed"});
  ASSERT_TRUE(subscriber.AwaitLast("quorvel/bridge/doomed/status", "online"));
  Finish(SIGKILL);  // no goodbye: the broker says it for the client
  EXPECT_TRUE(subscriber.AwaitLast("quorvel/bridge/doomed/status", "offline"));
}

TEST_F(PublishCliTest, ServeRunsFromItsSettingsFileUntilSigterm) {
  std::ofstream(dir / "service.ini") << "[Ports]\nCOM4=" << meters->Link(0) << "\nCOM9=" << (dir / "not-yet").string()
                                     << "\n\n[Publish]\nEnabled=true\nHost=127.0.0.1\nPort=" << broker.Port()
                                     << "\nClientId=service\n\n[SysSet]\nAutoSave=true\n\n[Path]\nFile="
                                     << (dir / "readings/").string() << "\n";
  testing::MqttSubscriber subscriber(broker.Port());
  const std::string id = Number(0);
  Start({"serve", "--config", QString::fromStdString((dir / "service.ini").string()), "--tick-ms", "200"});
  ASSERT_TRUE(subscriber.AwaitCount("quorvel/" + id + "/state", 2)) << process.readAllStandardError().toStdString();
  EXPECT_TRUE(subscriber.AwaitLast("quorvel/" + id + "/availability", "online"));

  const Ended ended = Finish(SIGTERM);
  EXPECT_EQ(ended.exit_code, 0) << ended.errors;
  EXPECT_NE(ended.errors.find("cannot open COM9"), std::string::npos) << ended.errors;  // waited for, said once
  EXPECT_EQ(ended.errors.find("cannot open COM9"), ended.errors.rfind("cannot open COM9"));
  EXPECT_NE(ended.errors.find("quorvel-cli serve: stopped"), std::string::npos) << ended.errors;
  EXPECT_TRUE(subscriber.AwaitLast("quorvel/" + id + "/availability", "offline"));
  EXPECT_TRUE(subscriber.AwaitLast("quorvel/bridge/service/status", "offline"));
  const auto rows = dir / "readings" / "Com4RealTimeData.xls";
  ASSERT_TRUE(std::filesystem::exists(rows));
  EXPECT_GT(std::filesystem::file_size(rows), 0U);
}

struct Refusal {
  std::vector<std::string> args;
  std::string ini;  // written to bad.ini when not empty
  int exit_code;
  const char* words;
};

TEST_F(PublishCliTest, WhatCannotWorkIsRefusedWithItsReason) {
  std::ofstream(dir / "password") << "secret\n";
  const std::vector<Refusal> cases{
      {{"publish", "--port", "COM1", "--broker", "h", "--password", "secret"},
       "",
       2,
       "never given on the command line"},
      {{"publish", "--port", "COM1"}, "", 2, "give the broker with --broker HOST[:PORT]"},
      {{"publish", "--port", "COM1", "--broker", "h:0"}, "", 2, "--broker takes HOST or HOST:PORT"},
      {{"publish", "--port", "COM1", "--broker", "h", "--prefix", "a/#"}, "", 1, "it contains '#'"},
      {{"publish", "--port", "COM1", "--broker", "h", "--user", "u", "--password-file", "no-file"},
       "",
       1,
       "the password file no-file cannot be read"},
      {{"serve"}, "", 2, "give the service's settings file with --config FILE"},
      {{"serve", "--config", "missing.ini"}, "", 1, "cannot read the settings file missing.ini"},
      {{"serve", "--config", "bad.ini"}, "[Publish]\nEnabled=yes\nPort=99999\n", 1, "Port=99999 cannot be used"},
      {{"serve", "--config", "bad.ini"},
       "[Publish]\nEnabled=true\nPassword=secret\n",
       1,
       "a password is never read from the settings file"},
      {{"serve", "--config", "bad.ini"}, "[Comm]\nBaudrate=9600\n", 1, "nothing to do"},
  };
  for (const Refusal& c : cases) {
    if (!c.ini.empty()) std::ofstream(dir / "bad.ini", std::ios::trunc) << c.ini;
    QStringList args;
    for (const std::string& arg : c.args) args << QString::fromStdString(arg);
    QProcess run;
    run.setWorkingDirectory(QString::fromStdString(dir.path().string()));
    run.start(QUORVEL_CLI, args);
    ASSERT_TRUE(run.waitForFinished(testing::kPatienceMs));
    const std::string errors = run.readAllStandardError().toStdString();
    EXPECT_EQ(run.exitCode(), c.exit_code) << c.args[0] << " " << errors;
    EXPECT_NE(errors.find(c.words), std::string::npos) << errors;
    EXPECT_EQ(errors.find("secret\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace quorvel
