// Takes the README's screenshots of the chart view against four simulated
// meters: the 2 x 2 grid with four series, an enlarged chart and text mode.
// Not a test; run by hand:
//   cmake --build build --target chart_screenshots
//   build/tests/chart/chart_screenshots docs/screenshots [WIDTH HEIGHT]
// QUORVEL_SCREENSHOT_SECONDS sets how long the curves grow first (default 40).
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <filesystem>

#include "app/main_window.h"
#include "pages/chart_view.h"
#include "pages/realtime_page.h"
#include "pages/tracking_charts.h"
#include "protocol/commands.h"
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
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quorvel-chart-screenshots";
  std::filesystem::create_directories(folder);

  const std::vector<int> slots = {3, 4, 5, 7};
  std::vector<std::unique_ptr<sim::PtyMeter>> meters;
  Engine::Options options;
  options.settings_path = folder / "Power Meter.ini";
  options.tick_ms = 250;  // four readings a second: a picture's worth of curve sooner
  for (const int slot : slots) {
    sim::PtyMeterOptions meter_options;
    meter_options.seed = static_cast<std::uint64_t>(slot);
    meter_options.byte_interval = std::chrono::microseconds{0};
    std::string error;
    auto meter = sim::PtyMeter::Open(meter_options, &error);
    if (!meter || !meter->Start(&error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    const RequestFrame limits = WriteLimitsRequest({9999, 9999, false});
    meter->WithModel([&](sim::MeterModel& m) { return m.Answer(sim::RequestView(limits)); });
    options.port_assignments[slot] = meter->SlavePath();
    meters.push_back(std::move(meter));
  }
  Quiet quiet;
  MainWindow window(&quiet);
  window.Start(options);
  window.show();
  auto* page_box = Find<QComboBox>(window.RealTime(), "Device");
  for (int i = 0; i < page_box->count(); ++i) {
    window.RealTime().SelectEntry(i);
    Find<QAbstractButton>(window.RealTime(), "Comm Start")->click();
  }
  window.RealTime().SelectEntry(0);
  Find<QAbstractButton>(window.RealTime(), "Convert view")->click();
  ChartView& view = window.Charts();
  view.resize(size);
  auto* box = Find<QComboBox>(view, "Device");
  for (int i = 1; i < box->count(); ++i) {
    box->setCurrentIndex(i);
    Find<QAbstractButton>(view, "Add Data")->click();
  }
  box->setCurrentIndex(0);
  const auto shoot = [&](const char* name) {
    view.grab().save(QString::fromStdString((out / name).string()));
  };
  const char* seconds = std::getenv("QUORVEL_SCREENSHOT_SECONDS");  // how long the curves grow
  Wait(seconds ? std::atoi(seconds) * 1000 : 40000);
  shoot("chart-view-2x2.png");
  view.Charts().SetSelection(1);
  Wait(500);
  shoot("chart-view-enlarged.png");
  view.Charts().SetSelection(TrackingCharts::kAllCharts);
  Find<QAbstractButton>(view, "Text Mode")->click();
  Wait(4000);
  shoot("chart-view-text.png");

  std::filesystem::remove_all(folder);
  std::_Exit(0);
}
