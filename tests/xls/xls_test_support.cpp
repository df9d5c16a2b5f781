#include "tests/xls/xls_test_support.h"

#include <freexl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "storage/spreadsheet_export.h"

namespace quorvel::xls::test {
namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) { return fs::exists(path); }

ReadBack ReadWithFreexl(const std::string& path) {
  ReadBack result;
  const void* handle = nullptr;
  if (const int rc = freexl_open(path.c_str(), &handle); rc != FREEXL_OK) {
    result.error = "freexl_open failed: " + std::to_string(rc);
    return result;
  }
  unsigned int rows = 0;
  unsigned short cols = 0;
  int rc = freexl_select_active_worksheet(handle, 0);
  if (rc == FREEXL_OK) {
    rc = freexl_worksheet_dimensions(handle, &rows, &cols);
  }
  if (rc != FREEXL_OK) {
    result.error = "freexl cannot read the sheet: " + std::to_string(rc);
  }
  for (unsigned int r = 0; r < rows && result.error.empty(); ++r) {
    Row row;
    for (unsigned short c = 0; c < cols; ++c) {
      FreeXL_CellValue value{};
      if (freexl_get_cell_value(handle, r, c, &value) != FREEXL_OK) {
        result.error = "freexl cannot read a cell";
        break;
      }
      switch (value.type) {
        case FREEXL_CELL_NULL:
          row.emplace_back(std::monostate{});
          break;
        case FREEXL_CELL_INT:
          row.emplace_back(static_cast<double>(value.value.int_value));
          break;
        case FREEXL_CELL_DOUBLE:
          row.emplace_back(value.value.double_value);
          break;
        default:
          row.emplace_back(std::string(value.value.text_value));
          break;
      }
    }
    result.rows.push_back(std::move(row));
  }
  freexl_close(handle);
  return result;
}

Row HeaderCells(const Columns& columns) {
  Row row;
  for (const std::string& c : columns) {
    row.emplace_back(c);
  }
  return row;
}

namespace {

std::string CellText(const Cell& cell) {
  if (const auto* t = std::get_if<std::string>(&cell)) {
    return "'" + *t + "'";
  }
  if (const auto* d = std::get_if<double>(&cell)) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", *d);
    return buffer;
  }
  return "null";
}

std::string RowText(const Row& row) {
  std::string out = "[";
  for (const Cell& c : row) {
    out += (out.size() > 1 ? ", " : "") + CellText(c);
  }
  return out + "]";
}

// Exact equality: numbers bit for bit, so -0.0 and 0.0 differ.
bool SameCell(const Cell& a, const Cell& b) {
  if (a.index() != b.index()) {
    return false;
  }
  if (const auto* d = std::get_if<double>(&a)) {
    return std::bit_cast<std::uint64_t>(*d) == std::bit_cast<std::uint64_t>(std::get<double>(b));
  }
  return a == b;
}

bool SameRow(const Row& a, const Row& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!SameCell(a[i], b[i])) {
      return false;
    }
  }
  return true;
}

bool EmptyRow(const Row& row) {
  for (const Cell& c : row) {
    if (!std::holds_alternative<std::monostate>(c)) {
      return false;
    }
  }
  return true;
}

// What the readers are expected to show for a cell written by the library:
// numbers that are not finite and empty text become empty cells (text cut to
// 255 UTF-16 units is left to the tests that write it).
Cell Shown(const Cell& cell) {
  if (const auto* d = std::get_if<double>(&cell); d != nullptr && !std::isfinite(*d)) {
    return std::monostate{};
  }
  if (const auto* t = std::get_if<std::string>(&cell); t != nullptr && t->empty()) {
    return std::monostate{};
  }
  return cell;
}

void PutJsonString(std::ostream& out, const std::string& s) {
  out << '"';
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out << '\\' << ch;
    } else if (c < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out << buffer;
    } else {
      out << ch;
    }
  }
  out << '"';
}

void PutJsonRow(std::ostream& out, const Row& row) {
  out << '[';
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i > 0) {
      out << ',';
    }
    const Cell cell = Shown(row[i]);
    if (const auto* t = std::get_if<std::string>(&cell)) {
      out << "{\"s\":";
      PutJsonString(out, *t);
      out << '}';
    } else if (const auto* d = std::get_if<double>(&cell)) {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "%a", *d);  // exact, read with float.fromhex
      out << "{\"n\":\"" << buffer << "\"}";
    } else {
      out << "null";
    }
  }
  out << ']';
}

std::uint64_t Fnv1a(const void* data, std::size_t n, std::uint64_t h = 1469598103934665603ull) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < n; ++i) {
    h = (h ^ p[i]) * 1099511628211ull;
  }
  return h;
}

std::string Hex(std::uint64_t v) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%016" PRIx64, v);
  return buffer;
}

