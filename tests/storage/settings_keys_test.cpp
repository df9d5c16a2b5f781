#include "storage/settings_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

Settings FromText(const std::string& text) { return LoadSettings(IniFile::Parse(text)); }

TEST(LoadSettings, MissingFileGivesTheDefaults) {
  const Settings s = LoadSettings(IniFile{});
  EXPECT_EQ(s.DefaultDevice, 1);
  EXPECT_EQ(s.Baudrate, 9600);
  EXPECT_EQ(s.Parity, kParityOdd);
  EXPECT_EQ(s.Databits, 8);
  EXPECT_EQ(s.Stopbits, 1);
  EXPECT_EQ(s.Acquisition, 1);
  EXPECT_FALSE(s.AutoSave);
  EXPECT_EQ(s.File, "");
  EXPECT_EQ(s.BMP, "");
  EXPECT_EQ(s.Log, "");
}

struct ValueCase {
  const char* section;
  const char* key;
  const char* value;
  std::int64_t expected;
};

std::int64_t Field(const Settings& s, const std::string& key) {
  if (key == "DefaultDevice") return s.DefaultDevice;
  if (key == "Baudrate") return s.Baudrate;
  if (key == "Parity") return s.Parity;
  if (key == "Databits") return s.Databits;
  if (key == "Stopbits") return s.Stopbits;
  if (key == "Acquisition") return s.Acquisition;
  if (key == "AutoSave") return s.AutoSave ? 1 : 0;
  ADD_FAILURE() << key;
  return -999;
}

class ValueCorrection : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ValueCorrection, AppliesTheRangeRules) {
  const ValueCase& c = GetParam();
  const Settings s = FromText(std::string("[") + c.section + "]\n" + c.key + "=" + c.value + "\n");
  EXPECT_EQ(Field(s, c.key), c.expected) << c.key << "=" << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ValueCorrection,
    ::testing::Values(ValueCase{"Comm", "Baudrate", "2400", 9600}, ValueCase{"Comm", "Baudrate", "128000", 128000},
                      ValueCase{"Comm", "Baudrate", "1800", 1800}, ValueCase{"Comm", "Baudrate", "9600baud", 9600},
                      ValueCase{"Comm", "Baudrate", "fast", 9600}, ValueCase{"Comm", "Parity", "Mark", kParityOdd},
                      ValueCase{"Comm", "Parity", "", kParityOdd}, ValueCase{"Comm", "Parity", "EVEN", kParityEven},
                      ValueCase{"Comm", "Parity", "n", kParityNone}, ValueCase{"Comm", "Databits", "9", 8},
                      ValueCase{"Comm", "Databits", "3", 8}, ValueCase{"Comm", "Databits", "5", 5},
                      ValueCase{"Comm", "Stopbits", "0", 1}, ValueCase{"Comm", "Stopbits", "2", 2},
                      ValueCase{"SysSet", "Acquisition", "3", 1}, ValueCase{"SysSet", "Acquisition", "15", 15},
                      ValueCase{"SysSet", "Acquisition", "60", 60}, ValueCase{"SysSet", "Acquisition", "30", 30},
                      ValueCase{"SysSet", "AutoSave", "yes", 0}, ValueCase{"SysSet", "AutoSave", "TRUE", 1},
                      ValueCase{"SysSet", "AutoSave", "t", 1}, ValueCase{"Comm", "DefaultDevice", "", 1},
                      ValueCase{"Comm", "DefaultDevice", "0", 0}, ValueCase{"Comm", "DefaultDevice", "-3", -3},
                      ValueCase{"Comm", "DefaultDevice", "77", 77}));

TEST(LoadSettings, PathsAreCutTo99Characters) {
  const std::string path(120, 'p');
  const Settings s = FromText("[Path]\nFile=" + path + "\nBMP=/tmp/bmp/\n");
  EXPECT_EQ(s.File, path.substr(0, 99));
  EXPECT_EQ(s.BMP, "/tmp/bmp/");
}

TEST(NormaliseFolderPrefix, AppendsTheSeparatorWhereAFolderNeedsOne) {
  struct Case {
    const char* path;
    const char* expected;
  };
  for (const Case c : {Case{"", ""}, Case{"logs", "logs/"}, Case{"logs/", "logs/"}, Case{"/var/log", "/var/log/"},
                       Case{"/", "/"}, Case{"x", "x/"}, Case{"/x", "/x/"},
                       // A folder whose last name has one character is a folder too.
                       Case{"/var/a", "/var/a/"}, Case{"logs2/x", "logs2/x/"}, Case{"logs/.", "logs/./"},
                       Case{"a/../b", "a/../b/"}, Case{"logs\\", "logs\\/"}}) {
    EXPECT_EQ(NormaliseFolderPrefix(c.path, '/'), c.expected) << '"' << c.path << '"';
  }
  EXPECT_EQ(NormaliseFolderPrefix("C:\\log", '\\'), "C:\\log\\");
  EXPECT_EQ(NormaliseFolderPrefix("", '\\'), "");
}

