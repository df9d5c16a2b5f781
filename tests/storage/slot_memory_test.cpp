// The [Slots] section: read, written change by change beside the rest of
// the file, and forgotten.
#include "storage/slot_memory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "storage/settings_file.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

std::string Read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct LoadCase {
  const char* name;
  const char* section;  // the lines of [Slots]
  SlotMemory expected;
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

class SlotMemoryLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(SlotMemoryLoad, TakesOnlyWhatIsOurs) {
  const LoadCase& c = GetParam();
  EXPECT_EQ(LoadSlotMemory(IniFile::Parse(std::string("[Slots]\n") + c.section)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SlotMemoryLoad,
    ::testing::Values(LoadCase{"adapter_and_meter",
                               "COM3=by-path/pci-0000:00:14.0-usb-0:2:1.0-port0\nCOM3.Meter=12345678\n",
                               {{{3, "by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"}}, {{3, "12345678"}}}},
                      LoadCase{"any_case",
                               "com18=by-path/x\nCom18.meter=00120000255\n",
                               {{{18, "by-path/x"}}, {{18, "00120000255"}}}},
                      LoadCase{"not_a_slot", "COM19=by-path/x\nCOM0=by-path/y\nCOM03=by-path/z\nPort3=by-path/w\n", {}},
                      LoadCase{"meter_not_digits", "COM2.Meter=12a45678\nCOM4.Meter=\n", {}},
                      LoadCase{"meter_too_long", "COM2.Meter=1234567890123456789012345\n", {}},
                      LoadCase{"empty_identity", "COM2=\n", {}},
                      LoadCase{"identity_with_control_characters", "COM2=by-path/\x1b[2J\n", {}},
                      LoadCase{"comment_and_first_match",
                               "; COM1=by-path/old\nCOM1=by-path/a\nCOM1=by-path/b\n",
                               {{{1, "by-path/a"}}, {}}}),
    [](const ::testing::TestParamInfo<LoadCase>& param) { return std::string(param.param.name); });

TEST(SlotMemory, RoundTripKeepsUnknownSectionsAndComments) {
  testing::TempDir dir;
  const auto path = dir / "Power Meter.ini";
  const std::string before =
      "; my meters\r\n"
      "[Comm]\r\n"
      "Baudrate=9600\r\n"
      "[Ports]\r\n"
      "COM5=/dev/ttyACM0\r\n"
      "[Slots]\r\n"
      "; the kitchen\r\n"
      "COM1=by-path/socket-1\r\n"
      "COM2=by-path/socket-2\r\n"
      "COM2.Meter=11111111\r\n"
      "[Vendor]\r\n"
      "Secret=42\r\n";
  std::ofstream(path, std::ios::binary) << before;
  const SlotMemory loaded = LoadSlotMemory(IniFile::Load(path).file);
  SlotMemory after = loaded;
  after.adapters.erase(1);                 // forgotten
  after.adapters[3] = "by-path/socket-3";  // seen the first time
  after.meters[2] = "22222222";            // another meter answered
  after.meters[3] = "33333333";
  ASSERT_TRUE(SaveSlotMemoryChanges(path, loaded, after).ok());
  EXPECT_EQ(Read(path),
            "; my meters\r\n"
            "[Comm]\r\n"
            "Baudrate=9600\r\n"
            "[Ports]\r\n"
            "COM5=/dev/ttyACM0\r\n"
            "[Slots]\r\n"
            "; the kitchen\r\n"
            "COM2=by-path/socket-2\r\n"
            "COM2.Meter=22222222\r\n"
            "COM3=by-path/socket-3\r\n"
            "COM3.Meter=33333333\r\n"
            "[Vendor]\r\n"
            "Secret=42\r\n");
  EXPECT_EQ(LoadSlotMemory(IniFile::Load(path).file), after);
  // The user's [Ports] stay as they are, and the settings are still read.
  EXPECT_EQ(LoadPortAssignments(IniFile::Load(path).file), (std::map<int, std::string>{{5, "/dev/ttyACM0"}}));
}

// Only what changed is written: a line deleted by hand while the dashboard
// runs stays deleted, and the settings saved meanwhile stay saved.
TEST(SlotMemory, WritesOnlyTheChangesOnTheFileAsItIsNow) {
  testing::TempDir dir;
  const auto path = dir / "Power Meter.ini";
  const SlotMemory at_start{{{1, "by-path/socket-1"}, {2, "by-path/socket-2"}}, {}};
  std::ofstream(path) << "[Slots]\nCOM2=by-path/socket-2\n[SysSet]\nAutoSave=true\n";  // COM1 forgotten by hand
  SlotMemory now = at_start;
  now.meters[2] = "12345678";
  ASSERT_TRUE(SaveSlotMemoryChanges(path, at_start, now).ok());
  EXPECT_EQ(Read(path), "[Slots]\nCOM2=by-path/socket-2\nCOM2.Meter=12345678\n[SysSet]\nAutoSave=true\n");
  EXPECT_EQ(SaveSlotMemoryChanges(dir / "missing-folder" / "x.ini", at_start, now).ok(), false);
  EXPECT_TRUE(SaveSlotMemoryChanges(dir / "missing-folder" / "x.ini", now, now).ok());  // nothing to write
}

TEST(SlotMemory, ForgettingASlotRemovesItsAdapterAndMeter) {
  testing::TempDir dir;
  const auto path = dir / "Power Meter.ini";
  std::ofstream(path) << "[Slots]\nCOM1=by-path/a\nCOM1.Meter=1\n; note\ncom1=by-path/again\nCOM10=by-path/b\n"
                         "[Ports]\nCOM1=/dev/ttyACM0\n";
  ASSERT_TRUE(ForgetSlot(path, 1).ok());
  EXPECT_EQ(Read(path), "[Slots]\n; note\nCOM10=by-path/b\n[Ports]\nCOM1=/dev/ttyACM0\n");
  ASSERT_TRUE(ForgetSlot(path, 4).ok());  // nothing to forget: the file is left alone
  EXPECT_EQ(Read(path), "[Slots]\n; note\nCOM10=by-path/b\n[Ports]\nCOM1=/dev/ttyACM0\n");
  std::ofstream(path, std::ios::binary) << std::string(2 << 20, '[');
  EXPECT_FALSE(ForgetSlot(path, 10).ok());  // a file that cannot be read is not overwritten
  EXPECT_EQ(std::filesystem::file_size(path), std::uintmax_t{2 << 20});
}

}  // namespace
}  // namespace quorvel
