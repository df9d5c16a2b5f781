// quorvel-cli as a user runs it: a separate process, against meters
// simulated on pseudo-terminals.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <set>
#include <sstream>

#include "cli/engine_session.h"
#include "cli/output_text.h"
#include "link/meter_line.h"
#include "sim/meter_simulator.h"
#include "tests/support/spin.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

struct CliRun {
  int exit_code = -1;
  std::vector<std::string> lines;  // standard output
  std::string errors;              // standard error
};

std::vector<std::string> Lines(const QByteArray& text) {
  std::vector<std::string> lines;
  for (const QByteArray& line : text.split('\n')) {
    if (!line.isEmpty()) lines.push_back(line.toStdString());
  }
  return lines;
}

CliRun Cli(const QStringList& args, const std::filesystem::path& folder, const QByteArray& input = {},
           int timeout_ms = 60000) {
  QProcess process;
  process.setWorkingDirectory(QString::fromStdString(folder.string()));
  process.start(QUORVEL_CLI, args);
  process.write(input);
  process.closeWriteChannel();
  // The simulated meters answer from this process: keep its event loop and
  // threads running while waiting.
  testing::SpinUntil([&] { return process.state() == QProcess::NotRunning; }, timeout_ms);
  if (process.state() != QProcess::NotRunning) {
    process.kill();
    process.waitForFinished();
  }
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          Lines(process.readAllStandardOutput()), process.readAllStandardError().toStdString()};
}

class CliTest : public ::testing::Test {
 protected:
  void StartMeters(std::size_t count, sim::FaultOptions faults = {}, const std::string& name = "meter") {
    sim::MeterSimulatorOptions options;
    for (std::size_t i = 0; i < count; ++i) options.links.push_back((dir / (name + std::to_string(i))).string());
    options.byte_interval = std::chrono::microseconds{0};
    options.faults = faults;
    options.seed = 11;
    std::string error;
    meters = sim::MeterSimulator::Open(options, &error);
    ASSERT_TRUE(meters && meters->Start(&error)) << error;
  }
  QString Port(int slot, std::size_t meter) {
    return QString("COM%1=%2").arg(slot).arg(QString::fromStdString(meters->Link(meter)));
  }

  testing::TempDir dir;
  std::unique_ptr<sim::MeterSimulator> meters;
};

TEST_F(CliTest, DecodePrintsTheDashboardsValues) {
  const CliRun run = Cli({"decode", "--hex"}, dir.path(),
                         "55 14 97 09 06 17 02 09 1E 01 F4 08 FC 2C EC 00 64 00 01 86 A0 00 AA\n"
                         "12 AA 34 55 00 08 86 32 00 03 00 04 00 00 AA\n"
                         "55 7F 8B 04 00 00 00 64 00 00 00 FA 00 00 00 FA FF FF FF FF 00 00 01 90");
  EXPECT_EQ(run.exit_code, 0) << run.errors;
  ASSERT_EQ(run.lines.size(), 2U);  // the month answer is not complete yet
  EXPECT_EQ(run.lines[0], R"({"kind":151,"Year":9,"Month":6,"Day":23,"Weekday":2,"Hour":9,"Minute":30,"Current":5.00,)"
                          R"("Voltage":230.0,"Power":1150.0,"PowerFactor":1.00,"Energy":1000.00})");
  EXPECT_EQ(run.lines[1], R"({"kind":134,"TierLimit":5000,"Price1":300,"Price2":400})");
}

