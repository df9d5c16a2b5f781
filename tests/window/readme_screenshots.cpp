// Takes the README's screenshots of the window against three simulated
// meters: the page as it opens (no meter chosen, nothing read), live
// readings, a history read in progress, the history after the read, a field
// marked red, the timer page (timers read, a row refused) and the settings
// page. Not a test; run by hand:
//   cmake --build build --target readme_screenshots
//   build/tests/window/readme_screenshots docs/screenshots
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

#include "pages/realtime_page.h"
#include "tests/support/screenshot_session.h"
#include "widgets/busy_indicator.h"

using namespace quorvel;
using testing::Named;
using testing::Wait;

int main(int argc, char** argv) {
  testing::ScreenshotSession session(argc, argv, "quorvel-readme-screenshots");
  std::vector<sim::PtyMeter*> meters;
  for (const int slot : {3, 4, 5}) {
    meters.push_back(&session.AddMeter(slot));
    testing::SetLimitsFarOff(*meters.back());
  }
  MainWindow& window = session.StartWindow();
  const auto shoot = [&](const char* name) { session.Save(window.Snapshot(), name); };
  const auto press = [&](const char* name) { Named<QAbstractButton>(window, name)->click(); };

  Wait(300);
  shoot("start.png");

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

  press("Stop Load DateTime");
  Named<QLineEdit>(window, "Time")->setText(QStringLiteral("25:10"));
  press("Time Data Download");
  Wait(300);
  shoot("marked-field.png");

  // Timers the meter already has: the page reads them when it is shown.
  meters[0]->WithModel([](sim::MeterModel& m) {
    const std::pair<int, TimerEntry> timers[] = {
        {1, {6, 30, 8, 0, 9}}, {2, {18, 0, 23, 30, 10}}, {12, {7, 15, 7, 45, 16}}};
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
  Named<QLineEdit>(window, "Timer 3 on")->setText(QStringLiteral("25:00"));
  Named<QLineEdit>(window, "Timer 3 off")->setText(QStringLiteral("17:30"));
  Named<QComboBox>(window, "Timer 3 days")->setCurrentIndex(8);
  press("Parameter Download");
  Wait(100);
  shoot("timer-page.png");
  while (window.Busy().Running()) Wait(200);

  press("System Set");
  Wait(300);
  shoot("settings-page.png");

  session.Finish();
}
