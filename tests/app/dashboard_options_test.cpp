// The dashboard's command line: what each accepted line gives, and a reason
// for each refused one.
#include "app/dashboard_options.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

QStringList Line(std::initializer_list<const char*> args) {
  QStringList line{"quorvel-dashboard"};
  for (const char* arg : args) line << arg;
  return line;
}

TEST(DashboardOptions, AcceptedLines) {
  using P = DashboardPage;
  struct Case {
    QStringList line;
    int demo;
    std::string screenshot;
    DashboardPage page;
    int delay_ms;
  };
  const Case cases[] = {
      {Line({}), 0, "", P::kRealTime, 500},
      {Line({"--demo", "3"}), 3, "", P::kRealTime, 6000},
      {Line({"--demo=18"}), 18, "", P::kRealTime, 6000},
      {Line({"--demo", "01"}), 1, "", P::kRealTime, 6000},
      {Line({"--demo", "3", "--screenshot", "shot.png"}), 3, "shot.png", P::kRealTime, 6000},
      {Line({"--screenshot", "out/A.PNG", "--page", "settings", "--after", "0.25"}), 0, "out/A.PNG", P::kSettings, 250},
      {Line({"--screenshot", "a.png", "--page", "timer", "--after", "0"}), 0, "a.png", P::kTimer, 0},
      {Line({"--screenshot", "a.png", "--after", "4", "--demo", "2"}), 2, "a.png", P::kRealTime, 4000},
      {Line({"--screenshot", "a.png", "--after", "3600"}), 0, "a.png", P::kRealTime, 3'600'000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line.join(' ').toStdString());
    const DashboardCommandLine parsed = ParseDashboardCommandLine(c.line);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_FALSE(parsed.options->help || parsed.options->version);
    EXPECT_EQ(parsed.options->demo_meters, c.demo);
    EXPECT_EQ(parsed.options->screenshot, c.screenshot);
    EXPECT_EQ(parsed.options->page, c.page);
    EXPECT_EQ(parsed.options->screenshot_delay.count(), c.delay_ms);
  }
}

TEST(DashboardOptions, RefusedLinesSayWhy) {
  struct Case {
    QStringList line;
    std::string says;
  };
  const Case cases[] = {
      {Line({"--demo", "0"}), "--demo takes a whole number of meters from 1 to 18, not '0'"},
      {Line({"--demo", "19"}), "not '19'"},
      {Line({"--demo", "2.5"}), "not '2.5'"},
      {Line({"--demo", "-3"}), "not '-3'"},
      {Line({"--demo", " 3"}), "not ' 3'"},
      {Line({"--demo"}), "missing value after '--demo'"},
      {Line({"--screenshot", "shot.jpg"}), "give a name ending in .png, not 'shot.jpg'"},
      {Line({"--screenshot", ".png"}), "ending in .png"},
      {Line({"--page", "timer"}), "--page and --after go with --screenshot"},
      {Line({"--demo", "3", "--after", "4"}), "go with --screenshot"},
      {Line({"--screenshot", "a.png", "--page", "chart"}), "--page is realtime, timer or settings, not 'chart'"},
      {Line({"--screenshot", "a.png", "--page", "Timer"}), "not 'Timer'"},
      {Line({"--screenshot", "a.png", "--after", "-1"}), "--after takes seconds from 0 to 3600"},
      {Line({"--screenshot", "a.png", "--after", "nan"}), "not 'nan'"},
      {Line({"--screenshot", "a.png", "--after", "inf"}), "not 'inf'"},
      {Line({"--screenshot", "a.png", "--after", "1e3"}), "not '1e3'"},
      {Line({"--screenshot", "a.png", "--after", "3600.5"}), "not '3600.5'"},
      {Line({"--screenshot", "a.png", "--after", ""}), "not ''"},
      {Line({"--screenshot", "a.png", "--after", "2s"}), "not '2s'"},
      {Line({"--colour"}), "unknown option 'colour'"},
      {Line({"meters.ini"}), "unexpected argument 'meters.ini'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line.join(' ').toStdString());
    const DashboardCommandLine parsed = ParseDashboardCommandLine(c.line);
    EXPECT_FALSE(parsed.options);
    EXPECT_NE(parsed.error.find(c.says), std::string::npos) << parsed.error;
  }
}

TEST(DashboardOptions, HelpAndVersionWinOverTheRest) {
  for (const auto& line : {Line({"--help"}), Line({"-h", "--demo", "99"}), Line({"--version"}), Line({"-v"})}) {
    const DashboardCommandLine parsed = ParseDashboardCommandLine(line);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_TRUE(parsed.options->help != parsed.options->version);
  }
  const std::string help = DashboardHelpText();
  EXPECT_EQ(help.rfind("Usage: quorvel-dashboard [options]\n", 0), 0U) << help;
  for (const char* text : {"--demo <N>", "--screenshot <FILE>", "--page <PAGE>", "--after <SECONDS>", "--version",
                           "\"Power Meter.ini\"", "working folder", "2  wrong command line"}) {
    EXPECT_NE(help.find(text), std::string::npos) << text;
  }
  EXPECT_EQ(DashboardVersionText(), "quorvel-dashboard " QUORVEL_VERSION);
}

}  // namespace
}  // namespace quorvel