TEST_F(CliTest, DecodeReadsBinaryFilesAndReportsBadInput) {
  {
    std::ofstream capture(dir / "capture.bin", std::ios::binary);
    const unsigned char bytes[] = {0x55, 0x04, 0xC7, 0x07, 0x55, 0x00, 0xAA, 0x55, 0x02, 0x47, 0x00, 0xAA,
                                   0x55, 0x03, 0x98, 0x15, 0x00, 0xAA, 0x55, 0x02, 0xEE, 0x00, 0xAA};
    capture.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
  }
  const CliRun run = Cli({"decode", "capture.bin"}, dir.path());
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.lines,
            (std::vector<std::string>{R"({"kind":199,"Co2Factor":0.785})", R"({"kind":71})",
                                      R"({"kind":152,"ignored":true})", R"({"kind":238,"unhandled":true})"}));

  const CliRun missing = Cli({"decode", "no-such-file"}, dir.path());
  EXPECT_NE(missing.exit_code, 0);
  EXPECT_NE(missing.errors.find("no-such-file"), std::string::npos);

  const CliRun bad_hex = Cli({"decode", "--hex"}, dir.path(), "55 02 01 00 AA 5x\x1B[2J");
  EXPECT_EQ(bad_hex.exit_code, 1);
  EXPECT_EQ(bad_hex.lines, std::vector<std::string>{R"({"kind":1})"});                    // what came before is decoded
  EXPECT_NE(bad_hex.errors.find("\"5x\\x1B[2J\""), std::string::npos) << bad_hex.errors;  // shown, not obeyed
}

// Runs quorvel-cli until it has printed `count` lines, then interrupts it
// as Ctrl-C would.
CliRun CliUntilLines(const QStringList& args, const std::filesystem::path& folder, qsizetype count) {
  QProcess process;
  process.setWorkingDirectory(QString::fromStdString(folder.string()));
  process.start(QUORVEL_CLI, args);
  QByteArray out;
  const bool enough = testing::SpinUntil([&] {
    out += process.readAllStandardOutput();
    return out.count('\n') >= count || process.state() == QProcess::NotRunning;
  });
  if (enough && process.state() != QProcess::NotRunning) {
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    testing::SpinUntil([&] { return process.state() == QProcess::NotRunning; });
  }
  if (process.state() != QProcess::NotRunning) {
    process.kill();
    process.waitForFinished();
  }
  out += process.readAllStandardOutput();
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, Lines(out),
          process.readAllStandardError().toStdString()};
}

TEST_F(CliTest, WatchGreetsTheMeterThenPrintsLiveAnswers) {
  StartMeters(2);
  // Each request purges the line first, dropping what is still on its way;
  // a loaded machine can hold a pseudo-terminal's bytes for over half a
  // second, so the meters get the dashboard's own second to answer in.
  const CliRun run =
      CliUntilLines({"watch", "--port", Port(3, 0), "--port", Port(5, 1), "--tick-ms", "1000"}, dir.path(), 6);
  EXPECT_EQ(run.exit_code, 0) << run.errors;  // Ctrl-C ends a watch normally
  ASSERT_GE(run.lines.size(), 6U) << run.errors;
  EXPECT_EQ(run.lines[0].rfind(R"({"slot":5,"kind":134,)", 0), 0U) << run.lines[0];
  EXPECT_EQ(run.lines[1].rfind(R"({"slot":5,"kind":172,)", 0), 0U) << run.lines[1];
  EXPECT_EQ(run.lines[2].rfind(R"({"slot":5,"kind":199,)", 0), 0U) << run.lines[2] << run.errors;
  EXPECT_EQ(run.lines[3].rfind(R"({"slot":5,"kind":200,)", 0), 0U) << run.lines[3];
  // Then both meters are polled on every tick; their answers race each other.
  std::multiset<std::string> polled{run.lines[4].substr(0, 21), run.lines[5].substr(0, 21)};
  EXPECT_EQ(polled, (std::multiset<std::string>{R"({"slot":3,"kind":151,)", R"({"slot":5,"kind":151,)"}));
}

TEST_F(CliTest, WatchStopsOnInterrupt) {
  StartMeters(1);
  QProcess process;
  process.setWorkingDirectory(QString::fromStdString(dir.path().string()));
  process.start(QUORVEL_CLI, {"watch", "--port", Port(4, 0), "--tick-ms", "100"});
  ASSERT_TRUE(process.waitForStarted());
  ASSERT_TRUE(testing::SpinUntil([&] { return process.bytesAvailable() > 0 || process.canReadLine(); }));
  ::kill(static_cast<pid_t>(process.processId()), SIGINT);
  EXPECT_TRUE(testing::SpinUntil([&] { return process.state() == QProcess::NotRunning; }));
  EXPECT_EQ(process.exitCode(), 0);
}

