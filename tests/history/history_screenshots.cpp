// Takes the README's screenshots of history mode against a simulated meter
// with a year of household use: the month, week and day forms.
// Not a test; run by hand:
//   cmake --build build --target history_screenshots
//   build/tests/history/history_screenshots docs/screenshots [WIDTH HEIGHT]
#include <QAbstractButton>
#include <QComboBox>

#include "pages/chart_view.h"
#include "pages/history_display.h"
#include "pages/realtime_page.h"
#include "tests/support/screenshot_session.h"

using namespace quorvel;
using testing::Named;
using testing::Wait;

int main(int argc, char** argv) {
  testing::ScreenshotSession session(argc, argv, "quorvel-history-screenshots");
  sim::PtyMeterOptions meter_options;
  meter_options.byte_interval = std::chrono::microseconds{0};
  // Late in the year, so that most of the year's months are this year's.
  meter_options.start_clock = std::chrono::local_days{std::chrono::year{2024} / 11 / 20} + std::chrono::hours{18};
  session.AddMeter(3, meter_options);
  session.engine_options.tick_ms = 100;
  MainWindow& window = session.StartWindow();
  window.RealTime().SelectEntry(0);
  Named<QAbstractButton>(window.RealTime(), "Comm Start")->click();
  Wait(1500);  // the meter's date reaches the page
  Named<QAbstractButton>(window.RealTime(), "Convert view")->click();
  ChartView& view = window.Charts();
  view.resize(session.ViewSize());
  Named<QAbstractButton>(view, "History Data")->click();
  const auto shoot = [&](const char* name) { session.Save(view.grab(), name); };
  const auto settle = [&] {
    while (view.History().Waiting()) Wait(100);
    Wait(300);
  };

  Named<QAbstractButton>(view, "Month")->click();
  settle();
  shoot("history-month.png");
  Named<QAbstractButton>(view, "Week")->click();
  settle();
  shoot("history-week.png");
  Named<QAbstractButton>(view, "Day")->click();
  auto* box = Named<QComboBox>(view, "Device");
  for (const int month : {8, 9, 10, 11}) {
    box->setCurrentIndex(month - 1);
    Named<QAbstractButton>(view, "Add Data")->click();
  }
  settle();
  shoot("history-day.png");

  session.Finish();
}
