// quorvel-dashboard as a process, on its --demo meters: how it ends when
// asked to by a signal, and what a run killed outright leaves for the next.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <optional>

#include "app/demo_meters.h"
#include "link/serial_platform.h"
#include "tests/support/spin.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using testing::SpinUntil;

// A demo dashboard whose first meter (COM3) is open: a screenshot run that
// waits far longer than any test.
class DemoRun {
 public:
  explicit DemoRun(const testing::TempDir& dir) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir.path().string()));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process_.setProcessEnvironment(environment);
    process_.setWorkingDirectory(QString::fromStdString(dir.path().string()));
    process_.start(QUORVEL_DASHBOARD, {"--demo", "1", "--screenshot", "never.png", "--after", "600"});
    if (!process_.waitForStarted()) return;
    const std::string prefix = "quorvel-demo-" + std::to_string(process_.processId()) + "-";
    SpinUntil([&] {
      for (const auto& entry : fs::directory_iterator(dir.path())) {
        if (entry.path().filename().string().starts_with(prefix)) folder_ = entry.path();
      }
      return Ready();
    });
  }
  ~DemoRun() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished();
    }
  }

  // The port is open once its lock file names its owner.
  bool Ready() const {
    std::error_code ec;
    return !folder_.empty() && fs::file_size(LockFile(), ec) > 0 && !ec;
  }
  const fs::path& Folder() const { return folder_; }
  // The serial library's lock file of the open meter.
  fs::path LockFile() const { return LockFilePath((folder_ / "COM3").string()); }

  void Signal(int signal_number) { ::kill(static_cast<pid_t>(process_.processId()), signal_number); }
  // The exit status once it has ended, or nothing (killed by a signal, or still running).
  std::optional<int> AwaitEnd() {
    SpinUntil([&] { return process_.state() == QProcess::NotRunning; });
    if (process_.state() != QProcess::NotRunning || process_.exitStatus() != QProcess::NormalExit) return {};
    return process_.exitCode();
  }
  std::string Errors() { return process_.readAllStandardError().toStdString(); }

 private:
  QProcess process_;
  fs::path folder_;
};

TEST(DashboardProcess, EndedBySignalItLeavesAsExitDoes) {
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(::strsignal(signal_number));
    const testing::TempDir dir;
    DemoRun run(dir);
    ASSERT_TRUE(run.Ready()) << run.Errors();
    run.Signal(signal_number);
    EXPECT_EQ(run.AwaitEnd(), std::optional<int>{0}) << run.Errors();
    // The port was released and the meters stopped: nothing is left.
    EXPECT_FALSE(fs::exists(run.LockFile())) << run.LockFile();
    EXPECT_FALSE(fs::exists(run.Folder())) << run.Folder();
    EXPECT_FALSE(fs::exists(dir / "never.png"));
  }
}

TEST(DashboardProcess, ALockFileOfAKilledDemoGoesWithItsFolder) {
  struct Case {
    const char* name;
    bool killed;
  };
  for (const Case c : {Case{"a run killed with -9", true}, Case{"a run still going", false}}) {
    SCOPED_TRACE(c.name);
    const testing::TempDir dir;
    DemoRun run(dir);
    ASSERT_TRUE(run.Ready()) << run.Errors();
    if (c.killed) {
      run.Signal(SIGKILL);
      EXPECT_EQ(run.AwaitEnd(), std::nullopt);
      ASSERT_TRUE(fs::exists(run.LockFile()));  // what the next start finds
    }
    // What the next --demo start does first.
    RemoveStaleDemoFolders(dir.path());
    EXPECT_EQ(fs::exists(run.LockFile()), !c.killed) << run.LockFile();
    EXPECT_EQ(fs::exists(run.Folder()), !c.killed) << run.Folder();
  }
}

}  // namespace
}  // namespace quorvel
