// The engine's own rules: start-up, the device list and plug-in/removal,
// settings. Meters are not needed here; ports are plain files or a
// pseudo-terminal.
#include "app/engine.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/pty.h"
#include "tests/support/recording_notifier.h"
#include "tests/support/spin.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

class EngineTest : public ::testing::Test {
 protected:
  // Ports are assigned to files of the test folder: present while the file exists.
  void Start(const std::string& ini_text, int scan_ms = 0) {
    std::ofstream(dir / "Power Meter.ini") << ini_text;
    Engine::Options options;
    options.settings_path = dir / "Power Meter.ini";
    options.tick_ms = 0;
    options.port_scan_ms = scan_ms;
    engine.Start(options);
  }
  std::string Port(const std::string& name) {
    const auto path = dir / name;
    std::ofstream(path) << "";
    return path.string();
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& entry : engine.List().Entries()) names.push_back(entry.name);
    return names;
  }

  testing::TempDir dir;
  NullDisplay display;
  testing::RecordingNotifier notices;
  FixedRequestFields fields;
  Engine engine{display, notices, fields};
};

TEST_F(EngineTest, StartUpListsThePortsInSlotOrderWithNothingSelected) {
  Start("[Ports]\nCOM12=" + Port("b") + "\nCOM3=" + Port("a") + "\nCOM5=" + (dir / "absent").string() + "\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{"COM3", "COM12"}));
  EXPECT_EQ(engine.List().Entries()[1].slot, 12);
  EXPECT_EQ(engine.List().SelectedIndex(), -1);
  EXPECT_EQ(engine.Devices().Settings().LimitState, kLimitNotReached);
  EXPECT_TRUE(notices.texts.empty());
}

TEST_F(EngineTest, RemovingComOneLeavesComTenListed) {
  Start("[Ports]\nCOM1=" + Port("one") + "\nCOM10=" + Port("ten") + "\n");
  EXPECT_EQ(engine.DeviceChanged(-1), 1);
  EXPECT_EQ(Names(), std::vector<std::string>{"COM10"});
}

TEST_F(EngineTest, PlugInAddsAcceptedPortsOnce) {
  Start("[Ports]\nCOM4=" + Port("four") + "\n");
  engine.DeviceChanged(-4);
  EXPECT_TRUE(Names().empty());
  EXPECT_EQ(engine.DeviceChanged(4), 1);
  EXPECT_EQ(engine.DeviceChanged(4), 1);  // already listed: no second entry
  EXPECT_EQ(Names(), std::vector<std::string>{"COM4"});
  EXPECT_EQ(engine.DeviceChanged(6), 1);  // not a port the directory offers
  EXPECT_EQ(Names(), std::vector<std::string>{"COM4"});
  EXPECT_EQ(engine.DeviceChanged(19), 0);
  EXPECT_EQ(engine.DeviceChanged(-19), 0);
}

TEST_F(EngineTest, RemovingTheSelectedClosedDeviceClearsTheSelection) {
  Start("[Ports]\nCOM2=" + Port("two") + "\nCOM3=" + Port("three") + "\n");
  int removed_open = 0;
  QObject::connect(&engine, &Engine::selectedDeviceRemoved, [&](int) { ++removed_open; });
  engine.Select(3);
  EXPECT_EQ(engine.DeviceChanged(3), 1);  // the selected device plugged in: nothing
  EXPECT_EQ(Names().size(), 2U);
  engine.DeviceChanged(-3);
  EXPECT_EQ(Names(), std::vector<std::string>{"COM2"});
  EXPECT_EQ(engine.List().SelectedIndex(), -1);
  EXPECT_EQ(removed_open, 0);
}

TEST_F(EngineTest, RemovingTheSelectedOpenDeviceClosesIt) {
  testing::PtyPair pty;
  ASSERT_TRUE(pty.ok());
  Start("[Ports]\nCOM7=" + pty.slave_path() + "\n");
  int removed_open = 0;
  QObject::connect(&engine, &Engine::selectedDeviceRemoved, [&](int slot) { removed_open = slot; });
  engine.Select(7);
  ASSERT_TRUE(engine.StartDevice(7));
  EXPECT_TRUE(engine.IsOpen(7));
  EXPECT_TRUE(engine.RequestsPending());  // tariff, limits, CO2 factor and number asked for
  engine.DeviceChanged(-7);
  EXPECT_EQ(removed_open, 7);
  EXPECT_TRUE(testing::SpinUntil([&] { return !engine.IsOpen(7); }));
  EXPECT_TRUE(Names().empty());
}

TEST_F(EngineTest, PortScanNoticesDevicesComingAndGoing) {
  const std::string path = Port("meter");
  Start("[Ports]\nCOM9=" + path + "\n", 20);
  EXPECT_EQ(Names(), std::vector<std::string>{"COM9"});
  std::filesystem::remove(path);
  EXPECT_TRUE(testing::SpinUntil([&] { return Names().empty(); }));
  std::ofstream(path) << "";
  EXPECT_TRUE(testing::SpinUntil([&] { return Names().size() == 1; }));
}

TEST_F(EngineTest, OpeningAnAbsentPortFailsAndNamesTheCause) {
  Start("[Ports]\nCOM2=" + (dir / "gone").string() + "\n");
  EXPECT_FALSE(engine.OpenDevice(2));
  EXPECT_EQ(engine.LastOpenError(2).kind, OpenFailure::kNotFound);
  EXPECT_FALSE(engine.IsOpen(2));
}

TEST_F(EngineTest, UnreadableSettingsAreToldAndDefaultsUsed) {
  {
    std::ofstream huge(dir / "Power Meter.ini", std::ios::binary);
    huge << std::string(2 << 20, '[');
  }
  Engine::Options options;
  options.settings_path = dir / "Power Meter.ini";
  options.tick_ms = 0;
  options.port_scan_ms = 0;
  engine.Start(options);
  ASSERT_EQ(notices.texts.size(), 1U);
  EXPECT_NE(notices.texts[0].find("defaults"), std::string::npos);
  EXPECT_EQ(engine.CurrentSettings().Baudrate, 9600);
}

TEST_F(EngineTest, StoringSettingsWritesTheFile) {
  Start("[Vendor]\nKeep=1\n");
  Settings s = engine.CurrentSettings();
  s.Baudrate = 19200;
  s.File = (dir / "logs").string();
  engine.StoreSettings(s);
  EXPECT_TRUE(notices.texts.empty());
  EXPECT_EQ(engine.CurrentSettings().File, (dir / "logs/").string());
  std::ifstream in(dir / "Power Meter.ini");
  std::stringstream contents;
  contents << in.rdbuf();
  const std::string text = contents.str();
  EXPECT_NE(text.find("Baudrate=19200"), std::string::npos);
  EXPECT_NE(text.find("[Vendor]\nKeep=1"), std::string::npos);
}

}  // namespace
}  // namespace quorvel