TEST_F(CliTest, InfoReadsSettingsHistoryAndTimers) {
  StartMeters(1);
  meters->Meter(0).WithModel([](sim::MeterModel& m) {
    (void)m.Answer(std::array<std::uint8_t, 12>{0x55, 0x18, 5, 9, 8, 0, 17, 30, 0, 0, 0xAA, 0x0D});
  });
  // Each answer must come within its tick (see above), on a loaded machine too.
  const CliRun run = Cli({"info", "--port", Port(6, 0), "--history", "--timers", "--tick-ms", "250"}, dir.path());
  EXPECT_EQ(run.exit_code, 0) << run.errors;
  ASSERT_EQ(run.lines.size(), 1U);
  const std::string& json = run.lines[0];
  EXPECT_EQ(json.rfind(R"({"slot":6,"device":")", 0), 0U);
  for (const char* key : {R"("MeterNumber":")", R"("TierLimit":5000)", R"("Co2Factor":0.785)", R"("History":[[)",
                          R"({"Timer":5,"Mode":9,"OnHour":8,"OnMinute":0,"OffHour":17,"OffMinute":30})"}) {
    EXPECT_NE(json.find(key), std::string::npos) << key << " in " << json;
  }
  EXPECT_EQ(json.find("missing"), std::string::npos) << run.errors;
}

TEST_F(CliTest, InfoAsksAgainForASettingWhoseAnswerWasLost) {
  sim::FaultOptions faults;
  faults.rates.lose = 0.3;
  StartMeters(1, faults);
  const CliRun run = Cli({"info", "--port", Port(6, 0), "--tick-ms", "100"}, dir.path());
  const std::vector<sim::AnswerLogEntry> log = meters->Meter(0).AnswerLog();
  ASSERT_GE(log.size(), 4U);
  EXPECT_TRUE(std::any_of(log.begin(), log.begin() + 4, [](const auto& e) { return e.fault == sim::Fault::kLost; }))
      << "the seed no longer loses an answer of the first round";
  EXPECT_EQ(run.exit_code, 0) << run.errors;
  ASSERT_EQ(run.lines.size(), 1U);
  EXPECT_EQ(run.lines[0].find("missing"), std::string::npos) << run.lines[0];
}

TEST_F(CliTest, InfoNamesWhatNeverAnswered) {
  sim::FaultOptions faults;
  faults.rates.lose = 0.5;
  StartMeters(1, faults, "me\"ter\\");  // a path no JSON writer may pass on raw
  const CliRun run = Cli({"info", "--port", Port(6, 0), "--history", "--timers", "--tick-ms", "40"}, dir.path());
  ASSERT_EQ(run.lines.size(), 1U) << run.errors;
  QJsonParseError error{};
  const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(run.lines[0]), &error).object();
  ASSERT_EQ(error.error, QJsonParseError::NoError) << run.lines[0];
  EXPECT_EQ(json["device"].toString().toStdString(), meters->Link(0));
  ASSERT_TRUE(json.contains("missing")) << run.lines[0];  // half the answers are lost
  EXPECT_EQ(run.exit_code, 3);

  // A month is either a row of days or null and named missing, never zeros.
  std::set<int> null_months;
  std::set<int> missing_months;
  const QJsonArray history = json["History"].toArray();
  for (qsizetype m = 0; m < history.size(); ++m) {
    if (history[m].isNull()) null_months.insert(static_cast<int>(m) + 1);
  }
  for (const QJsonValue month : json["MissingMonths"].toArray()) missing_months.insert(month.toInt());
  if (!history.isEmpty()) {
    EXPECT_EQ(null_months, missing_months);
  }
  // Every timer is either shown or named missing; success only when none is.
  std::set<int> timers;
  for (const QJsonValue timer : json["Timers"].toArray()) timers.insert(timer.toObject()["Timer"].toInt());
  const QJsonArray missing_timers = json["MissingTimers"].toArray();
  for (const QJsonValue timer : missing_timers) EXPECT_TRUE(timers.insert(timer.toInt()).second);
  EXPECT_EQ(timers.size(), 20U);
  EXPECT_EQ(run.errors.find("Timer load success") != std::string::npos, missing_timers.isEmpty()) << run.errors;
}

TEST_F(CliTest, ProbeWriteNeverWritesWhatItDidNotRead) {
  sim::FaultOptions faults;
  faults.rates.lose = 0.35;
  StartMeters(1, faults);
  const CliRun run = Cli({"probe", "--port", Port(3, 0), "--write"}, dir.path());
  EXPECT_EQ(run.exit_code, 3) << run.errors;
  EXPECT_NE(run.errors.find("not written back: its read got no answer"), std::string::npos) << run.errors;
  // Whatever was lost, the meter keeps its settings.
  meters->Meter(0).WithModel([](sim::MeterModel& m) {
    EXPECT_EQ(m.Tariff().tier_limit, 5000);
    EXPECT_EQ(m.Tariff().price1, 300);
    EXPECT_EQ(m.Tariff().price2, 400);
    EXPECT_EQ(m.Co2FactorMilli(), 785);
  });
}

TEST_F(CliTest, LogThatCanSaveNoRowStopsAndFails) {
  StartMeters(1);
  std::filesystem::create_directories(dir / "out" / "Com3RealTimeData.xls");  // a folder named like the file
  const CliRun run = Cli({"log", "--port", Port(3, 0), "--out", "out", "--tick-ms", "50"}, dir.path(), {}, 20000);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_TRUE(run.lines.empty());
  EXPECT_NE(run.errors.find("no row could be saved; stopped"), std::string::npos) << run.errors;
}

TEST_F(CliTest, WatchWaitsForAVanishedMeterAndGoesOnWhenItReturns) {
  StartMeters(1);
  QProcess process;
  process.setWorkingDirectory(QString::fromStdString(dir.path().string()));
  process.start(QUORVEL_CLI, {"watch", "--port", Port(3, 0), "--tick-ms", "100"});
  ASSERT_TRUE(process.waitForStarted());
  QByteArray out;
  std::string errors;
  auto lines = [&] {
    out += process.readAllStandardOutput();
    errors += process.readAllStandardError().toStdString();
    return out.count('\n');
  };
  auto told = [&](const std::string& text) {
    lines();
    return errors.find(text) != std::string::npos;
  };
  const std::string waiting = "COM3 was unplugged or stopped answering; it is opened again when it returns.";
  ASSERT_TRUE(testing::SpinUntil([&] { return lines() >= 6; }));
  meters->Unplug(0);
  ASSERT_TRUE(testing::SpinUntil([&] { return told(waiting); }));
  sim::MeterSimulatorOptions options;
  options.links = {meters->Link(0)};
  options.byte_interval = std::chrono::microseconds{0};
  options.seed = 11;  // the same meter comes back
  std::string error;
  auto again = sim::MeterSimulator::Open(options, &error);
  ASSERT_TRUE(again && again->Start(&error)) << error;
  ASSERT_TRUE(testing::SpinUntil([&] { return told("COM3 is back and open again."); })) << errors;
  const auto returned_at = lines();
  EXPECT_TRUE(testing::SpinUntil([&] { return lines() > returned_at + 3; }));  // polled again
  ::kill(static_cast<pid_t>(process.processId()), SIGINT);
  EXPECT_TRUE(testing::SpinUntil([&] { return process.state() == QProcess::NotRunning; }));
  lines();
  EXPECT_EQ(process.exitCode(), 3);
  // Told once in words, its return once, and nothing else: no read error.
  EXPECT_EQ(Lines(QByteArray::fromStdString(errors)),
            (std::vector<std::string>{waiting, "COM3 is back and open again."}))
      << errors;
}

TEST_F(CliTest, PortsThatCannotBeOpenedSayWhy) {
  StartMeters(1);
  const CliRun absent = Cli(
      {"watch", "--port", "COM3=" + QString::fromStdString((dir / "nothing").string()), "--seconds", "1"}, dir.path());
  EXPECT_EQ(absent.exit_code, 1);
  EXPECT_NE(absent.errors.find("COM3"), std::string::npos) << absent.errors;
  EXPECT_NE(absent.errors.find("nothing does not exist"), std::string::npos) << absent.errors;

  // Two slots, or two programs, on one device under two names.
  const QString terminal = QString::fromStdString(std::filesystem::canonical(meters->Link(0)).string());
  const CliRun twice = Cli({"watch", "--port", Port(3, 0), "--port", "COM4=" + terminal, "--seconds", "1"}, dir.path());
  EXPECT_EQ(twice.exit_code, 1);
  EXPECT_NE(twice.errors.find("it is the device of COM3"), std::string::npos) << twice.errors;
  struct Quiet : Notifier {
    void Notify(const Notice&) override {}
  } quiet;
  struct Holder : SerialPortOwner {
    std::string path;
    std::string DeviceNameFor(unsigned) const override { return path; }
    void OnBytesReceived(unsigned, std::span<const std::uint8_t>) override {}
  } holder;
  holder.path = terminal.toStdString();
  CSerialPort held(quiet);
  ASSERT_TRUE(OpenMeterLine(held, &holder, 1, 9600));
  const CliRun busy = Cli({"info", "--port", Port(3, 0)}, dir.path());
  EXPECT_EQ(busy.exit_code, 1);
  EXPECT_NE(busy.errors.find("in use by another program"), std::string::npos) << busy.errors;

  const CliRun unlisted = Cli({"watch", "--port", "COM17", "--seconds", "1"}, dir.path());
  EXPECT_EQ(unlisted.exit_code, 1);
  EXPECT_NE(unlisted.errors.find("COM17"), std::string::npos);

  // A settings file that cannot be read is named as the cause, not [Ports].
  std::ofstream(dir / "Power Meter.ini", std::ios::binary) << std::string(2 << 20, '[');
  for (const QStringList& args : {QStringList{"ports"}, QStringList{"probe", "--port", "COM17"}}) {
    const CliRun run = Cli(args, dir.path());
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.errors.find("the settings file could not be read"), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find("assign a port in"), std::string::npos) << run.errors;
  }
}

