#include "storage/xls/sheet_scan.h"

#include <algorithm>

#include "storage/xls/biff.h"
#include "storage/xls/text_codec.h"

namespace quorvel::xls {
namespace {

using Kind = SheetScan::Kind;

SheetScan Result(Kind kind, std::string detail) {
  SheetScan scan;
  scan.kind = kind;
  scan.detail = std::move(detail);
  return scan;
}

bool Matches(StreamWindow& stream, std::uint64_t at, const Bytes& expected) {
  const std::uint8_t* p = stream.Get(at, expected.size());
  return p != nullptr && std::equal(expected.begin(), expected.end(), p);
}

// Size of the cell record of (row, col) at `at`, or 0 when there is none.
std::size_t CellRecordAt(StreamWindow& stream, std::uint64_t at, std::uint16_t row, std::uint16_t col) {
  const std::uint8_t* h = stream.Get(at, kRecordHeaderBytes + 6);
  if (h == nullptr) {
    return 0;
  }
  const std::uint16_t type = GetU16(h);
  const std::size_t body = GetU16(h + 2);
  if (GetU16(h + 4) != row || GetU16(h + 6) != col || GetU16(h + 8) != kCellXf) {
    return 0;
  }
  switch (type) {
    case kRecBlank:
      return body == 6 ? kRecordHeaderBytes + body : 0;
    case kRecNumber:
      return body == 14 && stream.Get(at, kRecordHeaderBytes + body) != nullptr ? kRecordHeaderBytes + body : 0;
    case kRecLabel: {
      const std::uint8_t* p = stream.Get(at, kRecordHeaderBytes + 9);
      if (p == nullptr) {
        return 0;
      }
      const std::size_t units = GetU16(p + 10);
      const std::uint8_t flags = p[12];
      if (units > kMaxTextUnits || flags > 1 || body != 9 + units * (flags + 1u)) {
        return 0;
      }
      return stream.Get(at, kRecordHeaderBytes + body) != nullptr ? kRecordHeaderBytes + body : 0;
    }
    default:
      return 0;
  }
}

// Size of a whole row `row` of `width` cells at `at`, or 0.
std::size_t RowAt(StreamWindow& stream, std::uint64_t at, std::uint16_t row, std::size_t width) {
  std::uint64_t p = at + kRowRecordBytes;
  for (std::size_t col = 0; col < width; ++col) {
    const std::size_t n = CellRecordAt(stream, p, row, static_cast<std::uint16_t>(col));
    if (n == 0) {
      return 0;
    }
    p += n;
  }
  const std::size_t size = static_cast<std::size_t>(p - at);
  const std::uint8_t* bytes = stream.Get(at, size);
  if (bytes == nullptr) {
    return 0;
  }
  Bytes expected;
  PutRowRecord(expected, row, static_cast<std::uint16_t>(width),
               ByteView(bytes + kRowRecordBytes, size - kRowRecordBytes));
  return std::equal(expected.begin(), expected.end(), bytes) ? size : 0;
}

// Skips the filler that belongs after a row ending at `end`; false when the
// expected filler is not there.
bool SkipFiller(StreamWindow& stream, std::uint64_t end, std::uint64_t* next) {
  const std::size_t filler = FillerBytesAt(end);
  *next = end;
  if (filler == 0) {
    return true;
  }
  Bytes expected;
  PutU16(expected, kRecFiller);
  PutU16(expected, static_cast<std::uint16_t>(filler - kRecordHeaderBytes));
  PutZeros(expected, filler - kRecordHeaderBytes);
  if (!Matches(stream, end, expected)) {
    return false;
  }
  *next = end + filler;
  return true;
}

// The header row of a file of ours with other columns: LABEL cells of row 0.
Columns ReadHeaderNames(StreamWindow& stream, std::uint64_t at) {
  Columns names;
  if (const std::uint8_t* h = stream.Get(at, kRecordHeaderBytes); h != nullptr && GetU16(h) == kRecRow) {
    at += kRowRecordBytes;
  }
  for (std::uint16_t col = 0; names.size() < kMaxColumns; ++col) {
    const std::uint8_t* h = stream.Get(at, kRecordHeaderBytes);
    if (h == nullptr || (GetU16(h) != kRecLabel && GetU16(h) != kRecBlank)) {
      break;
    }
    const std::size_t n = CellRecordAt(stream, at, 0, col);
    if (n == 0) {
      break;
    }
    const std::uint8_t* p = stream.Get(at, n);
    if (GetU16(p) == kRecBlank) {
      names.emplace_back();
      at += n;
      continue;
    }
    const std::size_t units = GetU16(p + 10);
    std::u16string text;
    for (std::size_t i = 0; i < units; ++i) {
      text.push_back(p[12] == 0 ? static_cast<char16_t>(p[13 + i]) : static_cast<char16_t>(GetU16(p + 13 + 2 * i)));
    }
    names.push_back(Utf16ToUtf8(text));
    at += n;
  }
  return names;
}

}  // namespace

SheetScan ScanSheet(StreamWindow& stream, const Columns& columns) {
  Bytes head = GlobalsRecords();
  PutSheetBof(head);
  if (!Matches(stream, 0, head)) {
    if (!stream.error().ok()) {
      return Result(Kind::kIoError, stream.error().text);
    }
    return Result(Kind::kForeign, "was not written by this program");
  }
  const std::uint8_t* dims = stream.Get(DimensionsOffset(), 18);
  if (dims == nullptr || GetU16(dims) != kRecDimensions || GetU16(dims + 2) != 14) {
    return Result(stream.error().ok() ? Kind::kDamaged : Kind::kIoError,
                  stream.error().ok() ? "its sheet header is broken" : stream.error().text);
  }
  Bytes header_row;
  PutHeaderRow(header_row, columns);
  if (!Matches(stream, FirstRowOffset(), header_row)) {
    if (!stream.error().ok()) {
      return Result(Kind::kIoError, stream.error().text);
    }
    SheetScan scan = Result(Kind::kDamaged, "its header row is broken");
    scan.file_columns = ReadHeaderNames(stream, FirstRowOffset());
    if (!scan.file_columns.empty()) {
      scan.kind = Kind::kOtherColumns;
      scan.detail = "has other columns";
    }
    return scan;
  }

  SheetScan scan;
  scan.rows = 1;
  scan.rows_end = FirstRowOffset() + header_row.size();
  std::uint64_t at = 0;
  while (scan.rows < kMaxRows && SkipFiller(stream, scan.rows_end, &at)) {
    const std::size_t n = RowAt(stream, at, static_cast<std::uint16_t>(scan.rows), columns.size());
    if (n == 0) {
      break;
    }
    ++scan.rows;
    scan.rows_end = at + n;
  }
  if (!stream.error().ok()) {
    return Result(Kind::kIoError, stream.error().text);
  }

  Bytes expected_dims;
  PutDimensions(expected_dims, scan.rows, static_cast<std::uint16_t>(columns.size()));
  Bytes tail;
  PutTail(tail, scan.rows_end);
  PutZeros(tail, kCommitBytes - kTailBytes);
  const bool tail_ok = Matches(stream, scan.rows_end, tail);
  const bool dims_ok = Matches(stream, DimensionsOffset(), expected_dims);

  // Non-zero bytes in the slack: left by an append that failed or was cut off.
  const std::uint64_t slack = scan.rows_end + tail.size();
  scan.dirty_begin = scan.dirty_end = slack;
  for (std::uint64_t at_block = slack; at_block < stream.size();) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(stream.size() - at_block, 64 * 1024));
    const std::uint8_t* p = stream.Get(at_block, n);
    if (p == nullptr) {
      return Result(Kind::kIoError, stream.error().text);
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (p[i] != 0) {
        if (scan.dirty_end == slack) {
          scan.dirty_begin = at_block + i;
        }
        scan.dirty_end = at_block + i + 1;
      }
    }
    at_block += n;
  }
  scan.clean = tail_ok && dims_ok && scan.dirty_end == slack;
  return scan;
}

}  // namespace quorvel::xls
