// SIGKILL at random moments of `quorvel-cli log` saving a simulated meter's
// readings: after every kill the file opens in every reader and holds every
// row the command had reported saved, and at most the one row it was
// saving. The next run reopens the file (repairing what the kill left) and
// its rows continue.
//
// QUORVEL_LOG_KILL_ITERATIONS sets the number of kills (50 by default),
// QUORVEL_LOG_KILL_SEED the random sequence (printed on every run).

#include <gtest/gtest.h>

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>

#include "sim/meter_simulator.h"
#include "storage/spreadsheet_export.h"
#include "tests/xls/xls_test_support.h"

namespace quorvel::xls::test {
namespace {

const Columns& kColumns = quorvel::RealTimeColumns();

// ["2009-03-07 14:05:09",230.4,1.27,280.5,0.96] from a "saved" line.
std::optional<Row> SavedRow(const std::string& line) {
  const std::size_t open = line.find("\"row\":[");
  const std::size_t close = line.rfind(']');
  if (open == std::string::npos || close == std::string::npos) return std::nullopt;
  const std::string list = line.substr(open + 7, close - open - 7);
  Row row;
  std::size_t at = 0;
  while (at <= list.size()) {
    std::size_t end = list.find(',', at);
    if (end == std::string::npos) end = list.size();
    const std::string item = list.substr(at, end - at);
    if (item.size() >= 2 && item.front() == '"') {
      row.emplace_back(item.substr(1, item.size() - 2));
    } else {
      double value = 0;
      std::from_chars(item.data(), item.data() + item.size(), value);
      row.emplace_back(value);
    }
    at = end + 1;
  }
  return row;
}

struct LogRun {
  std::vector<Row> saved;
  bool killed = false;
  int status = 0;
  std::string errors;  // what the command said on standard error
};

LogRun RunAndKill(const std::string& folder, const std::string& link, std::chrono::milliseconds delay) {
  const KilledProgram program = test::RunAndKill(
      {QUORVEL_CLI, "log", "--port", "COM3=" + link, "--out", folder + "/logs", "--tick-ms", "20"}, delay, folder);
  LogRun run{{}, program.killed, program.status, program.errors};
  for (const std::string& line : program.lines) {
    if (auto row = SavedRow(line)) run.saved.push_back(std::move(*row));
  }
  return run;
}

bool IsEmptyRow(const Row& row) {
  for (const Cell& cell : row) {
    if (!std::holds_alternative<std::monostate>(cell)) return false;
  }
  return true;
}

TEST(LogKillTest, EveryKillLeavesAReadableFileWithEverySavedRow) {
  const char* iterations_text = std::getenv("QUORVEL_LOG_KILL_ITERATIONS");
  const unsigned long iterations = iterations_text ? std::strtoul(iterations_text, nullptr, 10) : 50;
  const char* seed_text = std::getenv("QUORVEL_LOG_KILL_SEED");
  const unsigned long seed = seed_text ? std::strtoul(seed_text, nullptr, 10) : std::random_device{}();
  std::cout << "log kill test: " << iterations << " kills, QUORVEL_LOG_KILL_SEED=" << seed << "\n";
  std::mt19937 random(static_cast<std::mt19937::result_type>(seed));

  TempDir dir;
  sim::MeterSimulatorOptions options;
  options.links.push_back(dir.File("COM3"));
  options.byte_interval = std::chrono::microseconds{0};
  std::string error;
  auto meters = sim::MeterSimulator::Open(options, &error);
  ASSERT_TRUE(meters && meters->Start(&error)) << error;

  const std::string path = dir.File("logs/Com3RealTimeData.xls");
  std::vector<Row> committed{HeaderCells(kColumns)};
  std::size_t in_flight_landed = 0;
  std::size_t saved_total = 0;
  for (unsigned long i = 0; i < iterations; ++i) {
    const auto delay = std::chrono::milliseconds(std::uniform_int_distribution<int>(150, 900)(random));
    const LogRun run = RunAndKill(dir.path(), meters->Link(0), delay);
    ASSERT_TRUE(run.killed) << "run " << i << " ended before the kill, status " << run.status << ": " << run.errors;
    if (!Exists(path)) {
      ASSERT_TRUE(run.saved.empty());
      continue;
    }
    committed.insert(committed.end(), run.saved.begin(), run.saved.end());
    saved_total += run.saved.size();

    const ReadBack back = ReadWithFreexl(path);
    ASSERT_TRUE(back.error.empty()) << "run " << i << ": " << back.error;
    ASSERT_GE(back.rows.size(), committed.size()) << "run " << i << " lost saved rows";
    ASSERT_LE(back.rows.size(), committed.size() + 1) << "run " << i;
    Expected expected{committed, std::nullopt};
    if (back.rows.size() == committed.size() + 1) {
      expected.in_flight = back.rows.back();
      // Either the row being saved at the kill landed whole, and it stays
      // from now on, or the kill came after the sheet's size had grown and
      // before the row's first bytes: an empty row, which the next open trims.
      if (!IsEmptyRow(back.rows.back())) {
        committed.push_back(back.rows.back());
        ++in_flight_landed;
      }
    }
    ExpectSheet(path, expected);
  }
  std::cout << "log kill test: " << saved_total << " rows reported saved, " << in_flight_landed
            << " in-flight rows landed, " << committed.size() - 1 << " rows in the file\n";
  EXPECT_GT(saved_total, iterations);  // the runs did save rows
}

}  // namespace
}  // namespace quorvel::xls::test