// Each slot remembers the meter read on it: another meter there is told
// once, `ports` shows what each slot remembers, and --forget forgets it.
TEST_F(CliTest, PortsShowWhatEachSlotRemembersAndAnotherMeterIsTold) {
  StartMeters(1);
  const std::string link = meters->Link(0);
  const std::string number = [&] {
    std::string digits;
    for (const auto d : meters->Meter(0).WithModel([](sim::MeterModel& m) { return m.MeterNumberDigits(); })) {
      digits += std::to_string(d);
    }
    return digits;
  }();
  std::ofstream(dir / "Power Meter.ini") << "; mine\n[Ports]\nCOM3=" << link
                                         << "\n[Slots]\nCOM4=by-path/gone\nCOM4.Meter=12345678\n[Vendor]\nx=1\n";
  const CliRun listed = Cli({"ports"}, dir.path());
  EXPECT_EQ(listed.exit_code, 0) << listed.errors;
  EXPECT_EQ(listed.lines, (std::vector<std::string>{"COM3\t" + link + "\t-\tassigned\t-\t-",
                                                    "COM4\t-\t-\tabsent\tby-path/gone\t12345678"}));

  const QStringList info{"info", "--port", "COM3", "--tick-ms", "250"};
  const CliRun first = Cli(info, dir.path());
  EXPECT_EQ(first.exit_code, 0) << first.errors;
  EXPECT_EQ(first.errors.find("now answers as"), std::string::npos) << first.errors;

  // Another meter behind the same link.
  meters.reset();
  sim::MeterSimulatorOptions options;
  options.links = {link};
  options.byte_interval = std::chrono::microseconds{0};
  options.meter_numbers = {87654321};
  std::string error;
  meters = sim::MeterSimulator::Open(options, &error);
  ASSERT_TRUE(meters && meters->Start(&error)) << error;
  const CliRun second = Cli(info, dir.path());
  EXPECT_EQ(second.exit_code, 0) << second.errors;
  const std::string told = "COM3 now answers as meter 87654321, before " + number + "\n";
  const auto at = second.errors.find(told);
  ASSERT_NE(at, std::string::npos) << second.errors;
  EXPECT_EQ(second.errors.find(told, at + 1), std::string::npos) << second.errors;    // once
  EXPECT_EQ(Cli(info, dir.path()).errors.find("now answers as"), std::string::npos);  // and not again

  const CliRun forgotten = Cli({"ports", "--forget", "COM4", "--forget", "com3"}, dir.path());
  EXPECT_EQ(forgotten.exit_code, 0) << forgotten.errors;
  EXPECT_EQ(forgotten.lines, std::vector<std::string>{"COM3\t" + link + "\t-\tassigned\t-\t-"});
  std::ifstream file(dir / "Power Meter.ini");
  std::ostringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(), "; mine\n[Ports]\nCOM3=" + link + "\n[Slots]\n[Vendor]\nx=1\n");
  EXPECT_EQ(Cli({"ports", "--forget", "COM3=/dev/ttyUSB0"}, dir.path()).exit_code, 2);
}

