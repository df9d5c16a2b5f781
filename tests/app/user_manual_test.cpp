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

// A developer's build writes the manual where Help looks last: a fresh
// build run from any folder finds it. A Release build for an install prefix
// looks in the installed documentation only, never in its build tree.
TEST(UserManual, ThisBuildLooksInItsBuildTreeOnlyWhenADevelopersBuild) {
  const std::vector<fs::path> folders = UserManualFolders();
  for (const fs::path& folder : folders) {
    const bool in_build_tree = folder.string().starts_with(QUORVEL_BUILD_TREE);
#ifdef QUORVEL_MANUAL_IN_BUILD_TREE
    EXPECT_TRUE(folder == QUORVEL_INSTALLED_MANUAL_DIR || in_build_tree) << folder;
#else
    EXPECT_FALSE(in_build_tree) << folder;
#endif
  }
  EXPECT_EQ(folders.front(), fs::path(QUORVEL_INSTALLED_MANUAL_DIR));
#ifdef QUORVEL_MANUAL_IN_BUILD_TREE
  testing::TempDir elsewhere;
  const auto found = FindUserManual(elsewhere.path(), folders);
  ASSERT_TRUE(found);
  EXPECT_TRUE(fs::is_regular_file(*found));
#else
  EXPECT_EQ(folders.size(), 1U);
#endif
}

}  // namespace
}  // namespace quorvel