// Written under a private name, then renamed: test processes run in parallel.
void PublishFile(const fs::path& target, const void* data, std::size_t n) {
  if (fs::exists(target)) {
    return;
  }
  const fs::path temp = target.string() + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
  }
  fs::rename(temp, target);
}

void ExportToCorpus(const std::string& path, const Expected& expected) {
  const char* corpus = std::getenv("QUORVEL_XLS_CORPUS");
  if (corpus == nullptr || *corpus == '\0') {
    return;
  }
  const std::vector<std::uint8_t> bytes = ReadBytes(path);
  const std::string file_id = Hex(Fnv1a(bytes.data(), bytes.size()));
  std::ostringstream json;
  json << "{\"origin\":";
  PutJsonString(json, ::testing::UnitTest::GetInstance()->current_test_info()->name());
  json << ",\"rows\":[";
  for (std::size_t i = 0; i < expected.rows.size(); ++i) {
    if (i > 0) {
      json << ",\n";
    }
    PutJsonRow(json, expected.rows[i]);
  }
  json << "],\"in_flight\":";
  if (expected.in_flight) {
    PutJsonRow(json, *expected.in_flight);
  } else {
    json << "null";
  }
  json << "}\n";
  const std::string text = json.str();
  fs::create_directories(corpus);
  PublishFile(fs::path(corpus) / (file_id + ".xls"), bytes.data(), bytes.size());
  PublishFile(fs::path(corpus) / (file_id + "-" + Hex(Fnv1a(text.data(), text.size())) + ".json"), text.data(),
              text.size());
}

}  // namespace

std::size_t ExpectSheet(const std::string& path, const Expected& expected) {
  const ReadBack got = ReadWithFreexl(path);
  EXPECT_EQ(got.error, "") << path;
  std::vector<Row> want;
  for (const Row& row : expected.rows) {
    Row shown;
    for (const Cell& c : row) {
      shown.push_back(Shown(c));
    }
    want.push_back(std::move(shown));
  }
  std::size_t seen = got.rows.size();
  bool ok = got.rows.size() >= want.size() && got.rows.size() <= want.size() + (expected.in_flight ? 1 : 0);
  for (std::size_t i = 0; ok && i < want.size(); ++i) {
    ok = SameRow(got.rows[i], want[i]);
    if (!ok) {
      ADD_FAILURE() << path << " row " << i << ": freexl reads " << RowText(got.rows[i]) << ", expected "
                    << RowText(want[i]);
    }
  }
  if (ok && got.rows.size() > want.size()) {
    Row in_flight;
    for (const Cell& c : *expected.in_flight) {
      in_flight.push_back(Shown(c));
    }
    const Row& last = got.rows.back();
    if (EmptyRow(last)) {
      seen = want.size();
    } else {
      ok = SameRow(last, in_flight);
      if (!ok) {
        ADD_FAILURE() << path << " in-flight row: freexl reads " << RowText(last);
      }
    }
  } else if (got.rows.size() != want.size() && got.error.empty()) {
    ADD_FAILURE() << path << ": freexl reads " << got.rows.size() << " rows, expected " << want.size()
                  << (expected.in_flight ? " or one more" : "");
  }
  ExportToCorpus(path, expected);
  return seen;
}

Columns RealTimeColumns() { return quorvel::RealTimeColumns(); }

Row SampleRow(std::uint32_t n) {
  char time[32];
  std::snprintf(time, sizeof time, "2009-03-07 %02u:%02u:%02u", (n / 3600) % 24, (n / 60) % 60, n % 60);
  Row row{std::string(time), 230.4 + n % 10 * 0.1, 1.27, 280.5, 0.96};
  row.resize(RealTimeColumns().size(), 1.0);  // as wide as the real-time file
  if (n % 7 == 3) {
    row[2] = std::monostate{};
  }
  if (n % 11 == 5) {
    row[4] = -1.0;
  }
  row[3] = static_cast<double>(n);  // makes every row different
  return row;
}

namespace {

std::string DrainPipe(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  return text;
}

}  // namespace

KilledProgram RunAndKill(const std::vector<std::string>& argv, std::chrono::microseconds delay,
                         const std::string& working_dir) {
  KilledProgram run;
  int out[2];
  int err[2];
  if (argv.empty() || ::pipe(out) != 0 || ::pipe(err) != 0) {
    ADD_FAILURE() << "cannot start " << (argv.empty() ? std::string("nothing") : argv[0]);
    return run;
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    for (const int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
    if (!working_dir.empty() && ::chdir(working_dir.c_str()) != 0) ::_exit(126);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  std::this_thread::sleep_for(delay);
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &run.status, 0);
  run.killed = WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGKILL;
  const std::string text = DrainPipe(out[0]);
  run.errors = DrainPipe(err[0]);
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    run.lines.push_back(text.substr(start, end - start));
  }
  return run;
}

bool InCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

}  // namespace quorvel::xls::test