TEST(SaveSettings, WritesEveryKeyAndNormalisesThePaths) {
  Settings s;
  s.DefaultDevice = 3;
  s.Baudrate = 128000;
  s.Parity = kParityNone;
  s.Databits = 7;
  s.Stopbits = 2;
  s.Acquisition = 5;
  s.AutoSave = true;
  s.File = "logs";
  s.BMP = "";
  s.Log = "/var/log/";
  IniFile ini;
  SaveSettings(s, ini);
  EXPECT_EQ(s.File, "logs/");
  EXPECT_EQ(s.BMP, "");
  EXPECT_EQ(ini.Text(),
            "[Comm]\nDefaultDevice=3\nBaudrate=128000\nParity=none\nDatabits=7\nStopbits=2\n\n"
            "[SysSet]\nAcquisition=5\nAutoSave=true\n\n"
            "[Path]\nFile=logs/\nBMP=\nLog=/var/log/\n");
  const Settings back = LoadSettings(ini);
  EXPECT_EQ(back.Baudrate, 128000);
  EXPECT_EQ(back.Parity, kParityNone);
  EXPECT_TRUE(back.AutoSave);
  EXPECT_EQ(back.File, "logs/");
}

TEST(SaveSettings, UnknownParityCodeLeavesTheKeyAsItWas) {
  IniFile ini = IniFile::Parse("[Comm]\nParity=even\n");
  Settings s;
  s.Parity = 7;
  SaveSettings(s, ini);
  EXPECT_EQ(ini.Get("Comm", "Parity"), "even");
}

TEST(SettingsFile, RoundTripKeepsUnknownSectionsAndComments) {
  const testing::TempDir dir;
  const auto path = dir / "Power Meter.ini";
  {
    std::ofstream out(path);
    out << "; my meters\n[Ports]\nCOM3=/tmp/meters/COM3\n\n[Comm]\nBaudrate=4800\n\n[Extra]\nColour=blue\n";
  }
  SettingsFile file(path);
  Settings s = file.Load().settings;
  EXPECT_EQ(s.Baudrate, 4800);
  s.Acquisition = 10;
  EXPECT_TRUE(file.Save(s).ok());

  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("; my meters\n[Ports]\nCOM3=/tmp/meters/COM3\n"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("[Extra]\nColour=blue\n"), std::string::npos);
  EXPECT_EQ(SettingsFile(path).Load().settings.Acquisition, 10);
}

TEST(SettingsFile, CorruptOrHugeFileGivesDefaultsAndIsNotOverwritten) {
  const testing::TempDir dir;
  const auto path = dir / "Power Meter.ini";
  {
    std::ofstream out(path, std::ios::binary);
    const std::string block(1 << 16, '\x01');
    for (int i = 0; i < 17; ++i) out << block;  // over a mebibyte
  }
  SettingsFile file(path);
  const SettingsFile::Loaded loaded = file.Load();
  const std::string& problem = loaded.status.text();
  Settings s = loaded.settings;
  EXPECT_EQ(s.Baudrate, 9600);
  EXPECT_NE(problem.find("too large"), std::string::npos);
  EXPECT_FALSE(file.Save(s).ok());
  EXPECT_EQ(std::filesystem::file_size(path), 17U << 16);
}

TEST(SettingsFile, UnwritableFolderIsReported) {
  const testing::TempDir dir;
  std::ofstream(dir / "not-a-folder") << "x";  // even root cannot create files inside a file
  SettingsFile file(dir / "not-a-folder" / "Power Meter.ini");
  Settings s;
  EXPECT_NE(file.Save(s).text().find("not-a-folder"), std::string::npos);
}

TEST(LoadPortAssignments, MapsComNamesToPaths) {
  const IniFile ini = IniFile::Parse(
      "[Ports]\nCOM3=/dev/ttyUSB0\ncom5=/tmp/meters/COM5\nCOM19=/dev/ttyUSB9\nCOM0=/x\nCOMx=/y\nCOM7=\n"
      "COM018=/z\nCOM18=/dev/ttyACM0\n");
  const auto ports = LoadPortAssignments(ini);
  EXPECT_EQ(ports, (std::map<int, std::string>{{3, "/dev/ttyUSB0"}, {5, "/tmp/meters/COM5"}, {18, "/dev/ttyACM0"}}));
}

}  // namespace
}  // namespace quorvel
