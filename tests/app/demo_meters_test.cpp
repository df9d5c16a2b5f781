// The simulated meters of --demo: their slots, their private folder, an
// answer on each link, and the clean-up after killed runs.
#include "app/demo_meters.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "protocol/commands.h"
#include "tests/support/pty.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

TEST(DemoMeters, SlotsFromComThreeUnlessThatRunsPastEighteen) {
  struct Case {
    int meters;
    int first;
    int last;
  };
  for (const Case c : {Case{1, 3, 3}, Case{3, 3, 5}, Case{16, 3, 18}, Case{17, 1, 17}, Case{18, 1, 18}}) {
    const std::vector<int> slots = DemoSlots(c.meters);
    ASSERT_EQ(slots.size(), static_cast<std::size_t>(c.meters));
    EXPECT_EQ(slots.front(), c.first) << c.meters;
    EXPECT_EQ(slots.back(), c.last) << c.meters;
  }
}

TEST(DemoMeters, EachLinkAnswersAndTheFolderGoesWithTheMeters) {
  testing::TempDir parent;
  auto started = DemoMeters::Start(3, parent.path());
  ASSERT_TRUE(started.ok()) << started.status().text();
  std::unique_ptr<DemoMeters> demo = std::move(started.value());
  const fs::path folder = demo->Folder();
  EXPECT_EQ(folder.parent_path(), parent.path());
  EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);  // no other user reaches the meters

  std::vector<int> slots;
  for (const auto& [slot, link] : demo->PortAssignments()) {
    slots.push_back(slot);
    EXPECT_EQ(fs::path(link), folder / ("COM" + std::to_string(slot)));
    testing::PortEnd port(link);
    ASSERT_TRUE(port.Ok()) << link;
    ASSERT_TRUE(port.Send(ReadRealTimeRequest()));
    EXPECT_EQ(port.Read(1), std::vector<std::uint8_t>{0x55}) << link;
  }
  EXPECT_EQ(slots, (std::vector<int>{3, 4, 5}));

  demo.reset();
  EXPECT_FALSE(fs::exists(folder));
}

TEST(DemoMeters, CountsOutsideOneToEighteenLeaveNothingBehind) {
  testing::TempDir parent;
  for (const int meters : {0, 19}) {
    const auto started = DemoMeters::Start(meters, parent.path());
    ASSERT_FALSE(started.ok());
    EXPECT_NE(started.status().text().find("between 1 and 18 meters"), std::string::npos) << started.status().text();
  }
  EXPECT_TRUE(fs::is_empty(parent.path()));
}

// A killed run leaves its folder; the next start removes it, and nothing
// else: not a live run's, not another program's, not a link's target.
TEST(DemoMeters, StartRemovesOnlyFoldersOfEndedRuns) {
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ASSERT_GT(ended, 0);
  ::waitpid(ended, nullptr, 0);
  const std::string dead = "quorvel-demo-" + std::to_string(ended) + "-";
  const std::string alive = "quorvel-demo-" + std::to_string(::getpid()) + "-";

  testing::TempDir parent;
  testing::TempDir elsewhere;
  for (const std::string& name : {dead + "a1B2c3", alive + "d4E5f6", "other-" + std::to_string(ended) + "-x"}) {
    fs::create_directory(parent / name);
    std::ofstream(parent / name / "COM3") << "";
  }
  fs::create_directory_symlink(elsewhere.path(), parent / (dead + "link"));
  std::ofstream(elsewhere / "keep") << "";

  EXPECT_EQ(RemoveStaleDemoFolders(parent.path()), 1);
  EXPECT_FALSE(fs::exists(parent / (dead + "a1B2c3")));
  EXPECT_TRUE(fs::exists(parent / (alive + "d4E5f6") / "COM3"));
  EXPECT_TRUE(fs::exists(parent / ("other-" + std::to_string(ended) + "-x")));
  EXPECT_TRUE(fs::exists(elsewhere / "keep"));
}

}  // namespace
}  // namespace quorvel
