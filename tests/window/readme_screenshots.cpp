// Takes the README's screenshots of the window against three simulated
// meters: live readings, a history read in progress, the history after the
// read, a field marked red, the timer page (timers read, a row refused)
// and the settings page. Not a test; run by hand:
//   cmake --build build --target readme_screenshots
//   build/tests/window/readme_screenshots docs/screenshots
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>
#include <filesystem>

#include "app/main_window.h"
#include "pages/realtime_page.h"
#include "protocol/commands.h"
#include "sim/pty_meter.h"
#include "widgets/busy_indicator.h"

namespace {

using namespace quorvel;

struct Quiet : Notifier {
  void Notify(const Notice&) override {}
};

void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

template <typename W = QWidget>
W* Find(MainWindow& window, const char* name) {
  for (W* widget : window.findChildren<W*>()) {
    if (widget->accessibleName() == QString::fromUtf8(name)) return widget;
  }
  std::fprintf(stderr, "no control named %s\n", name);
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const std::filesystem::path out = argc > 1 ? argv[1] : ".";
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quorvel-readme-screenshots";
  std::filesystem::create_directories(folder);

  std::vector<std::unique_ptr<sim::PtyMeter>> meters;
  Engine::Options options;
  options.settings_path = folder / "Power Meter.ini";
  for (const int slot : {3, 4, 5}) {
    sim::PtyMeterOptions meter_options;
    meter_options.seed = static_cast<std::uint64_t>(slot);
    std::string error;
    auto meter = sim::PtyMeter::Open(meter_options, &error);
    if (!meter || !meter->Start(&error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    // Limits far off, so that the pictures show no limit alarm.
    const RequestFrame limits = WriteLimitsRequest({9999, 9999, false});
    meter->WithModel([&](sim::MeterModel& m) { return m.Answer(sim::RequestView(limits)); });
    options.port_assignments[slot] = meter->SlavePath();
    meters.push_back(std::move(meter));
  }
  Quiet quiet;
  MainWindow window(&quiet);
  window.Start(options);
  window.show();
  const auto shoot = [&](const char* name) { window.Snapshot().save(QString::fromStdString((out / name).string())); };
  const auto press = [&](const char* name) { Find<QAbstractButton>(window, name)->click(); };

  window.RealTime().SelectEntry(0);
  press("Comm Start");
  Wait(6500);
  shoot("realtime.png");

  press("Load History Data");
  Wait(5500);
  shoot("history-reading.png");
  while (window.Busy().Running()) Wait(200);
  press("Previous day");
  press("Previous week");
  Wait(300);
  shoot("history.png");

  press("Load Device DateTime");
  Find<QLineEdit>(window, "Time")->setText(QStringLiteral("25:10"));
  press("Time Data Download");
  Wait(300);
  shoot("marked-field.png");

  // Timers the meter already has: the page reads them when it is shown.
  meters[0]->WithModel([](sim::MeterModel& m) {
    const std::pair<int, TimerEntry> timers[] = {{1, {6, 30, 8, 0, 9}}, {2, {18, 0, 23, 30, 10}}, {12, {7, 15, 7, 45, 16}}};
    for (const auto& [timer, entry] : timers) {
      const RequestFrame write = WriteTimerRequest(timer, entry);
      m.Answer(sim::RequestView(write));
    }
  });
  press("Power Meter Set");
  Wait(300);
  while (window.Busy().Running()) Wait(200);
  press("Timer 1 enabled");
  press("Timer 3 enabled");
  Find<QLineEdit>(window, "Timer 3 on")->setText(QStringLiteral("25:00"));
  Find<QLineEdit>(window, "Timer 3 off")->setText(QStringLiteral("17:30"));
  Find<QComboBox>(window, "Timer 3 days")->setCurrentIndex(8);
  press("Parameter Download");
  Wait(100);
  shoot("timer-page.png");
  while (window.Busy().Running()) Wait(200);

  press("System Set");
  Wait(300);
  shoot("settings-page.png");

  std::filesystem::remove_all(folder);
  std::_Exit(0);
}
