// Reading back a workbook stream that this writer made: recognising it, its
// columns, and how many whole rows it holds.
#pragma once

#include <cstdint>
#include <string>

#include "storage/xls/cell.h"
#include "storage/xls/stream_io.h"

namespace quorvel::xls {

struct SheetScan {
  enum class Kind {
    kOurs,          // our layout and the expected columns
    kForeign,       // written by something else
    kOtherColumns,  // ours, with another header row
    kDamaged,       // ours, but the part before the rows is broken
    kIoError,
  };
  Kind kind = Kind::kOurs;
  std::string detail;    // why it is not kOurs
  Columns file_columns;  // the header row found, for kOtherColumns

  std::uint32_t rows = 0;      // whole rows, the header row included
  std::uint64_t rows_end = 0;  // stream offset just past the last whole row
  // The tail, DIMENSIONS and the slack are exactly what an append leaves.
  bool clean = false;
  // Non-zero bytes after the tail, if any: [dirty_begin, dirty_end).
  std::uint64_t dirty_begin = 0;
  std::uint64_t dirty_end = 0;
};

// Walks the rows and stops at the first that is not whole and valid (a torn
// or half-written row ends the sheet there).
SheetScan ScanSheet(StreamWindow& stream, const Columns& columns);

}  // namespace quorvel::xls
