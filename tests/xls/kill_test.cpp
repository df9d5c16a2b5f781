// SIGKILL at random moments of a writer that appends flushed rows: after
// every kill all files open in every reader and hold every row the writer
// had reported, and at most the one row it was writing. The next run
// carries on (repairing what the kill left) and is killed in its turn.
//
// QUORVEL_XLS_KILL_ITERATIONS sets the number of kills (50 by default),
// QUORVEL_XLS_KILL_SEED the random sequence (printed on every run).

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>

#include "storage/xls/sheet_file.h"
#include "storage/xls/sheet_log.h"
#include "tests/xls/kill_rows.h"
#include "tests/xls/xls_test_support.h"

namespace quorvel::xls::test {
namespace {

constexpr std::uint32_t kRowLimit = 100;  // rows per file: continuations happen
constexpr std::uint64_t kDataRows = kRowLimit - 1;
constexpr const char* kMaxGrowth = "2048";  // growths happen every few rows

unsigned long EnvNumber(const char* name, unsigned long fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::strtoul(value, nullptr, 10) : fallback;
}

unsigned FileOf(std::uint64_t n) { return static_cast<unsigned>((n - 1) / kDataRows + 1); }

struct DriverRun {
  std::uint64_t reported = 0;  // the last row the driver said was committed
  bool killed = false;
  int status = 0;
};

// Starts the driver at row `first`, kills it after `delay`, returns what it
// had reported by then.
DriverRun RunAndKill(const std::string& base, std::uint64_t first, std::chrono::microseconds delay) {
  const KilledProgram program = test::RunAndKill(
      {QUORVEL_XLS_KILL_DRIVER, base, std::to_string(first), std::to_string(kRowLimit), kMaxGrowth}, delay);
  DriverRun run;
  run.reported = program.lines.empty() ? first - 1 : std::stoull(program.lines.back());
  run.killed = program.killed;
  run.status = program.status;
  return run;
}

TEST(KillTest, EveryKillLeavesReadableFilesWithEveryReportedRow) {
  const unsigned long iterations = EnvNumber("QUORVEL_XLS_KILL_ITERATIONS", 50);
  const unsigned long seed = EnvNumber("QUORVEL_XLS_KILL_SEED", std::random_device{}());
  std::cout << "kill test: " << iterations << " kills, QUORVEL_XLS_KILL_SEED=" << seed << "\n";
  std::mt19937_64 rng(seed);
  TempDir dir;
  const std::string base = dir.File("Com5RealTimeData.xls");
  std::uint64_t committed = 0;  // rows in the files after the last kill
  unsigned long in_flight_kept = 0;
  unsigned long in_flight_counted = 0;
  for (unsigned long i = 0; i < iterations; ++i) {
    // Mostly mid-run; every fourth kill lands while the driver starts,
    // opens and repairs.
    const auto delay = std::chrono::microseconds(rng() % 4 == 0 ? rng() % 3000 : rng() % 50000);
    const DriverRun run = RunAndKill(base, committed + 1, delay);
    ASSERT_TRUE(run.killed) << "the driver stopped by itself (status " << run.status << ") at kill " << i;
    ASSERT_GE(run.reported, committed) << "kill " << i;

    const std::uint64_t in_flight = run.reported + 1;
    std::uint64_t seen = (FileOf(committed + 1) - 1) * kDataRows;  // rows of the files before
    for (unsigned file = FileOf(committed + 1); file <= FileOf(in_flight); ++file) {
      const std::string path = ContinuationPath(base, file);
      const std::uint64_t lo = (file - 1) * kDataRows + 1;
      const std::uint64_t hi = std::min<std::uint64_t>(file * kDataRows, run.reported);
      const bool holds_in_flight = FileOf(in_flight) == file;
      if (!Exists(path)) {
        ASSERT_TRUE(holds_in_flight && in_flight == lo) << path << " is missing after kill " << i;
        seen = lo - 1;
        continue;
      }
      Expected expected{{HeaderCells(KillColumns())}, {}};
      for (std::uint64_t n = lo; n <= hi; ++n) {
        expected.rows.push_back(KillRow(n));
      }
      if (holds_in_flight) {
        expected.in_flight = KillRow(in_flight);
      }
      const std::size_t shown = ExpectSheet(path, expected);
      ASSERT_FALSE(HasFailure()) << "after kill " << i << " (seed " << seed << ")";
      seen = (file - 1) * kDataRows + (shown - 1);
      if (holds_in_flight && shown == expected.rows.size() && ReadWithFreexl(path).rows.size() > expected.rows.size()) {
        ++in_flight_counted;
      }
    }
    ASSERT_TRUE(seen == run.reported || seen == in_flight) << "kill " << i;
    in_flight_kept += seen == in_flight ? 1 : 0;
    committed = seen;
  }
  // The last file, repaired, holds exactly the rows found.
  const std::string last = ContinuationPath(base, FileOf(committed + 1));
  if (Exists(last)) {
    OpenResult opened = SheetFile::Open(last, KillColumns());
    ASSERT_EQ(opened.kind, OpenKind::kOpened) << opened.text;
    ASSERT_TRUE(opened.file->Close().ok());
    Expected expected{{HeaderCells(KillColumns())}, {}};
    for (std::uint64_t n = (FileOf(committed + 1) - 1) * kDataRows + 1; n <= committed; ++n) {
      expected.rows.push_back(KillRow(n));
    }
    ExpectSheet(last, expected);
  }
  std::cout << "kill test: " << committed << " rows in " << FileOf(committed + 1) << " files; the row in flight was "
            << "there after " << in_flight_kept << " kills, and an empty row for libfreexl after " << in_flight_counted
            << "\n";
}

}  // namespace
}  // namespace quorvel::xls::test
