// Where Help finds "user manual.pdf": the working folder, then the
// installed documentation, then the build folder.
#include "app/user_manual.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

TEST(UserManual, WorkingFolderFirstThenTheFoldersInOrder) {
  struct Case {
    std::vector<std::string> holding;  // folders with a manual
    std::string found;                 // "" when none
  };
  const Case cases[] = {
      {{"work", "installed", "built"}, "work"},
      {{"installed", "built"}, "installed"},
      {{"built"}, "built"},
      {{}, ""},
  };
  for (const Case& c : cases) {
    testing::TempDir dir;
    for (const char* folder : {"work", "installed", "built"}) fs::create_directory(dir / folder);
    for (const std::string& folder : c.holding) std::ofstream(dir / folder / kUserManualFileName) << "%PDF";
    const auto found = FindUserManual(dir / "work", {dir / "absent", dir / "installed", dir / "built"});
    if (c.found.empty()) {
      EXPECT_FALSE(found);
    } else {
      EXPECT_EQ(found, dir / c.found / kUserManualFileName);
    }
  }
}

TEST(UserManual, ALinkCountsAFolderOfThatNameDoesNot) {
  testing::TempDir dir;
  fs::create_directories(dir / "work" / kUserManualFileName);
  fs::create_directory(dir / "built");
  std::ofstream(dir / "manual.pdf") << "%PDF";
  fs::create_symlink(dir / "manual.pdf", dir / "built" / kUserManualFileName);
  EXPECT_EQ(FindUserManual(dir / "work", {dir / "built"}), dir / "built" / kUserManualFileName);
}

// The build writes the manual where Help looks last: a fresh build run from
// any folder finds it.
TEST(UserManual, AFreshBuildFindsItsOwnManual) {
  testing::TempDir elsewhere;
  const auto found = FindUserManual(elsewhere.path(), UserManualFolders());
  ASSERT_TRUE(found);
  EXPECT_TRUE(fs::is_regular_file(*found));
}

}  // namespace
}  // namespace quorvel
