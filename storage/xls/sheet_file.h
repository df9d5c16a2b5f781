// One workbook file with one sheet, kept open while rows are added to it.
//
// An append writes the new row over the sheet's closing records and puts them
// back after it, inside zero-filled room kept at the end of the stream, so it
// costs the same at every row and never rewrites the file. The writes are
// ordered so that a process killed at any moment leaves a file that every
// reader opens, holding every row committed before: the new row is written
// behind the closing records and flushed, then the row count in DIMENSIONS is
// raised and a single write of at most 30 bytes inside one sector swaps the
// closing records for the start of the row, and that is flushed. Opening a
// file walks its rows and cleans up after an append that was cut off.
//
// What a reader may see of the row in flight: nothing, or all of it; between
// the count and the swap (two writes with nothing in between) libfreexl
// shows it as an empty row. A power cut during the last flush may leave the
// swap on the disk without the count; libfreexl then refuses the sheet (the
// other readers do not mind) until the file is opened here again.
//
// An open file holds an advisory lock against a second writer. One thread
// at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "storage/xls/cell.h"
#include "storage/xls/compound_file.h"
#include "storage/xls/file_io.h"
#include "storage/xls/status.h"

namespace quorvel::xls {

enum class OpenKind {
  kOpened,
  kMissing,       // no file of that name (Open)
  kExists,        // a file of that name appeared meanwhile (Create)
  kForeign,       // not a file of ours: left untouched
  kOtherColumns,  // ours, with another header row: left untouched
  kDamaged,       // ours, broken before its rows: left untouched
  kFailed,        // the system refused an operation
};

struct WriterOptions {
  FlushPolicy flush = FlushPolicy::kEveryRow;
  // Rows per file, the header row included; at most kMaxRows. Lower values
  // exist to exercise the limit without writing 65 536 rows.
  std::uint32_t row_limit = kMaxRows;
  // The room at the end of the stream grows by the stream's own size, at
  // most by this much at once (and at least by what the next row needs).
  std::uint32_t max_growth_bytes = 1u << 20;
};

struct OpenResult;

class SheetFile {
 public:
  // Opens an existing file of ours with these columns and repairs its end.
  static OpenResult Open(const std::string& path, const Columns& columns, const WriterOptions& options = {});
  // Makes a new file holding the header row. The file appears complete or
  // not at all; an existing file is never replaced.
  static OpenResult Create(const std::string& path, const Columns& columns, const WriterOptions& options = {});

  SheetFile(SheetFile&&) noexcept = default;
  SheetFile& operator=(SheetFile&&) noexcept = default;
  SheetFile(const SheetFile&) = delete;
  SheetFile& operator=(const SheetFile&) = delete;
  ~SheetFile() = default;

  // Adds one row (one cell per column). On failure nothing already committed
  // changes and the same row may be tried again. kFull once row_limit is reached.
  Status Append(const Row& row);
  Status Close();

  // Rows in the sheet, the header row included.
  std::uint32_t row_count() const { return rows_; }
  bool full() const { return rows_ >= options_.row_limit; }
  const std::string& path() const { return path_; }

 private:
  SheetFile(std::string path, std::size_t width, const WriterOptions& options, File file, CompoundLayout layout);

  Status Grow(std::uint64_t needed_stream_size);
  IoResult WriteGrowth(const CompoundLayout& next);
  Status Repair(std::uint64_t rows_end, std::uint64_t dirty_begin, std::uint64_t dirty_end);
  IoResult Sync();
  void RestoreRowCount();
  Status WriteFailure(const IoResult& io) const;

  std::string path_;
  std::size_t width_ = 0;
  WriterOptions options_;
  File file_;
  CompoundLayout layout_;
  std::uint32_t rows_ = 0;
  std::uint64_t tail_at_ = 0;    // stream offset of the WINDOW2 record
  std::uint64_t dirty_end_ = 0;  // stream bytes from here on are zero
};

struct OpenResult {
  OpenKind kind = OpenKind::kFailed;
  // Unless kOpened: a sentence naming the file, e.g. "cannot open /x/a.xls:
  // Permission denied" or "/x/a.xls was not written by this program".
  std::string text;
  std::optional<SheetFile> file;  // set when kOpened
  // Opening cleaned up after an interrupted append or a damaged end.
  bool repaired = false;
};

}  // namespace quorvel::xls
