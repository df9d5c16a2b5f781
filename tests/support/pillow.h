// Bitmap files read back by an independent reader: Pillow, run by the
// python3 that QUORVEL_PYTHON names (Debian's, with python3-pil). A missing
// reader skips the test locally and fails it in CI, where it must be there.
#pragma once

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::testing {

inline constexpr int kReaderMissing = 77;

// One line per file: "width height" and the pixels as rrggbb, all of them
// for an image of at most 16 pixels, else its four corners.
inline constexpr const char* kPillowDescribe = R"(
import sys
try:
    from PIL import Image
except ImportError:
    sys.exit(77)
for path in sys.argv[1:]:
    im = Image.open(path).convert('RGB')
    w, h = im.size
    corners = [(0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)]
    spots = [(x, y) for y in range(h) for x in range(w)] if w * h <= 16 else corners
    print(w, h, ' '.join('%02x%02x%02x' % im.getpixel(s) for s in spots))
)";

inline bool InCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

// The lines Pillow prints for the files, or nullopt when Python or Pillow is
// missing (the caller skips or fails with MissingReader()).
inline std::optional<std::vector<std::string>> DescribeWithPillow(const std::vector<std::string>& paths) {
#ifndef QUORVEL_PYTHON
  (void)paths;
  return std::nullopt;
#else
  std::string command = std::string(QUORVEL_PYTHON) + " -c \"$QUORVEL_PILLOW_SCRIPT\"";
  for (const std::string& path : paths) command += " '" + path + "'";
  ::setenv("QUORVEL_PILLOW_SCRIPT", kPillowDescribe, 1);
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::vector<std::string> lines;
  char buffer[512];
  std::string line;
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    line += buffer;
    if (!line.empty() && line.back() == '\n') {
      line.pop_back();
      lines.push_back(line);
      line.clear();
    }
  }
  const int status = ::pclose(pipe);
  if (WIFEXITED(status) && WEXITSTATUS(status) == kReaderMissing) return std::nullopt;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "Pillow could not read the files";
  return lines;
#endif
}

inline std::string MissingReader() { return "python3 with Pillow (python3-pil) is not installed"; }

}  // namespace quorvel::testing

// Skips locally, fails in CI.
#define QUORVEL_READER_MISSING()                                                   \
  do {                                                                             \
    if (::quorvel::testing::InCi()) FAIL() << ::quorvel::testing::MissingReader(); \
    GTEST_SKIP() << ::quorvel::testing::MissingReader();                           \
  } while (false)
