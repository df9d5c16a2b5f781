// Helpers shared by the workbook tests: reading a file back
// with libfreexl, and handing every checked file to the other readers.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "storage/xls/cell.h"
#include "tests/support/temp_dir.h"

namespace quorvel::xls::test {

using testing::TempDir;

std::vector<std::uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool Exists(const std::string& path);

// The sheet as libfreexl reads it (header row included), or its error.
struct ReadBack {
  std::string error;
  std::vector<Row> rows;
};
ReadBack ReadWithFreexl(const std::string& path);

// The header row as cells.
Row HeaderCells(const Columns& columns);

// What a file must hold, header row included. `in_flight` is a row that may
// or may not be there (a write cut off by a kill): then libfreexl may also
// show it as an empty row, its place being counted before its cells land.
struct Expected {
  std::vector<Row> rows;
  std::optional<Row> in_flight;
};

// Checks the file with libfreexl now and, when QUORVEL_XLS_CORPUS names a
// folder, leaves a copy and the expectation there for the xlrd and
// LibreOffice checks that run after the tests. Returns the number of rows
// libfreexl saw (without an empty in-flight row).
std::size_t ExpectSheet(const std::string& path, const Expected& expected);

// The columns of the dashboard's real-time file and a typical row.
Columns RealTimeColumns();
Row SampleRow(std::uint32_t n);

// A program started with `argv` (in `working_dir` unless empty), killed
// with SIGKILL after `delay`, and what it had said by then.
struct KilledProgram {
  std::vector<std::string> lines;  // whole lines of standard output; a line cut off does not count
  std::string errors;              // standard error
  int status = 0;
  bool killed = false;  // false: it ended by itself before the kill
};
KilledProgram RunAndKill(const std::vector<std::string>& argv, std::chrono::microseconds delay,
                         const std::string& working_dir = {});

// True when the variable CI is "true": missing readers then fail the test.
bool InCi();

}  // namespace quorvel::xls::test
