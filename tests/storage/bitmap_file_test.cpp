#include "storage/bitmap_file.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/pillow.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

RgbImage Filled(int width, int height, std::uint32_t rgb) {
  return {width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width * height), rgb)};
}

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;) value = value << 8 | b[at + i];
  return value;
}
std::uint32_t U16At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8;
}

std::vector<std::string> FilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

struct LayoutCase {
  int width, height, colour_depth;
  int bits;
  std::uint32_t pixel_offset, row_size;
};

TEST(BitmapFile, HeaderTableAndRowLayout) {
  const LayoutCase cases[] = {
      {400, 250, 32, 32, 54, 1600},  // 54 + 400 000 bytes
      {400, 250, 16, 24, 54, 1200},  // a 16-bit display gives 24 bits
      {400, 250, 8, 8, 1078, 400},   // 256 colours: a 1024-byte table
      {3, 2, 24, 24, 54, 12},        // 9 bytes padded to 12
      {5, 1, 1, 1, 54 + 8, 4},       // 5 bits in a 4-byte row
      {3, 1, 3, 4, 54 + 64, 4},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " at " + std::to_string(c.colour_depth));
    ASSERT_EQ(BitmapBits(c.colour_depth), c.bits);
    const std::vector<std::uint8_t> b = EncodeBitmap(Filled(c.width, c.height, 0x336699), c.bits);
    ASSERT_EQ(b.size(), c.pixel_offset + c.row_size * static_cast<std::uint32_t>(c.height));
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U32At(b, 2), b.size());
    EXPECT_EQ(U32At(b, 6), 0u);
    EXPECT_EQ(U32At(b, 10), c.pixel_offset);
    EXPECT_EQ(U32At(b, 14), 40u);
    EXPECT_EQ(U32At(b, 18), static_cast<std::uint32_t>(c.width));
    EXPECT_EQ(U32At(b, 22), static_cast<std::uint32_t>(c.height));
    EXPECT_EQ(U16At(b, 26), 1u);
    EXPECT_EQ(U16At(b, 28), static_cast<std::uint32_t>(c.bits));
    for (std::size_t at = 30; at < 54; at += 4) EXPECT_EQ(U32At(b, at), 0u) << "offset " << at;
  }
  EXPECT_EQ(BitmapBits(48), 32);
  EXPECT_TRUE(EncodeBitmap(Filled(0, 5, 0), 32).empty());
  EXPECT_TRUE(EncodeBitmap(Filled(2, 2, 0), 16).empty());
}

TEST(BitmapFile, RowsBottomUpInBlueGreenRedOrderAndPaletteEntries) {
  // Top row red, green, blue; bottom row white, black, yellow.
  const RgbImage image{3, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0xFFFF00}};
  const std::vector<std::uint8_t> b = EncodeBitmap(image, 24);
  const std::vector<std::uint8_t> bottom(b.begin() + 54, b.begin() + 66);
  const std::vector<std::uint8_t> top(b.begin() + 66, b.end());
  EXPECT_EQ(bottom, (std::vector<std::uint8_t>{255, 255, 255, 0, 0, 0, 0, 255, 255, 0, 0, 0}));
  EXPECT_EQ(top, (std::vector<std::uint8_t>{0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0}));

  const std::vector<std::uint8_t> b8 = EncodeBitmap(image, 8);
  const std::uint8_t white = b8[1078];
  EXPECT_EQ(U32At(b8, 54 + 4u * white), 0x00FFFFFFu);  // blue, green, red, 0
  const std::uint8_t red = b8[1078 + 4];
  EXPECT_EQ(U32At(b8, 54 + 4u * red), 0x00FF0000u);
}

struct Folder {
  TempDir dir;
  std::string prefix = dir.path().string() + "/";
};

