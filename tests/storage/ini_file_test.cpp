#include "storage/ini_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

TEST(IniFile, LooksUpWithoutRegardToCaseAndTakesTheFirstMatch) {
  const IniFile ini = IniFile::Parse(
      "; written by hand\n"
      "[comm]\n"
      "  BaudRate =  19200  \n"
      "baudrate=4800\n"
      "[Comm]\n"
      "Parity=even\n"
      "[Path]\n"
      "File=/var/log/meters/\n");
  EXPECT_EQ(ini.Get("Comm", "Baudrate"), "19200");
  EXPECT_EQ(ini.Get("COMM", "BAUDRATE"), "19200");
  // Only the first [Comm] section counts.
  EXPECT_FALSE(ini.Get("Comm", "Parity").has_value());
  EXPECT_EQ(ini.Get("path", "file"), "/var/log/meters/");
  EXPECT_FALSE(ini.Get("Missing", "File").has_value());
  EXPECT_EQ(ini.Get("Path", "File", 4), "/var");
}

TEST(IniFile, SetReplacesInPlaceAndKeepsEverythingElse) {
  IniFile ini = IniFile::Parse(
      "[Comm]\n"
      "Baudrate=9600\n"
      "; keep me\n"
      "\n"
      "[Vendor]\n"
      "Secret=42\n");
  ini.Set("comm", "BAUDRATE", "19200");
  ini.Set("Comm", "Parity", "none");
  ini.Set("SysSet", "AutoSave", "true");
  EXPECT_EQ(ini.Text(),
            "[Comm]\n"
            "BAUDRATE=19200\n"
            "; keep me\n"
            "Parity=none\n"
            "\n"
            "[Vendor]\n"
            "Secret=42\n"
            "\n"
            "[SysSet]\n"
            "AutoSave=true\n");
}

TEST(IniFile, KeepsWindowsLineEndings) {
  IniFile ini = IniFile::Parse("[Comm]\r\nBaudrate=9600\r\n");
  ini.Set("Comm", "Baudrate", "4800");
  EXPECT_EQ(ini.Text(), "[Comm]\r\nBaudrate=4800\r\n");
  EXPECT_EQ(ini.Get("Comm", "Baudrate"), "4800");
}

TEST(IniFile, KeysListsEachKeyOnceInFileOrder) {
  const IniFile ini = IniFile::Parse("[Ports]\nCOM5=/a\nnot a key\nCOM3=/b\ncom5=/c\n=/d\n");
  EXPECT_EQ(ini.Keys("Ports"), (std::vector<std::string>{"COM5", "COM3"}));
}

TEST(IniFile, BinaryJunkParsesToNothingUseful) {
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk.push_back(static_cast<char>((i * 7919) % 256));
  const IniFile ini = IniFile::Parse(junk);
  EXPECT_FALSE(ini.Get("Comm", "Baudrate").has_value());
}

TEST(IniFile, LoadTellsWhyAFileCannotBeUsed) {
  const testing::TempDir dir;
  IniFile::LoadResult missing = IniFile::Load(dir / "absent.ini");
  EXPECT_TRUE(missing.status.ok());  // the normal first run

  {
    std::ofstream huge(dir / "huge.ini", std::ios::binary);
    const std::string block(64 * 1024, 'x');
    for (int i = 0; i < 20; ++i) huge << block;
  }
  const IniFile::LoadResult too_large = IniFile::Load(dir / "huge.ini");
  EXPECT_NE(too_large.status.text().find("too large"), std::string::npos);
  EXPECT_TRUE(too_large.file.Text().empty());
}

TEST(IniFile, SaveReplacesTheFileWholeOrNotAtAll) {
  const testing::TempDir dir;
  IniFile ini = IniFile::Parse("[Comm]\nBaudrate=9600\n");
  EXPECT_TRUE(ini.Save(dir / "a.ini").ok());
  EXPECT_EQ(IniFile::Load(dir / "a.ini").file.Get("Comm", "Baudrate"), "9600");

  const std::string problem = ini.Save(dir / "no-such-folder" / "a.ini").text();
  EXPECT_NE(problem.find("no-such-folder"), std::string::npos);
}

}  // namespace
}  // namespace quorvel
