// Takes the README's screenshots of history mode against a simulated meter
// with a year of household use: the month, week and day forms.
// Not a test; run by hand:
//   cmake --build build --target history_screenshots
//   build/tests/history/history_screenshots docs/screenshots [WIDTH HEIGHT]
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <filesystem>

#include "app/main_window.h"
#include "pages/chart_view.h"
#include "pages/history_display.h"
#include "pages/realtime_page.h"
#include "sim/pty_meter.h"

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
W* Find(QWidget& parent, const char* name) {
  for (W* widget : parent.findChildren<W*>()) {
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
  const QSize size = argc > 3 ? QSize(std::atoi(argv[2]), std::atoi(argv[3])) : QSize(1000, 720);
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quorvel-history-screenshots";
  std::filesystem::create_directories(folder);

  sim::PtyMeterOptions meter_options;
  meter_options.seed = 3;
  meter_options.byte_interval = std::chrono::microseconds{0};
  // Late in the year, so that most of the year's months are this year's.
  meter_options.start_clock = std::chrono::local_days{std::chrono::year{2024} / 11 / 20} + std::chrono::hours{18};
  std::string error;
  auto meter = sim::PtyMeter::Open(meter_options, &error);
  if (!meter || !meter->Start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  Engine::Options options;
  options.settings_path = folder / "Power Meter.ini";
  options.tick_ms = 100;
  options.port_assignments[3] = meter->SlavePath();
  Quiet quiet;
  MainWindow window(&quiet);
  window.Start(options);
  window.show();
  window.RealTime().SelectEntry(0);
  Find<QAbstractButton>(window.RealTime(), "Comm Start")->click();
  Wait(1500);  // the meter's date reaches the page
  Find<QAbstractButton>(window.RealTime(), "Convert view")->click();
  ChartView& view = window.Charts();
  view.resize(size);
  Find<QAbstractButton>(view, "Real Time Data")->click();
  const auto shoot = [&](const char* name) {
    view.grab().save(QString::fromStdString((out / name).string()));
  };
  const auto settle = [&] {
    while (view.History().Waiting()) Wait(100);
    Wait(300);
  };

  Find<QAbstractButton>(view, "Month")->click();
  settle();
  shoot("history-month.png");
  Find<QAbstractButton>(view, "Week")->click();
  settle();
  shoot("history-week.png");
  Find<QAbstractButton>(view, "Day")->click();
  auto* box = Find<QComboBox>(view, "Device");
  for (const int month : {8, 9, 10, 11}) {
    box->setCurrentIndex(month - 1);
    Find<QAbstractButton>(view, "Add Data")->click();
  }
  settle();
  shoot("history-day.png");

  std::filesystem::remove_all(folder);
  std::_Exit(0);
}
