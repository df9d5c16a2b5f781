#include "app/dashboard_options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <cctype>
#include <charconv>
#include <cmath>

#ifndef QUORVEL_VERSION
#define QUORVEL_VERSION "unknown"
#endif

namespace quorvel {
namespace {

constexpr const char* kProgram = "quorvel-dashboard";

// Kept in one place so that the parser and the help text never disagree.
struct Declared {
  QCommandLineOption help{{"h", "help"}, "Show this help and exit."};
  QCommandLineOption version{{"v", "version"}, "Show the program's version and exit."};
  QCommandLineOption demo{"demo",
                          "Start N simulated meters (1 to 18) for this run only, as COM3 to COM(N+2); "
                          "17 or 18 meters take COM1 to COMN. The settings file is not changed, and the "
                          "meters stop when the program ends, however it ends.",
                          "N"};
  QCommandLineOption screenshot{"screenshot",
                                "Render the window to the PNG file FILE and exit, offscreen when there "
                                "is no display.",
                                "FILE"};
  QCommandLineOption page{"page", "The page in the screenshot: realtime (the default), timer or settings.", "PAGE"};
  QCommandLineOption after{"after",
                           "Seconds between the window shown and the screenshot, such as 4 or 0.5 "
                           "(default 6 with --demo, when the first meter's readings are in; else 0.5).",
                           "SECONDS"};

  void AddTo(QCommandLineParser& parser) const {
    parser.setApplicationDescription(
        "QUORVEL Digital Dashboard: live readings, clock, tariff, limits, timers and\n"
        "history of up to 18 QUORVEL power meters on USB-serial adapters.");
    parser.addOptions({help, version, demo, screenshot, page, after});
  }
};

constexpr const char* kHelpEnd =
    "\n"
    "Files:\n"
    "  The settings file \"Power Meter.ini\" is read and written in the working folder,\n"
    "  the folder the program is started from. The spreadsheet files (.xls) go there\n"
    "  too, unless the settings name another folder. The user manual \"user manual.pdf\"\n"
    "  is looked for there first, then in the installed documentation, then in the\n"
    "  build folder.\n"
    "\n"
    "Exit status:\n"
    "  0  done; also when asked to end by SIGTERM, SIGINT or SIGHUP, which leave as\n"
    "     the Exit button does (ports released, files closed)\n"
    "  1  failed (no display to show the window on, or the simulated meters or the\n"
    "     screenshot could not be made)\n"
    "  2  wrong command line\n";

std::string Quoted(const QString& text) { return "'" + text.toStdString() + "'"; }

// Qt's "Unknown option 'x'." in the form of our own messages.
std::string ParserError(const QString& text) {
  std::string error = text.toStdString();
  if (!error.empty() && error.back() == '.') error.pop_back();
  if (!error.empty()) error[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(error[0])));
  return error;
}

std::optional<int> DemoMeters(const QString& text) {
  if (text.isEmpty() || text.size() > 2) return std::nullopt;
  for (const QChar c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
  }
  const int meters = text.toInt();
  if (meters < 1 || meters > kMaxDemoMeters) return std::nullopt;
  return meters;
}

std::optional<std::chrono::milliseconds> Delay(const QString& text) {
  const std::string digits = text.toStdString();
  double seconds = 0;
  const auto [end, ec] =
      std::from_chars(digits.data(), digits.data() + digits.size(), seconds, std::chars_format::fixed);
  if (digits.empty() || ec != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
  if (!std::isfinite(seconds) || seconds < 0 || seconds > kMaxScreenshotDelaySeconds) return std::nullopt;
  return std::chrono::milliseconds{std::llround(seconds * 1000)};
}

std::optional<DashboardPage> Page(const QString& text) {
  if (text == "realtime") return DashboardPage::kRealTime;
  if (text == "timer") return DashboardPage::kTimer;
  if (text == "settings") return DashboardPage::kSettings;
  return std::nullopt;
}

DashboardCommandLine Refuse(std::string error) { return {std::nullopt, std::move(error)}; }

}  // namespace

DashboardCommandLine ParseDashboardCommandLine(const QStringList& arguments) {
  const Declared declared;
  QCommandLineParser parser;
  declared.AddTo(parser);
  if (!parser.parse(arguments)) return Refuse(ParserError(parser.errorText()));
  if (!parser.positionalArguments().isEmpty()) {
    return Refuse("unexpected argument " + Quoted(parser.positionalArguments().first()));
  }

  DashboardOptions options;
  options.help = parser.isSet(declared.help);
  options.version = parser.isSet(declared.version);
  if (options.help || options.version) return {options, {}};

  if (parser.isSet(declared.demo)) {
    const auto meters = DemoMeters(parser.value(declared.demo));
    if (!meters) {
      return Refuse("--demo takes a whole number of meters from 1 to " + std::to_string(kMaxDemoMeters) + ", not " +
                    Quoted(parser.value(declared.demo)));
    }
    options.demo_meters = *meters;
  }
  if (parser.isSet(declared.screenshot)) {
    const QString file = parser.value(declared.screenshot);
    if (!file.endsWith(".png", Qt::CaseInsensitive) || file.size() <= 4) {
      return Refuse("--screenshot writes a PNG file: give a name ending in .png, not " + Quoted(file));
    }
    options.screenshot = file.toStdString();
  } else if (parser.isSet(declared.page) || parser.isSet(declared.after)) {
    return Refuse("--page and --after go with --screenshot");
  }
  if (parser.isSet(declared.page)) {
    const auto page = Page(parser.value(declared.page));
    if (!page) return Refuse("--page is realtime, timer or settings, not " + Quoted(parser.value(declared.page)));
    options.page = *page;
  }
  options.screenshot_delay = std::chrono::milliseconds{options.demo_meters > 0 ? 6000 : 500};
  if (parser.isSet(declared.after)) {
    const auto delay = Delay(parser.value(declared.after));
    if (!delay) {
      return Refuse("--after takes seconds from 0 to " + std::to_string(static_cast<int>(kMaxScreenshotDelaySeconds)) +
                    ", such as 4 or 0.5, not " + Quoted(parser.value(declared.after)));
    }
    options.screenshot_delay = *delay;
  }
  return {options, {}};
}

std::string DashboardHelpText() {
  const Declared declared;
  QCommandLineParser parser;
  declared.AddTo(parser);
  // Qt's first line names the program as it was started (a full path, or a
  // placeholder without an application object): name it the same always.
  std::string text = parser.helpText().toStdString();
  text.replace(0, text.find('\n'), std::string("Usage: ") + kProgram + " [options]");
  return text + kHelpEnd;
}

std::string DashboardVersionText() { return std::string(kProgram) + " " + QUORVEL_VERSION; }

}  // namespace quorvel
