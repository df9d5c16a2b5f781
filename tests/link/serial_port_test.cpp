#include "link/serial_port.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <functional>
#include <numeric>
#include <thread>

#include "link/meter_line.h"
#include "link/serial_platform.h"
#include "tests/support/pty.h"
#include "tests/support/recording_notifier.h"
#include "tests/support/spin.h"

namespace quorvel {
namespace {

using testing::PtyPair;
using testing::RecordingNotifier;
using testing::Spin;
using testing::SpinUntil;
using Bytes = std::vector<unsigned char>;

class RecordingOwner : public SerialPortOwner {
 public:
  explicit RecordingOwner(std::string path) : path_(std::move(path)) {}
  std::string DeviceNameFor(unsigned) const override { return path_; }
  void OnBytesReceived(unsigned port, std::span<const std::uint8_t> bytes) override {
    EXPECT_EQ(port, 3U);
    received.insert(received.end(), bytes.begin(), bytes.end());
    pieces.emplace_back(bytes.begin(), bytes.end());
    ++batches;
    if (during_hand_over) during_hand_over();
  }
  void OnPortLost(unsigned) override { ++lost; }

  Bytes received;
  std::vector<Bytes> pieces;  // each hand-off's bytes
  int batches = 0;
  int lost = 0;
  // Runs while the monitor waits for the hand-off to end.
  std::function<void()> during_hand_over;

 private:
  std::string path_;
};

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pty.ok()); }

  bool Open(CSerialPort& target, int baud = 9600, int data_bits = 8, char parity = 'N') {
    return target.OpenPort(&owner, 3, baud, parity, data_bits, 1, 0x0009, 512);
  }
  void OpenAndStart() {
    ASSERT_TRUE(Open(port));
    ASSERT_TRUE(port.StartMonitor());
    ASSERT_TRUE(port.MonitorAlive());
    Spin(20);  // let the monitor purge and start reading
  }

  PtyPair pty;
  RecordingOwner owner{pty.slave_path()};
  RecordingNotifier notifier;
  CSerialPort port{notifier};
};

TEST_F(SerialPortTest, DeliversEveryByteInOrder) {
  OpenAndStart();
  Bytes sent(20000);
  std::iota(sent.begin(), sent.end(), 0);
  // The meter side writes from its own thread: a full line buffer must not
  // stop this thread from taking the bytes.
  std::thread meter([&] {
    for (std::size_t at = 0; at < sent.size();) {
      const std::size_t chunk = std::min<std::size_t>(1 + at % 97, sent.size() - at);
      pty.Send(Bytes(sent.begin() + static_cast<long>(at), sent.begin() + static_cast<long>(at + chunk)));
      at += chunk;
    }
  });
  const bool all = SpinUntil([&] { return owner.received.size() >= sent.size(); });
  meter.join();
  ASSERT_TRUE(all);
  EXPECT_EQ(owner.received, sent);
  EXPECT_TRUE(notifier.notices.empty());
}

TEST_F(SerialPortTest, WriteReachesTheDevice) {
  OpenAndStart();
  const Bytes request{0x55, 0x97, 0, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0x0D};
  port.Write(request);
  Spin(5);
  EXPECT_EQ(pty.Receive(12, testing::kPatienceMs), request);
}

TEST_F(SerialPortTest, ASecondWriteBeforeTheMonitorTookTheFirstReplacesIt) {
  OpenAndStart();
  // Both writes while the monitor waits for a hand-off to end: it cannot
  // take the first before the second replaces it.
  owner.during_hand_over = [&] {
    port.Write(Bytes{0xA1, 0xA2});
    port.Write(Bytes{0xB1, 0xB2});
  };
  pty.Send({0x01});
  ASSERT_TRUE(SpinUntil([&] { return !owner.received.empty(); }));
  owner.during_hand_over = nullptr;
  EXPECT_EQ(pty.Receive(2, testing::kPatienceMs), (Bytes{0xB1, 0xB2}));  // the first would have come first
  EXPECT_EQ(owner.received, Bytes{0x01});
}