TEST_F(CliTest, ProbeTellsAnUnplugOnceInWords) {
  sim::FaultOptions faults;
  faults.rates.lose = 1.0;  // each request waits its two seconds
  StartMeters(1, faults);
  QProcess process;
  process.setWorkingDirectory(QString::fromStdString(dir.path().string()));
  process.start(QUORVEL_CLI, {"probe", "--port", Port(3, 0)});
  QByteArray out;
  ASSERT_TRUE(testing::SpinUntil([&] {
    out += process.readAllStandardOutput();
    return out.contains("\"answer\":null");
  }));
  meters->Unplug(0);
  ASSERT_TRUE(testing::SpinUntil([&] { return process.state() == QProcess::NotRunning; }, 10000));
  const std::vector<std::string> errors = Lines(process.readAllStandardError());
  EXPECT_EQ(process.exitCode(), 1);
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors.front(), "quorvel-cli probe: COM3 was unplugged or stopped answering");
  EXPECT_EQ(errors.size(), 2U);  // and the count of answers
}

// An assignment whose path is not there is told as such, never as a port
// nobody assigned; `ports` fails when nothing it lists can be used.
TEST_F(CliTest, AssignedPathsThatAreNotThereAreNamed) {
  StartMeters(1);
  const std::string link = meters->Link(0);
  const std::string missing = (dir / "misspelt").string();
  struct Case {
    const char* name;
    std::string ini;
    QStringList args;
    int exit_code;
    std::vector<std::string> listed;  // slots on standard output
    std::string told;                 // on standard error
  };
  const Case cases[] = {
      {"nothing anywhere", "", {"ports"}, 1, {}, "no meter ports found: plug in a meter's USB adapter, or assign"},
      {"a typo",
       "[Ports]\nCOM3=" + missing + "\n",
       {"ports"},
       1,
       {},
       "COM3 is assigned to " + missing + ", and " + missing + " does not exist"},
      {"one there, one not",
       "[Ports]\nCOM3=" + link + "\nCOM4=" + missing + "\n",
       {"ports"},
       3,
       {"COM3"},
       "COM4 is assigned to " + missing + ", and " + missing + " does not exist"},
      {"a NUL byte",
       "[Ports]\nCOM4=" + link + std::string("\0junk\n", 6),
       {"ports"},
       1,
       {},
       "COM4 is assigned to " + link + "\\x00junk, which holds a NUL byte: no device has such a name"},
      {"all there", "[Ports]\nCOM3=" + link + "\n", {"ports"}, 0, {"COM3"}, ""},
      {"a typo, opened",
       "[Ports]\nCOM4=" + missing + "\n",
       {"watch", "--port", "COM4", "--seconds", "1"},
       1,
       {},
       "cannot open COM4: COM4 is assigned to " + missing + ", and " + missing + " does not exist"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(dir / "Power Meter.ini", std::ios::binary | std::ios::trunc) << c.ini;
    const CliRun run = Cli(c.args, dir.path());
    EXPECT_EQ(run.exit_code, c.exit_code) << run.errors;
    std::vector<std::string> listed;
    for (const std::string& line : run.lines) listed.push_back(line.substr(0, line.find('\t')));
    EXPECT_EQ(listed, c.listed);
    EXPECT_NE(run.errors.find(c.told), std::string::npos) << run.errors;
    if (!c.ini.empty()) {
      EXPECT_EQ(run.errors.find("assign a port in"), std::string::npos) << run.errors;
    }
  }
}

TEST(OpenFailureMessage, PermissionDeniedNamesTheDialoutGroup) {
  OpenError error{OpenFailure::kPermissionDenied, "/dev/ttyUSB0", "Permission denied"};
  const std::string text = cli::OpenFailureMessage(1, error);
  EXPECT_NE(text.find("COM1 (/dev/ttyUSB0)"), std::string::npos);
  EXPECT_NE(text.find("'dialout' group"), std::string::npos);
}

TEST_F(CliTest, ArgumentMistakesAreExplained) {
  for (const QStringList& args :
       {QStringList{"watch"}, QStringList{"watch", "--port", "COM19"},
        QStringList{"info", "--port", "COM3", "--port", "COM4"}, QStringList{"log", "--port", "COM3"},
        QStringList{"frobnicate"}, QStringList{"export-month", "--port", "COM3", "--month", "13", "--out", "x"},
        // Numbers are whole numbers in range.
        QStringList{"watch", "--port", "COM3", "--seconds", "nan"},
        QStringList{"export-month", "--port", "COM3", "--month", "1.9", "--out", "x"},
        QStringList{"export-month", "--port", "COM3", "--month", "nan", "--out", "x"},
        QStringList{"log", "--port", "COM3", "--out", "x", "--interval", "99999999999999999999"},
        QStringList{"info", "--port", "COM3", "--tick-ms", "1e3"}, QStringList{"decode", "--hexx"}}) {
    const CliRun run = Cli(args, dir.path());
    EXPECT_EQ(run.exit_code, 2) << args.join(' ').toStdString();
    EXPECT_FALSE(run.errors.empty());
  }
  // Every verb tells its own options and the exit codes.
  for (const QString verb : {"decode", "ports", "probe", "watch", "info", "log", "export-month"}) {
    const CliRun help = Cli({verb, "--help"}, dir.path());
    EXPECT_EQ(help.exit_code, 0);
    ASSERT_FALSE(help.lines.empty());
    EXPECT_EQ(help.lines[0].rfind("usage: quorvel-cli " + verb.toStdString(), 0), 0U) << help.lines[0];
    std::string text;
    for (const std::string& line : help.lines) text += line + " ";
    EXPECT_NE(text.find("Exit status: 0 "), std::string::npos) << verb.toStdString();
    EXPECT_NE(text.find(" 2 usage error"), std::string::npos) << verb.toStdString();
  }
}

TEST(OutputText, JsonAndTerminalTextCarryEveryCharacterSafely) {
  std::string every;
  for (int c = 1; c < 0x80; ++c) every += static_cast<char>(c);
  every += "\xC3\xA4 \xE2\x82\xAC";  // UTF-8 stays
  const std::string json = "[" + cli::JsonString(every) + "]";
  for (const char c : json) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << int{c};
  const QJsonDocument parsed = QJsonDocument::fromJson(QByteArray::fromStdString(json));
  ASSERT_TRUE(parsed.isArray()) << json;
  EXPECT_EQ(parsed.array()[0].toString().toStdString(), every);
  EXPECT_EQ(cli::JsonString("a\xFF\"b"), "\"a\\ufffd\\\"b\"");  // not UTF-8: replaced

  EXPECT_EQ(cli::Printable("5x\x1B[31m\rA\xC2\x9B\xC3\xA4"), "5x\\x1B[31m\\x0DA\\xC2\\x9B\xC3\xA4");
}

}  // namespace
}  // namespace quorvel