TEST(BitmapFile, TakesTheFirstFreeNumber) {
  Folder f;
  for (const int n : {1, 2, 3}) Touch(ChartBitmapName(f.prefix, 3, 2, n));
  BitmapSaveResult r = SaveChartBitmap(f.prefix, 3, 2, Filled(4, 4, 0), 32);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.message, "BMP Save Success");
  EXPECT_EQ(r.path, f.prefix + "3ChartPower4.bmp");
  EXPECT_EQ(fs::file_size(r.path), 54u + 64u);

  fs::remove(f.prefix + "3ChartPower2.bmp");
  r = SaveChartBitmap(f.prefix, 3, 2, Filled(4, 4, 0), 32);
  EXPECT_EQ(r.path, f.prefix + "3ChartPower2.bmp");
  EXPECT_EQ(ChartBitmapName("", 12, 0, 7), "12ChartCurrent7.bmp");
  EXPECT_EQ(ChartBitmapName("", 12, 3, 7), "12ChartFactor7.bmp");
}

TEST(BitmapFile, AllNumbersTakenWritesNothing) {
  Folder f;
  for (int n = 1; n <= kMaxBitmapNumber; ++n) Touch(ChartBitmapName(f.prefix, 5, 1, n));
  const BitmapSaveResult r = SaveChartBitmap(f.prefix, 5, 1, Filled(4, 4, 0), 32);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "BMP Save Error: 5ChartVoltage1.bmp to 5ChartVoltage499.bmp all exist in " + f.prefix +
                           "; move or delete some of them");
  EXPECT_EQ(FilesIn(f.dir.path()).size(), 499u);
}

// Root is not stopped by permission bits: a regular file standing where a
// folder should be refuses for everybody.
TEST(BitmapFile, FolderThatCannotHoldTheFileNamesTheCause) {
  Folder f;
  Touch(f.prefix + "plain");
  const struct {
    std::string folder;
    const char* cause;
  } cases[] = {{f.prefix + "missing/", "No such file or directory"}, {f.prefix + "plain/", "Not a directory"}};
  for (const auto& c : cases) {
    const BitmapSaveResult r = SaveChartBitmap(c.folder, 3, 0, Filled(4, 4, 0), 32);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "BMP Save Error: cannot create " + c.folder + "3ChartCurrent1.bmp: " + c.cause);
  }
  EXPECT_EQ(FilesIn(f.dir.path()), std::vector<std::string>{"plain"});
}

// A full disk, for any user: a limit on the size of files, in a child.
TEST(BitmapFile, DiskFullLeavesNoPartialFile) {
  Folder f;
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const std::string message = SaveChartBitmap(f.prefix, 3, 1, Filled(100, 100, 0), 32).message;
    ::_exit(::write(fds[1], message.data(), message.size()) == static_cast<ssize_t>(message.size()) ? 0 : 1);
  }
  ::close(fds[1]);
  std::string message(512, '\0');
  message.resize(static_cast<std::size_t>(std::max<ssize_t>(0, ::read(fds[0], message.data(), message.size()))));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_EQ(message, "BMP Save Error: cannot write " + f.prefix + "3ChartVoltage1.bmp: File too large");
  EXPECT_TRUE(FilesIn(f.dir.path()).empty());
}

// Pillow reads what we write, pixel for pixel, at every depth with exact
// colours for these six.
TEST(BitmapFile, IndependentReaderSeesThePixels) {
  Folder f;
  const RgbImage image{3, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0xFFFF00}};
  std::vector<std::string> paths;
  for (const int bits : {32, 24, 8, 4}) {
    const BitmapSaveResult r = SaveChartBitmap(f.prefix, 3, 0, image, bits);
    ASSERT_TRUE(r.ok) << r.message;
    paths.push_back(r.path);
  }
  const auto read = testing::DescribeWithPillow(paths);
  if (!read) QUORVEL_READER_MISSING();
  const std::string line = "3 2 ff0000 00ff00 0000ff ffffff 000000 ffff00";
  EXPECT_EQ(*read, std::vector<std::string>(4, line));
}

}  // namespace
}  // namespace quorvel