TEST_F(SerialPortTest, APurgeRacingTheReadNotificationIsNoFailure) {
  // Bytes that arrive just before a write are purged by it, sometimes after
  // the read notification for them was already on its way: that read then
  // finds nothing, which is neither a read failure nor a vanished device.
  OpenAndStart();
  for (int i = 0; i < 300; ++i) {
    pty.Send({0x01});
    QThread::usleep(static_cast<unsigned long>(200 + (i % 7) * 150));
    port.Write(Bytes{0x55});
    QCoreApplication::processEvents();
  }
  // Once a last write is out, no purge is left to come.
  port.Write(Bytes{0x56});
  ASSERT_TRUE(SpinUntil([&] {
    const Bytes sent = pty.Receive(512, 20);
    return std::find(sent.begin(), sent.end(), 0x56) != sent.end();
  }));
  EXPECT_TRUE(port.MonitorAlive());
  EXPECT_EQ(owner.lost, 0);
  EXPECT_TRUE(notifier.notices.empty()) << notifier.notices.front().text;
  pty.Send({0x7E});  // still read, after whatever of the 0x01s was not purged
  EXPECT_TRUE(SpinUntil([&] { return !owner.received.empty() && owner.received.back() == 0x7E; }));
}

TEST_F(SerialPortTest, BytesWaitingBeforeTheMonitorStartsArePurged) {
  ASSERT_TRUE(Open(port));
  pty.Send({0x11, 0x22, 0x33});
  Spin(100);
  ASSERT_TRUE(port.StartMonitor());
  Spin(50);
  pty.Send({0x44});
  ASSERT_TRUE(SpinUntil([&] { return !owner.received.empty(); }));
  Spin(50);
  EXPECT_EQ(owner.received, Bytes{0x44});
}

TEST_F(SerialPortTest, ShutdownSignalledWithDataDeliversNothing) {
  OpenAndStart();
  pty.Send({0x55, 0x02, 0x01, 0x00, 0xAA});
  port.SignalShutdown();
  // The event loop has not run: the monitor ends by itself.
  for (int i = 0; i < 200 && port.MonitorAlive(); ++i) QThread::msleep(10);
  EXPECT_FALSE(port.MonitorAlive());
  Spin(100);
  EXPECT_TRUE(owner.received.empty());
}

TEST_F(SerialPortTest, ReopeningStopsTheRunningMonitorAndReusesTheObject) {
  OpenAndStart();
  pty.Send({0x01});
  QThread::msleep(100);  // the monitor now waits for this thread to take the byte
  // Re-opening waits for that monitor to end: the shutdown must win.
  ASSERT_TRUE(Open(port));
  ASSERT_TRUE(port.StartMonitor());
  Spin(50);
  const std::size_t before = owner.received.size();
  pty.Send({0x02, 0x03});
  ASSERT_TRUE(SpinUntil([&] { return owner.received.size() >= before + 2; }));
  EXPECT_EQ(Bytes(owner.received.end() - 2, owner.received.end()), (Bytes{0x02, 0x03}));
  port.Write(Bytes{0x55, 0xAC});
  EXPECT_EQ(pty.Receive(2, testing::kPatienceMs), (Bytes{0x55, 0xAC}));
}

TEST_F(SerialPortTest, DestroyingAPortWhoseMonitorWaitsDoesNotHang) {
  auto other = std::make_unique<CSerialPort>(notifier);
  ASSERT_TRUE(OpenMeterLine(*other, &owner, 3, 9600));
  ASSERT_TRUE(other->StartMonitor());
  Spin(20);
  pty.Send({0x01, 0x02});
  QThread::msleep(100);
  other.reset();  // must return although its monitor is handing bytes over
  Spin(50);
  SUCCEED();
}

TEST_F(SerialPortTest, ConfigurationFailureIsReportedAndThePortStillWorks) {
  ASSERT_TRUE(Open(port, 9600, 9, 'N'));  // nine data bits: the line text is refused
  ASSERT_EQ(notifier.notices.size(), 1U);
  const Notice& notice = notifier.notices[0];
  EXPECT_EQ(notice.title, "Application Error");
  EXPECT_EQ(notice.icon, NoticeIcon::kStop);
  EXPECT_EQ(notice.text.rfind("WARNING:  BuildCommDCB() Failed with the following error: \n", 0), 0U) << notice.text;
  EXPECT_NE(notice.text.find("\nPort: 3\n"), std::string::npos);
  ASSERT_TRUE(port.StartMonitor());
  Spin(20);
  pty.Send({0x42});
  EXPECT_TRUE(SpinUntil([&] { return owner.received == Bytes{0x42}; }));
}

