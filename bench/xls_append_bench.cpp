// Cost of one appended row, early in a file and near its row limit, and
// rows per second, with and without a flush to the disk per row.
//
//   BM_AppendBatch/<first row>/<flush>/<rows>: time per row of appending
//     <rows> rows to a copy of a file that holds <first row> rows.
//   BM_LateToEarlyRatio/<flush>: the same at rows 100 and 60 000, taken in
//     turn; the counter "ratio" is the cost at 60 000 over the cost at 100.
//   BM_RowsPerSecond/<flush>: a new file filled row by row.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include "storage/spreadsheet_export.h"
#include "storage/xls/sheet_file.h"

namespace {

namespace fs = std::filesystem;
using quorvel::xls::FlushPolicy;
using quorvel::xls::OpenKind;
using quorvel::xls::OpenResult;
using quorvel::xls::Row;
using quorvel::xls::SheetFile;
using quorvel::xls::WriterOptions;

const quorvel::xls::Columns& kColumns = quorvel::RealTimeColumns();

// A row as the dashboard saves it.
Row RealTimeRow() {
  quorvel::DeviceRecord reading;
  reading.Voltage = 230.4F;
  reading.Current = 1.27F;
  reading.Power = 280.5F;
  reading.PowerFactor = 0.96F;
  return quorvel::RealTimeRow("2009-03-07 14:05:09", reading);
}

WriterOptions Options(bool flush) {
  WriterOptions options;
  options.flush = flush ? FlushPolicy::kEveryRow : FlushPolicy::kNone;
  return options;
}

// A private folder for the files, removed at exit.
struct WorkArea {
  fs::path dir = fs::temp_directory_path() / ("quorvel-xls-bench-" + std::to_string(::getpid()));
  WorkArea() { fs::create_directories(dir); }
  ~WorkArea() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  WorkArea(const WorkArea&) = delete;
  WorkArea& operator=(const WorkArea&) = delete;
};

const fs::path& WorkDir() {
  static const WorkArea area;
  return area.dir;
}

// A file holding `rows` rows, the header row included, made once.
const fs::path& Template(std::uint32_t rows) {
  static std::map<std::uint32_t, fs::path> made;
  auto it = made.find(rows);
  if (it == made.end()) {
    const fs::path path = WorkDir() / ("template-" + std::to_string(rows) + ".xls");
    OpenResult created = SheetFile::Create(path.string(), kColumns, Options(false));
    for (std::uint32_t n = 1; created.file && n < rows; ++n) {
      (void)created.file->Append(RealTimeRow());
    }
    if (created.file) {
      (void)created.file->Close();
    }
    it = made.emplace(rows, path).first;
  }
  return it->second;
}

// Seconds for appending `count` rows to a fresh copy of Template(first).
double TimeBatch(benchmark::State& state, std::uint32_t first, bool flush, int count) {
  const fs::path work = WorkDir() / "work.xls";
  fs::copy_file(Template(first), work, fs::copy_options::overwrite_existing);
  // The copy must be on the disk before timing starts: otherwise the first
  // flush of an append writes the whole copy and is charged to that row.
  const int fd = ::open(work.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  OpenResult opened = SheetFile::Open(work.string(), kColumns, Options(flush));
  if (opened.kind != OpenKind::kOpened) {
    state.SkipWithError(opened.text.c_str());
    return 0;
  }
  const Row row = RealTimeRow();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) {
    if (!opened.file->Append(row).ok()) {
      state.SkipWithError("append failed");
      break;
    }
  }
  const auto stop = std::chrono::steady_clock::now();
  (void)opened.file->Close();
  return std::chrono::duration<double>(stop - start).count();
}

void BM_AppendBatch(benchmark::State& state) {
  const auto first = static_cast<std::uint32_t>(state.range(0));
  const bool flush = state.range(1) != 0;
  const auto count = static_cast<int>(state.range(2));
  for (auto _ : state) {
    state.SetIterationTime(TimeBatch(state, first, flush, count));
  }
  state.counters["per_row"] = benchmark::Counter(
      static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AppendBatch)
    ->ArgNames({"first_row", "flush", "rows"})
    ->Args({100, 0, 1000})
    ->Args({60000, 0, 1000})
    ->Args({100, 1, 100})
    ->Args({60000, 1, 100})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_LateToEarlyRatio(benchmark::State& state) {
  const bool flush = state.range(0) != 0;
  const int count = flush ? 100 : 1000;
  double early = 0;
  double late = 0;
  for (auto _ : state) {
    const double e = TimeBatch(state, 100, flush, count);
    const double l = TimeBatch(state, 60000, flush, count);
    early += e;
    late += l;
    state.SetIterationTime(e + l);
  }
  const double rows = static_cast<double>(count) * static_cast<double>(state.iterations());
  state.counters["at_100"] = early / rows;
  state.counters["at_60000"] = late / rows;
  state.counters["ratio"] = early > 0 ? late / early : 0;
}
BENCHMARK(BM_LateToEarlyRatio)->ArgNames({"flush"})->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_RowsPerSecond(benchmark::State& state) {
  const bool flush = state.range(0) != 0;
  const int count = flush ? 500 : 20000;
  const fs::path work = WorkDir() / "rate.xls";
  for (auto _ : state) {
    fs::remove(work);
    OpenResult created = SheetFile::Create(work.string(), kColumns, Options(flush));
    if (created.kind != OpenKind::kOpened) {
      state.SkipWithError(created.text.c_str());
      break;
    }
    const Row row = RealTimeRow();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
      if (!created.file->Append(row).ok()) {
        state.SkipWithError("append failed");
        break;
      }
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    (void)created.file->Close();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * count);
}
BENCHMARK(BM_RowsPerSecond)->ArgNames({"flush"})->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
