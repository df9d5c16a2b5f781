// quorvel-dashboard: the dashboard window, on meters or on simulated ones
// (--demo N), or a screenshot of it (--screenshot FILE).
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/dashboard_options.h"
#include "app/demo_meters.h"
#include "app/main_window.h"
#include "app/stop_signals.h"

namespace {

using quorvel::MainWindow;

MainWindow::Page ToWindowPage(quorvel::DashboardPage page) {
  switch (page) {
    case quorvel::DashboardPage::kTimer:
      return MainWindow::Page::kTimer;
    case quorvel::DashboardPage::kSettings:
      return MainWindow::Page::kSettings;
    case quorvel::DashboardPage::kRealTime:
      break;
  }
  return MainWindow::Page::kRealTime;
}

}  // namespace

int main(int argc, char** argv) {
  // The command line first: --help, --version and mistakes need no window
  // system (and none of its warnings on the terminal).
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const quorvel::DashboardCommandLine command = quorvel::ParseDashboardCommandLine(arguments);
  if (!command.options) {
    std::fprintf(stderr, "quorvel-dashboard: %s (try --help)\n", command.error.c_str());
    return quorvel::kExitUsage;
  }
  const quorvel::DashboardOptions& options = *command.options;
  if (options.help || options.version) {
    std::fputs((options.help ? quorvel::DashboardHelpText() : quorvel::DashboardVersionText() + "\n").c_str(), stdout);
    return quorvel::kExitOk;
  }

  // Without a display the window draws itself offscreen (screenshots, CI);
  // a window nobody can see, run until killed, would only look like a hang.
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr &&
      std::getenv("QT_QPA_PLATFORM") == nullptr) {
    if (options.screenshot.empty()) {
      std::fputs(
          "quorvel-dashboard: there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set) to show "
          "the window on.\nTo render it offscreen into a PNG file instead: quorvel-dashboard --screenshot "
          "FILE (with --demo 3 for simulated meters).\n",
          stderr);
      return quorvel::kExitFailed;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("quorvel-dashboard"));
  QApplication::setApplicationDisplayName(QStringLiteral("Power Meter"));
  QApplication::setDesktopFileName(QStringLiteral("io.github.quorvel.dashboard"));
  // From here on, being asked to end (a session ending, `kill`, Ctrl-C)
  // leaves as the Exit button does: ports released, files closed, status 0.
  quorvel::StopSignals stop_signals;

  quorvel::Engine::Options engine_options;
  std::unique_ptr<quorvel::DemoMeters> demo;  // ends after the window
  if (options.demo_meters > 0) {
    quorvel::Result<std::unique_ptr<quorvel::DemoMeters>> started = quorvel::DemoMeters::Start(options.demo_meters);
    if (!started.ok()) {
      std::fprintf(stderr, "quorvel-dashboard: the simulated meters did not start: %s\n",
                   started.status().text().c_str());
      return quorvel::kExitFailed;
    }
    demo = std::move(started.value());
    engine_options.port_assignments = demo->PortAssignments();
    // One press of comm shows live readings.
    engine_options.choose_first_device = true;
    engine_options.remember_slots = false;  // the settings file is left as it is
  }

  MainWindow window;
  // For the start-up benchmark: the time to the first paint, then out.
  if (std::getenv("QUORVEL_EXIT_AT_FIRST_PAINT") != nullptr) {
    QObject::connect(&window, &MainWindow::firstPainted, [] {
      std::puts("first paint");
      std::fflush(stdout);
      std::_Exit(quorvel::kExitOk);
    });
  }
  QObject::connect(&stop_signals, &quorvel::StopSignals::stopRequested, &window, &MainWindow::Exit);
  // Ended, by Exit or a signal: whatever boxes are still open.
  QObject::connect(&window, &MainWindow::exitFinished, &app, &QCoreApplication::quit);
  window.Start(engine_options);
  window.show();

  if (!options.screenshot.empty()) {
    window.ShowPage(ToWindowPage(options.page));
    // A demo's screenshot shows live readings: its first meter is opened as
    // the user would. Otherwise nothing opens before the user presses comm.
    if (demo) window.OpenFirstDevice();
    const QString file = QString::fromStdString(options.screenshot);
    QTimer::singleShot(options.screenshot_delay, &window, [&window, file] {
      if (window.Snapshot().save(file, "PNG")) {
        QApplication::exit(quorvel::kExitOk);
      } else {
        std::fprintf(stderr, "quorvel-dashboard: cannot write the screenshot %s\n", file.toLocal8Bit().constData());
        QApplication::exit(quorvel::kExitFailed);
      }
    });
  }
  return QApplication::exec();
}