TEST_F(SerialPortTest, NonStandardBaudRateIsReallySet) {
  ASSERT_TRUE(Open(port, 128000));
  EXPECT_EQ(ReadBackBaudRate(pty.master()), 128000U);
  EXPECT_TRUE(notifier.notices.empty());
  ASSERT_TRUE(Open(port, 1800));
  EXPECT_EQ(ReadBackBaudRate(pty.master()), 1800U);
}

TEST_F(SerialPortTest, VanishingDeviceIsReportedOnceAndTheSlotCloses) {
  OpenAndStart();
  pty.CloseMaster();
  ASSERT_TRUE(SpinUntil([&] { return !port.MonitorAlive() && owner.lost == 1; }));
  Spin(300);  // a reader that does not stop on the hang-up would keep reporting
  EXPECT_EQ(owner.lost, 1);
  // No read failure: the owner tells the loss in its own words.
  EXPECT_TRUE(notifier.notices.empty()) << notifier.notices.front().text;
  port.Write(Bytes{0x55});  // a closed slot ignores writes
}

TEST_F(SerialPortTest, OpenFailuresNameTheirCause) {
  RecordingOwner absent("/dev/quorvel-no-such-port");
  EXPECT_FALSE(OpenMeterLine(port, &absent, 3, 9600));
  EXPECT_EQ(port.LastOpenError().kind, OpenFailure::kNotFound);
  EXPECT_FALSE(port.MonitorAlive());

  ASSERT_TRUE(Open(port));
  CSerialPort second(notifier);
  EXPECT_FALSE(OpenMeterLine(second, &owner, 3, 9600));
  EXPECT_EQ(second.LastOpenError().kind, OpenFailure::kBusy) << second.LastOpenError().text;
  EXPECT_FALSE(second.StartMonitor());
}

TEST_F(SerialPortTest, AnEmptyLockFileOfAKilledProgramDoesNotHoldTheDevice) {
  // A program killed between making its lock file and writing its owner
  // into it leaves an empty file; one whose maker still holds it is a live
  // claim.
  const std::string lock = LockFilePath(pty.slave_path());
  ASSERT_FALSE(lock.empty());
  const int maker = ::open(lock.c_str(), O_RDWR | O_CREAT | O_EXCL, 0644);
  ASSERT_GE(maker, 0) << lock;
  ASSERT_EQ(::flock(maker, LOCK_EX | LOCK_NB), 0);
  EXPECT_FALSE(Open(port));
  EXPECT_EQ(port.LastOpenError().kind, OpenFailure::kBusy);
  ::close(maker);  // killed
  ASSERT_TRUE(Open(port)) << port.LastOpenError().text;
  port.Close();

  // Killed while removing the stale lock file of a program killed before
  // it: the stale file names its owner, and the removal's guard is empty.
  const pid_t killed = ::fork();
  if (killed == 0) ::_exit(0);
  ASSERT_GT(killed, 0);
  ::waitpid(killed, nullptr, 0);
  std::ofstream(lock) << killed << "\nquorvel-cli\n\n";
  ::close(::open((lock + ".rmlock").c_str(), O_RDWR | O_CREAT | O_EXCL, 0644));
  EXPECT_TRUE(Open(port)) << port.LastOpenError().text;
}

