// The command line of quorvel-dashboard: simulated meters for a demo, a
// screenshot of one page, the version and the help. Parsing only; main()
// acts on the result and chooses the exit status.
#pragma once

#include <QStringList>

#include <chrono>
#include <optional>
#include <string>

namespace quorvel {

// The program's exit statuses, as the help text lists them.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

inline constexpr int kMaxDemoMeters = 18;
// A bound that keeps the delay a sane timer interval.
inline constexpr double kMaxScreenshotDelaySeconds = 3600;

enum class DashboardPage { kRealTime, kTimer, kSettings };

struct DashboardOptions {
  bool help = false;                              // print DashboardHelpText() and exit
  bool version = false;                           // print DashboardVersionText() and exit
  int demo_meters = 0;                            // 0: no simulated meters
  std::string screenshot;                         // PNG to write and exit; empty: run the window
  DashboardPage page = DashboardPage::kRealTime;  // the page in the screenshot
  // Time between the window shown and the screenshot: long enough by
  // default for simulated meters to have answered.
  std::chrono::milliseconds screenshot_delay{500};
};

struct DashboardCommandLine {
  std::optional<DashboardOptions> options;  // empty on a usage error
  std::string error;                        // what is wrong, for "(try --help)"
};

// `arguments` as QCoreApplication::arguments() gives them: the program
// first. --help and --version win over everything but unknown options.
DashboardCommandLine ParseDashboardCommandLine(const QStringList& arguments);

std::string DashboardHelpText();
std::string DashboardVersionText();  // "quorvel-dashboard 0.1.0"

}  // namespace quorvel
