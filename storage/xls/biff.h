// BIFF8 records of a one-sheet workbook. The stream is laid out as
//
//   globals | sheet BOF | DIMENSIONS | header row | data rows | tail | zeros
//
// where a row is a ROW record and then one cell record per column (LABEL,
// NUMBER or BLANK) in column order, and the tail is WINDOW2 + EOF. Rows are added by writing over
// the tail; the zeros ("slack") leave room for that without touching the
// compound file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "storage/xls/cell.h"
#include "storage/xls/le_bytes.h"

namespace quorvel::xls {

inline constexpr std::uint16_t kRecBof = 0x0809;
inline constexpr std::uint16_t kRecEof = 0x000A;
inline constexpr std::uint16_t kRecDimensions = 0x0200;
inline constexpr std::uint16_t kRecWindow2 = 0x023E;
inline constexpr std::uint16_t kRecBlank = 0x0201;
inline constexpr std::uint16_t kRecNumber = 0x0203;
inline constexpr std::uint16_t kRecLabel = 0x0204;
inline constexpr std::uint16_t kRecRow = 0x0208;
// DBCELL, an index record every reader skips; used only to pad (see PutTail).
inline constexpr std::uint16_t kRecFiller = 0x00D7;

inline constexpr std::uint16_t kCellXf = 15;
inline constexpr std::size_t kRecordHeaderBytes = 4;
inline constexpr std::size_t kMaxRecordBody = 8224;

inline constexpr char kSheetName[] = "PowerMeterData";

// WINDOW2 + EOF.
inline constexpr std::size_t kTailBytes = 22 + 4;
// The bytes an append changes last: the old tail and the zeros after it
// (a reader stops on a non-zero record header straight after the EOF).
inline constexpr std::size_t kCommitBytes = kTailBytes + 4;

// Workbook globals, with the sheet's BOF at the offset just past them.
const Bytes& GlobalsRecords();

inline std::uint64_t SheetBofOffset() { return GlobalsRecords().size(); }
// The DIMENSIONS record follows the sheet BOF (4 + 16 bytes).
inline std::uint64_t DimensionsOffset() { return SheetBofOffset() + 20; }
// Its "last row + 1" field, the one value an append patches outside the tail.
inline std::uint64_t DimensionsRowEndOffset() { return DimensionsOffset() + 8; }
inline std::uint64_t FirstRowOffset() { return DimensionsOffset() + 18; }

void PutSheetBof(Bytes& out);
void PutDimensions(Bytes& out, std::uint32_t row_end, std::uint16_t column_end);

// The records of one row: its ROW record and its cells. Text is cut to
// kMaxTextUnits; empty text and numbers that are not finite are written as
// BLANK.
void PutRow(Bytes& out, std::uint16_t row, const Row& cells);
void PutHeaderRow(Bytes& out, const Columns& columns);

inline constexpr std::size_t kRowRecordBytes = 20;

// The ROW record that opens a row whose cell records are `cells`. Readers
// take the row's height and column range from it; its field that readers
// must ignore holds a checksum of the cells, which tells a whole row from
// one whose bytes only partly reached the disk.
void PutRowRecord(Bytes& out, std::uint16_t row, std::uint16_t width, ByteView cells);

// Bytes of filler that go before a tail placed at stream offset `at`.
std::size_t FillerBytesAt(std::uint64_t at);

// The tail for stream offset `at`: filler when needed, then WINDOW2 and EOF.
// The filler keeps every tail's commit range (kCommitBytes) inside one
// 512-byte sector, so that the range is written by a single write of a single
// sector: a partial commit cannot occur.
void PutTail(Bytes& out, std::uint64_t at);

}  // namespace quorvel::xls
