// What the window's own message boxes say about ports: a meter pulled out
// and put back, a port that cannot be opened. Real boxes over the real
// window, counted as a user would see them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>

#include <filesystem>
#include <functional>

#include "app/main_window.h"
#include "model/names.h"
#include "pages/realtime_page.h"
#include "sim/meter_simulator.h"
#include "tests/support/spin.h"
#include "tests/support/temp_dir.h"
#include "tests/support/window_test.h"

namespace quorvel {
namespace {

using testing::SpinUntil;

// Simulated meters on links in a folder of their own, and the window with
// its own message boxes on them.
struct Rig {
  explicit Rig(const std::vector<int>& slots, int port_scan_ms = 0) {
    QApplication::setQuitOnLastWindowClosed(false);
    simulator = StartMeter(slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) options.port_assignments[slots[i]] = Link(i);
    options.settings_path = dir / "Power Meter.ini";
    options.tick_ms = 0;  // ticked by `ticks`
    options.port_scan_ms = port_scan_ms;
  }
  std::unique_ptr<sim::MeterSimulator> StartMeter(std::size_t count) {
    sim::MeterSimulatorOptions meters;
    for (std::size_t i = 0; i < count; ++i) meters.links.push_back((dir / ("meter" + std::to_string(i))).string());
    meters.byte_interval = std::chrono::microseconds{0};
    std::string error;
    auto started = sim::MeterSimulator::Open(meters, &error);
    if (!started || !started->Start(&error)) ADD_FAILURE() << error;
    return started;
  }
  std::string Link(std::size_t meter) const { return (dir / ("meter" + std::to_string(meter))).string(); }
  void Show() {
    window.Start(options);
    ticks.Start();
    window.show();
  }
  // Chooses the slot in the device box and presses the comm button.
  void Press(int slot) {
    window.RealTime().SelectEntry(window.engine().List().Find(ComName(slot)));
    window.RealTime().PressComm();
  }
  // The texts of the boxes on screen.
  std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (QMessageBox* box : window.findChildren<QMessageBox*>()) {
      if (box->isVisible()) texts.push_back(box->text().toStdString());
    }
    return texts;
  }

  testing::TempDir dir;
  std::unique_ptr<sim::MeterSimulator> simulator;
  Engine::Options options;
  MainWindow window;  // its own boxes
  testing::AnswerPacedTicks ticks{window};
};

const std::string kLost = "COM3 was unplugged or stopped answering; it is opened again when it returns.";
const std::string kBack = "COM3 is back and open again.";

TEST(PortMessages, AnUnplugIsOneBoxInWordsAndItsReturnReplacesIt) {
  struct Case {
    const char* name;
    int shown;  // the device on the page when COM3 goes
  };
  for (const Case c : {Case{"the device on show", 3}, Case{"another device on show", 4}}) {
    SCOPED_TRACE(c.name);
    Rig rig({3, 4}, 100);
    rig.Show();
    rig.Press(4);
    rig.Press(3);
    ASSERT_TRUE(rig.window.engine().IsOpen(3) && rig.window.engine().IsOpen(4));
    rig.window.RealTime().SelectEntry(rig.window.engine().List().Find(ComName(c.shown)));
    ASSERT_TRUE(SpinUntil([&] { return !rig.window.engine().RequestsPending(); }));
    ASSERT_EQ(rig.Boxes(), std::vector<std::string>{});

    rig.simulator->Unplug(0);
    ASSERT_TRUE(SpinUntil([&] { return !rig.Boxes().empty(); }));
    testing::Spin(500);  // a second word of the loss would be on screen by now
    EXPECT_EQ(rig.Boxes(), std::vector<std::string>{kLost});

    const auto again = rig.StartMeter(1);  // on the same link, as when plugged back in
    ASSERT_TRUE(again);
    ASSERT_TRUE(SpinUntil([&] { return rig.Boxes() == std::vector<std::string>{kBack}; }))
        << rig.Boxes().size() << " boxes";
    testing::Spin(300);
    EXPECT_EQ(rig.Boxes(), std::vector<std::string>{kBack});
    EXPECT_TRUE(rig.window.engine().IsOpen(3));
    EXPECT_EQ(rig.window.engine().List().SelectedSlot(), c.shown);
  }
}

// The window says why as the command line does.
TEST(PortMessages, AFailedOpenSaysWhy) {
  struct Case {
    const char* name;
    std::function<void(Rig&)> before;  // after the window is shown
    int pressed;
    std::function<std::string(const Rig&)> told;
  };
  const Case cases[] = {
      {"one device under two names", [](Rig& rig) { rig.Press(1); }, 2,
       [](const Rig&) { return std::string("it is the device of COM1, open already under another name"); }},
      {"an assigned path that is gone", [](Rig& rig) { rig.simulator->Unplug(0); }, 1,
       [](const Rig& rig) {
         return "COM1 is assigned to " + rig.Link(0) + ", and " + rig.Link(0) + " does not exist";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig({1});
    rig.options.port_assignments[2] = std::filesystem::canonical(rig.Link(0)).string();
    rig.Show();
    c.before(rig);
    rig.Press(c.pressed);
    EXPECT_FALSE(rig.window.engine().IsOpen(c.pressed));
    ASSERT_TRUE(SpinUntil([&] { return !rig.Boxes().empty(); }));
    ASSERT_EQ(rig.Boxes().size(), 1U);
    EXPECT_NE(rig.Boxes()[0].find(c.told(rig)), std::string::npos) << rig.Boxes()[0];
    EXPECT_EQ(rig.Boxes()[0].find("in use by another program"), std::string::npos) << rig.Boxes()[0];
  }
}

}  // namespace
}  // namespace quorvel
