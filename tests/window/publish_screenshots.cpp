// Takes the README's screenshots of the settings page's Publish tab: with
// Debian's mosquitto started here on 127.0.0.1 and a free port, publishing
// one simulated meter (connected), then with the broker killed
// (reconnecting), then with fields a save refuses. Not a test; run by hand:
//   cmake --build build --target publish_screenshots
//   build/tests/window/publish_screenshots docs/screenshots
#include <QAbstractButton>
#include <QLineEdit>
#include <QTabWidget>

#include <fstream>

#include "app/publisher_host.h"
#include "pages/publish_panel.h"
#include "pages/realtime_page.h"
#include "pages/settings_page.h"
#include "tests/support/mosquitto_broker.h"
#include "tests/support/screenshot_session.h"

using namespace quorvel;
namespace qt = quorvel::testing;
using qt::Named;
using qt::Wait;

int main(int argc, char** argv) {
  qt::ScreenshotSession session(argc, argv, "quorvel-publish-screenshots");
  qt::MosquittoBroker broker(session.Folder());
  if (!broker.Start()) {
    std::fprintf(stderr, "mosquitto did not start\n");
    return 1;
  }
  qt::SetLimitsFarOff(session.AddMeter(3));
  std::ofstream(session.engine_options.settings_path)
      << "[Publish]\nEnabled=true\nHost=127.0.0.1\nPort=" << broker.Port() << "\nClientId=quorvel-kitchen\n";
  MainWindow& window = session.StartWindow();
  const auto shoot = [&](const char* name) { session.Save(window.Snapshot(), name); };
  const auto press = [&](const char* name) { Named<QAbstractButton>(window, name)->click(); };

  window.RealTime().SelectEntry(0);
  press("Comm Start");
  Wait(8000);  // the meter greeted (its number read) and its readings on their way
  press("System Set");
  Named<QTabWidget>(window, "About and publishing")->setCurrentIndex(3);
  Wait(1500);
  shoot("publish-connected.png");

  broker.Kill();
  Wait(5500);
  shoot("publish-reconnecting.png");

  Named<QLineEdit>(window, "Topic prefix")->setText(QStringLiteral("home/+/power"));
  Named<QLineEdit>(window, "CA file")->setText(QStringLiteral("/etc/mosquitto/ca.crt"));
  press("Save and apply");
  Wait(300);
  shoot("publish-refused.png");

  session.Finish();
}