// The lock files of meters whose paths are never used again: only those no
// running process names, holds or is still writing go.
TEST(LockFilesOfEndedOwners, GoOnlyWhenNoOneCanStillBeWritingOrHoldingThem) {
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ASSERT_GT(ended, 0);
  ::waitpid(ended, nullptr, 0);
  const std::string prefix = "/tmp/quorvel-ended-owners-" + std::to_string(::getpid()) + "-";
  struct Case {
    const char* name;
    std::string owner;  // the file's first line
    int age_seconds;
    bool held;  // a process holds its lock
    bool removed;
  };
  const Case cases[] = {
      {"its owner ended", std::to_string(ended) + "\n", 0, false, true},
      {"its owner runs", std::to_string(::getpid()) + "\n", 3600, false, false},
      {"empty and held: its maker is writing", "", 3600, true, false},
      {"empty, just made: its maker is about to lock it", "", 0, false, false},
      {"empty long since: its maker was killed", "", 60, false, true},
      {"naming an ended owner but held", std::to_string(ended) + "\n", 0, true, false},
  };
  std::vector<std::string> paths;
  std::vector<int> holders;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string path = LockFilePath(prefix + "COM" + std::to_string(i + 1));
    ASSERT_FALSE(path.empty());
    std::ofstream(path) << cases[i].owner;
    const timespec when[2] = {{::time(nullptr) - cases[i].age_seconds, 0}, {::time(nullptr) - cases[i].age_seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), when, 0), 0) << path;
    if (cases[i].held) {
      holders.push_back(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
      ASSERT_EQ(::flock(holders.back(), LOCK_EX | LOCK_NB), 0) << path;
    }
    paths.push_back(path);
  }
  int expected = 0;
  for (const Case& c : cases) expected += c.removed ? 1 : 0;
  EXPECT_EQ(RemoveLockFilesOfEndedOwners(prefix), expected);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(::access(paths[i].c_str(), F_OK) != 0, cases[i].removed) << cases[i].name;
    ::unlink(paths[i].c_str());
  }
  for (const int holder : holders) ::close(holder);
}

// A read Qt calls failed on a device still there is told in the words of a
// call made then: a purged line is no failure, a device the call fails on is.
TEST(ReadFailureText, SpeaksOnlyOfAFailureSeenNow) {
  PtyPair quiet;
  PtyPair waiting;
  ASSERT_TRUE(quiet.ok() && waiting.ok());
  testing::PortEnd quiet_end(quiet.slave_path());
  testing::PortEnd waiting_end(waiting.slave_path());
  waiting.Send({0x55, 0xAA});
  const int folder = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);  // no terminal: its queries fail
  struct Case {
    const char* name;
    int handle;
    bool failed;
  };
  for (const Case c : {Case{"nothing to read", quiet_end.Fd(), false}, Case{"bytes waiting", waiting_end.Fd(), false},
                       Case{"a query the device refuses", folder, true}}) {
    EXPECT_EQ(!ReadFailureText(c.handle).empty(), c.failed) << c.name << ": " << ReadFailureText(c.handle);
  }
  ::close(folder);
}

// Batches are tested on slow lines: the quiet gap that ends a batch is two
// character times, so at a few baud it is seconds long, and a stalled test
// thread cannot end a batch early.
TEST_F(SerialPortTest, AnAnswerArrivingInBurstsGoesOverInOnePiece) {
  port.SetBatchEnd(0xAA);
  ASSERT_TRUE(Open(port, 10));  // a quiet gap of two seconds
  ASSERT_TRUE(port.StartMonitor());
  Spin(20);
  const std::vector<Bytes> bursts{{0x55, 0x06, 0x97}, {0x01, 0x02}, {0x03, 0x04, 0x9D, 0xAA}};
  Bytes answer;
  for (const Bytes& burst : bursts) {
    pty.Send(burst);
    answer.insert(answer.end(), burst.begin(), burst.end());
    QThread::msleep(20);  // long enough for the monitor to read each burst on its own
  }
  ASSERT_TRUE(SpinUntil([&] { return owner.received.size() >= answer.size(); }));
  EXPECT_EQ(owner.pieces, std::vector<Bytes>{answer});
}

TEST_F(SerialPortTest, TheEndByteEndsABatchWithoutWaitingForTheLineToGoQuiet) {
  port.SetBatchEnd(0xAA);
  ASSERT_TRUE(Open(port, 1));  // a quiet gap of twenty seconds
  ASSERT_TRUE(port.StartMonitor());
  Spin(20);
  const std::vector<Bytes> frames{{0x55, 0x02, 0x47, 0x49, 0xAA}, {0x55, 0x01, 0x56, 0xAA}};
  for (const Bytes& frame : frames) {
    const std::size_t before = owner.pieces.size();
    pty.Send(frame);
    // Half the gap: a batch that waited for the line to go quiet comes later.
    ASSERT_TRUE(SpinUntil([&] { return owner.pieces.size() > before; }, 10000));
  }
  EXPECT_EQ(owner.pieces, frames);
}

