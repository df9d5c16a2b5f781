// Takes the README's screenshots of the chart view against four simulated
// meters, one of them with a leading load (a negative power factor): the
// 2 x 2 grid with four series, an enlarged chart, text mode, the power
// factor chart enlarged and Save to BMP's message over it.
// Not a test; run by hand:
//   cmake --build build --target chart_screenshots
//   build/tests/chart/chart_screenshots docs/screenshots [WIDTH HEIGHT]
// QUORVEL_SCREENSHOT_SECONDS sets how long the curves grow first (default 40).
#include <QAbstractButton>
#include <QComboBox>

#include <cstdlib>
#include <fstream>

#include "pages/chart_view.h"
#include "pages/realtime_page.h"
#include "pages/tracking_charts.h"
#include "tests/support/screenshot_session.h"

using namespace quorvel;
using testing::Named;
using testing::Wait;

int main(int argc, char** argv) {
  testing::ScreenshotSession session(argc, argv, "quorvel-chart-screenshots");
  sim::PtyMeterOptions meter_options;
  meter_options.byte_interval = std::chrono::microseconds{0};
  std::vector<sim::PtyMeter*> meters;
  for (const int slot : {3, 4, 5, 7}) {
    meters.push_back(&session.AddMeter(slot, meter_options));
    testing::SetLimitsFarOff(*meters.back());
  }
  // COM4 feeds a capacitive load: its factor is negative.
  meters[1]->WithModel([](sim::MeterModel& m) { m.ForceLoad({0.42, 231.0, -0.64}); });
  session.engine_options.tick_ms = 250;  // four readings a second: a picture's worth of curve sooner
  const std::string folder = session.Folder().string() + "/";
  std::ofstream(session.engine_options.settings_path) << "[Path]\nFile=" << folder << "\nBMP=" << folder << "\n";
  MainWindow& window = session.StartWindow(true);
  auto* page_box = Named<QComboBox>(window.RealTime(), "Device");
  for (int i = 0; i < page_box->count(); ++i) {
    window.RealTime().SelectEntry(i);
    Named<QAbstractButton>(window.RealTime(), "Comm Start")->click();
  }
  window.RealTime().SelectEntry(0);
  Named<QAbstractButton>(window.RealTime(), "Convert view")->click();
  ChartView& view = window.Charts();
  view.resize(session.ViewSize());
  auto* box = Named<QComboBox>(view, "Device");
  for (int i = 1; i < box->count(); ++i) {
    box->setCurrentIndex(i);
    Named<QAbstractButton>(view, "Add Data")->click();
  }
  box->setCurrentIndex(0);
  const auto shoot = [&](const char* name) { session.Save(view.grab(), name); };
  const char* seconds = std::getenv("QUORVEL_SCREENSHOT_SECONDS");  // how long the curves grow
  Wait(seconds ? std::atoi(seconds) * 1000 : 40000);
  shoot("chart-view-2x2.png");
  view.Charts().SetSelection(1);
  Wait(500);
  shoot("chart-view-enlarged.png");
  view.Charts().SetSelection(TrackingCharts::kAllCharts);
  Named<QAbstractButton>(view, "Text Mode")->click();
  Wait(4000);
  shoot("chart-view-text.png");

  Named<QAbstractButton>(view, "Chart Mode")->click();
  view.Charts().SetSelection(static_cast<int>(TrackedQuantity::kPowerFactor));
  Wait(500);
  shoot("chart-view-factor.png");
  Named<QAbstractButton>(view, "Save to BMP")->click();
  Wait(500);
  session.Save(testing::ScreenshotSession::WithMessages(view), "chart-view-message.png");

  session.Finish();
}
