// Appends rows until it is killed: row n for n = FIRST, FIRST + 1, ... After
// each append has returned (and so is flushed to the disk), prints "n\n" on
// standard output, unbuffered: the test kills this process at random moments
// and compares the file with the last number it received.
//
//   xls_kill_driver PATH FIRST ROW_LIMIT MAX_GROWTH_BYTES
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "storage/xls/sheet_log.h"
#include "tests/xls/kill_rows.h"

int main(int argc, char** argv) {
  using namespace quorvel::xls;
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s PATH FIRST ROW_LIMIT MAX_GROWTH_BYTES\n", argv[0]);
    return 2;
  }
  WriterOptions options;
  options.flush = FlushPolicy::kEveryRow;
  options.row_limit = static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10));
  options.max_growth_bytes = static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 10));
  SheetLog log(argv[1], test::KillColumns(), options);
  for (std::uint64_t n = std::strtoull(argv[2], nullptr, 10);; ++n) {
    const AppendResult result = log.Append(test::KillRow(n));
    if (!result.status.ok()) {
      std::fprintf(stderr, "%s\n", result.status.text().c_str());
      return 1;
    }
    const std::string line = std::to_string(n) + "\n";
    if (::write(STDOUT_FILENO, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
      return 1;
    }
  }
}