TEST_F(SerialPortTest, AnswersLongerAndShorterThanTheOneBeforeGoOverWholeAndAlone) {
  // The first look of a batch waits for as many characters as the last
  // batch held: neither a shorter nor a longer answer may be cut or joined.
  port.SetBatchEnd(0xAA);
  ASSERT_TRUE(Open(port, 100));  // 100 ms a character
  ASSERT_TRUE(port.StartMonitor());
  Spin(20);
  const std::vector<std::vector<Bytes>> answers{
      {{0x55, 0x0A, 0x97, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x71, 0xAA}},  // in one piece: the size to expect
      {{0x55, 0x01}, {0x56, 0xAA}},                                 // shorter, in two bursts
      {{0x55, 0x0A, 0x97, 1, 2, 3}, {4, 5, 6, 7, 8, 9}, {0x71}, {0xAA}},
      {{0x55, 0x10, 0x8B, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, {14, 15, 0x42, 0xAA}},  // longer
  };
  std::vector<Bytes> whole;
  for (const std::vector<Bytes>& bursts : answers) {
    whole.emplace_back();
    for (const Bytes& burst : bursts) {
      pty.Send(burst);
      whole.back().insert(whole.back().end(), burst.begin(), burst.end());
      QThread::msleep(5);
    }
    ASSERT_TRUE(SpinUntil([&] { return owner.pieces.size() == whole.size(); }));
  }
  EXPECT_EQ(owner.pieces, whole);
}

TEST_F(SerialPortTest, AStreamThatNeverPausesStillGoesOverInPieces) {
  // 600 baud: a batch ends after a gap of 33 ms or at 533 ms of age; the
  // stream brings a byte every 4 ms for 1.6 s and never an end byte.
  ASSERT_TRUE(Open(port, 600));
  ASSERT_TRUE(port.StartMonitor());
  Spin(20);
  Bytes sent(400);
  std::iota(sent.begin(), sent.end(), 0);
  std::replace(sent.begin(), sent.end(), static_cast<unsigned char>(0xAA), static_cast<unsigned char>(0xAB));
  std::thread noise([&] {
    for (const unsigned char byte : sent) {
      pty.Send({byte});
      std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
  });
  const bool all = SpinUntil([&] { return owner.received.size() >= sent.size(); });
  noise.join();
  ASSERT_TRUE(all);
  EXPECT_EQ(owner.received, sent);
  EXPECT_GE(owner.pieces.size(), 2U) << "the stream waited for a pause that never came";
}

TEST(CharacterTime, CountsStartParityAndStopBits) {
  struct Case {
    int baud;
    char parity;
    int data_bits;
    int stop_bits;
    long long us;
  };
  const Case cases[] = {
      {9600, 'N', 8, 1, 1042},  // ten bits
      {9600, 'E', 8, 2, 1250},  // twelve bits
      {1800, 'n', 7, 1, 5000},  // nine bits
      {128000, 'O', 8, 1, 86},  // eleven bits, rounded up
      {0, 'N', 8, 1, 1042},     // no speed: taken as 9600 baud 8N1
      {9600, 'N', 9, 1, 1042},  // a character size the line cannot have
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CharacterTime(c.baud, c.parity, c.data_bits, c.stop_bits).count(), c.us)
        << c.baud << c.parity << c.data_bits << c.stop_bits;
  }
}

TEST(SerialFailureText, IsCutTo199Characters) {
  const std::string text = SerialFailureText("SetCommState()", std::string(300, 'x'), 12);
  EXPECT_EQ(text.size(), 199U);
  EXPECT_EQ(SerialFailureText("SetCommState()", "Bad", 12),
            "WARNING:  SetCommState() Failed with the following error: \nBad\nPort: 12\n");
}

}  // namespace
}  // namespace quorvel
