// The settings file as users' editors and desktops leave it: a byte-order
// mark, UTF-16 from Notepad (made here with iconv), a symbolic link to a
// file kept elsewhere.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

#include "storage/settings_file.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// iconv, the system's converter, as an outside judge of the encodings.
bool Iconv(const std::string& from, const std::string& to, const fs::path& in, const fs::path& out) {
  const std::string command = "iconv -f " + from + " -t " + to + " '" + in.string() + "' > '" + out.string() + "'";
  return std::system(command.c_str()) == 0;
}

const std::string kText =
    "; meters in the workshop\r\n[Ports]\r\nCOM3=/dev/ttyUSB0\r\n\r\n[Comm]\r\nBaudrate=4800\r\n\r\n"
    "[Extra]\r\nNote=Z\xC3\xA4hler\r\n";

TEST(SettingsFileEncoding, ReadWhateverTheEditorSavedAndWrittenBackTheSameWay) {
  struct Case {
    const char* name;
    const char* iconv_to;    // made from the UTF-8 text with iconv; empty: as it is
    std::string mark;        // put before iconv's bytes
    const char* iconv_from;  // what reads the saved file back
    std::string starts_with;
  };
  const Case cases[] = {
      {"UTF-8", "", "", "UTF-8", "; meters"},
      {"UTF-8 with a byte-order mark", "", "\xEF\xBB\xBF", "UTF-8", "\xEF\xBB\xBF; meters"},
      {"UTF-16 as iconv writes it (a mark, little-endian)", "UTF-16", "", "UTF-16", "\xFF\xFE;"},
      {"UTF-16BE with a mark", "UTF-16BE", "\xFE\xFF", "UTF-16", std::string("\xFE\xFF\0;", 4)},
      {"UTF-16LE without a mark", "UTF-16LE", "", "UTF-16LE", std::string(";\0 \0", 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const testing::TempDir dir;
    const fs::path path = dir / "Power Meter.ini";
    WriteAll(dir / "utf8.ini", kText);
    if (*c.iconv_to == '\0') {
      WriteAll(path, c.mark + kText);
    } else {
      ASSERT_TRUE(Iconv("UTF-8", c.iconv_to, dir / "utf8.ini", dir / "converted.ini"));
      WriteAll(path, c.mark + ReadAll(dir / "converted.ini"));
    }

    SettingsFile file(path);
    const SettingsFile::Loaded loaded = file.Load();
    const std::string& problem = loaded.status.text();
    Settings s = loaded.settings;
    EXPECT_EQ(problem, "");
    EXPECT_EQ(s.Baudrate, 4800);
    EXPECT_EQ(LoadPortAssignments(file.Profile()), (std::map<int, std::string>{{3, "/dev/ttyUSB0"}}));
    EXPECT_EQ(file.Profile().Get("Extra", "Note"), "Z\xC3\xA4hler");

    s.Acquisition = 10;
    ASSERT_TRUE(file.Save(s).ok());
    const std::string saved = ReadAll(path);
    EXPECT_EQ(saved.substr(0, c.starts_with.size()), c.starts_with);
    // One encoding from the first byte to the last.
    ASSERT_TRUE(Iconv(c.iconv_from, "UTF-8", path, dir / "back.ini"));
    std::string back = ReadAll(dir / "back.ini");
    if (back.starts_with("\xEF\xBB\xBF")) back.erase(0, 3);
    EXPECT_TRUE(back.starts_with(kText.substr(0, kText.find("[Comm]")))) << back;
    EXPECT_NE(back.find("[Extra]\r\nNote=Z\xC3\xA4hler\r\n"), std::string::npos) << back;
    EXPECT_NE(back.find("Baudrate=4800\r\n"), std::string::npos) << back;
    EXPECT_NE(back.find("Acquisition=10\r\n"), std::string::npos) << back;
    EXPECT_EQ(SettingsFile(path).Load().settings.Acquisition, 10);
  }
}

TEST(SettingsFileEncoding, AFileThatIsNotTheUtf16ItClaimsIsNamedAndNeverAppendedTo) {
  const testing::TempDir dir;
  const fs::path path = dir / "Power Meter.ini";
  // A mark, then a lone high surrogate.
  const std::string bytes = std::string("\xFF\xFE[\0C\0\x00\xD8=\0", 10);
  WriteAll(path, bytes);
  SettingsFile file(path);
  const SettingsFile::Loaded loaded = file.Load();
  const std::string& problem = loaded.status.text();
  Settings s = loaded.settings;
  EXPECT_NE(problem.find("not valid UTF-16"), std::string::npos) << problem;
  EXPECT_FALSE(file.Save(s).ok());
  EXPECT_EQ(ReadAll(path), bytes);
}

TEST(SettingsFileLinks, SaveWritesThroughTheLinkToTheFileItNames) {
  struct Case {
    const char* name;
    // Makes `link` lead to a file; returns that file.
    std::function<fs::path(const testing::TempDir& dir, const fs::path& link)> make;
    bool target_exists = true;
  };
  const std::string before = "[Ports]\nCOM5=/tmp/meters/COM5\n\n[Comm]\nBaudrate=19200\n";
  const Case cases[] = {
      {"a link to a file elsewhere",
       [&](const testing::TempDir& dir, const fs::path& link) {
         fs::create_directory(dir / "elsewhere");
         WriteAll(dir / "elsewhere" / "meters.ini", before);
         fs::create_symlink(dir / "elsewhere" / "meters.ini", link);
         return dir / "elsewhere" / "meters.ini";
       }},
      {"a relative link",
       [&](const testing::TempDir& dir, const fs::path& link) {
         fs::create_directory(dir / "elsewhere");
         WriteAll(dir / "elsewhere" / "meters.ini", before);
         fs::create_symlink("../elsewhere/meters.ini", link);
         return dir / "elsewhere" / "meters.ini";
       }},
      {"a link to a link",
       [&](const testing::TempDir& dir, const fs::path& link) {
         WriteAll(dir / "real.ini", before);
         fs::create_symlink("real.ini", dir / "middle.ini");
         fs::create_symlink(dir / "middle.ini", link);
         return dir / "real.ini";
       }},
      {"a link to a file not made yet",
       [&](const testing::TempDir& dir, const fs::path& link) {
         fs::create_symlink(dir / "first.ini", link);
         return dir / "first.ini";
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const testing::TempDir dir;
    fs::create_directory(dir / "work");
    const fs::path link = dir / "work" / "Power Meter.ini";
    const fs::path target = c.make(dir, link);
    if (c.target_exists) fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);

    SettingsFile file(link);
    Settings s = file.Load().settings;
    s.Acquisition = 5;
    ASSERT_TRUE(file.Save(s).ok());
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    const std::string saved = ReadAll(target);
    EXPECT_NE(saved.find("Acquisition=5\n"), std::string::npos) << saved;
    if (c.target_exists) {
      EXPECT_TRUE(saved.starts_with(before)) << saved;
      EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    }
    EXPECT_EQ(SettingsFile(link).Load().settings.Acquisition, 5);
    // Nothing of the save is left beside the file or the link.
    for (const fs::path& folder : {target.parent_path(), link.parent_path()}) {
      for (const auto& entry : fs::directory_iterator(folder)) {
        EXPECT_NE(entry.path().extension(), ".new") << entry.path();
      }
    }
  }
}

}  // namespace
}  // namespace quorvel
