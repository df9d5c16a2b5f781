#include "storage/xls/biff.h"

#include <cmath>
#include <string_view>

#include "storage/xls/compound_file.h"
#include "storage/xls/text_codec.h"

namespace quorvel::xls {
namespace {

void PutRecordHeader(Bytes& out, std::uint16_t type, std::size_t body) {
  PutU16(out, type);
  PutU16(out, static_cast<std::uint16_t>(body));
}

void PutBof(Bytes& out, std::uint16_t kind) {
  PutRecordHeader(out, kRecBof, 16);
  PutU16(out, 0x0600);  // BIFF8
  PutU16(out, kind);
  PutU16(out, 0x0DBB);  // build and year of the Excel 97 release
  PutU16(out, 0x07CC);
  PutU32(out, 0);
  PutU32(out, 6);  // lowest BIFF version that can read the file
}

void PutFont(Bytes& out) {
  constexpr std::string_view kName = "Arial";
  PutRecordHeader(out, 0x0031, 16 + kName.size());
  PutU16(out, 200);  // 10 points, in twips
  PutU16(out, 0);
  PutU16(out, 0x7FFF);  // automatic colour
  PutU16(out, 400);     // normal weight
  PutU16(out, 0);
  PutU8(out, 0);
  PutU8(out, 0);
  PutU8(out, 0);
  PutU8(out, 0);
  PutU8(out, static_cast<std::uint8_t>(kName.size()));
  PutU8(out, 0);
  for (const char c : kName) {
    PutU8(out, static_cast<std::uint8_t>(c));
  }
}

void PutXf(Bytes& out, bool style) {
  PutRecordHeader(out, 0x00E0, 20);
  PutU16(out, 0);                        // font 0
  PutU16(out, 0);                        // number format "General"
  PutU16(out, style ? 0xFFF5 : 0x0001);  // locked; style XFs have no parent
  PutU8(out, 0x20);                      // bottom aligned
  PutU8(out, 0);
  PutU8(out, 0);
  PutU8(out, style ? 0xF4 : 0x00);
  PutU32(out, 0);
  PutU32(out, 0);
  PutU16(out, 0x20C0);  // automatic pattern colours
}

Bytes BuildGlobals() {
  Bytes out;
  PutBof(out, 0x0005);
  PutRecordHeader(out, 0x0042, 2);  // CODEPAGE: UTF-16
  PutU16(out, 1200);
  PutRecordHeader(out, 0x003D, 18);  // WINDOW1
  PutU16(out, 0);
  PutU16(out, 0);
  PutU16(out, 0x3A98);
  PutU16(out, 0x2328);
  PutU16(out, 0x0038);
  PutU16(out, 0);
  PutU16(out, 0);
  PutU16(out, 1);
  PutU16(out, 0x0258);
  for (int i = 0; i < 5; ++i) {
    PutFont(out);
  }
  for (std::uint16_t i = 0; i < kCellXf; ++i) {
    PutXf(out, true);
  }
  PutXf(out, false);
  PutRecordHeader(out, 0x0293, 4);  // STYLE: built-in "Normal" on XF 0
  PutU16(out, 0x8000);
  PutU8(out, 0);
  PutU8(out, 0xFF);
  constexpr std::string_view kName = kSheetName;
  PutRecordHeader(out, 0x0085, 8 + kName.size());  // BOUNDSHEET
  const std::size_t offset_at = out.size();
  PutU32(out, 0);
  PutU8(out, 0);  // visible
  PutU8(out, 0);  // worksheet
  PutU8(out, static_cast<std::uint8_t>(kName.size()));
  PutU8(out, 0);
  for (const char c : kName) {
    PutU8(out, static_cast<std::uint8_t>(c));
  }
  PutRecordHeader(out, kRecEof, 0);
  SetU32(out, offset_at, static_cast<std::uint32_t>(out.size()));
  return out;
}

void PutCellHeader(Bytes& out, std::uint16_t type, std::size_t body, std::uint16_t row, std::uint16_t col) {
  PutRecordHeader(out, type, body);
  PutU16(out, row);
  PutU16(out, col);
  PutU16(out, kCellXf);
}

void PutLabel(Bytes& out, std::uint16_t row, std::uint16_t col, const std::string& text) {
  const std::u16string units = Utf8ToUtf16(text, kMaxTextUnits);
  if (units.empty()) {
    // libfreexl rejects the whole sheet over a text cell of no characters.
    PutCellHeader(out, kRecBlank, 6, row, col);
    return;
  }
  PutCellHeader(out, kRecLabel, 8 + BiffCharsSize(units), row, col);
  PutU16(out, static_cast<std::uint16_t>(units.size()));
  PutBiffChars(out, units);
}

}  // namespace

const Bytes& GlobalsRecords() {
  static const Bytes globals = BuildGlobals();
  return globals;
}

void PutSheetBof(Bytes& out) { PutBof(out, 0x0010); }

void PutDimensions(Bytes& out, std::uint32_t row_end, std::uint16_t column_end) {
  PutRecordHeader(out, kRecDimensions, 14);
  PutU32(out, 0);
  PutU32(out, row_end);
  PutU16(out, 0);
  PutU16(out, column_end);
  PutU16(out, 0);
}

void PutRow(Bytes& out, std::uint16_t row, const Row& cells) {
  Bytes records;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const auto col = static_cast<std::uint16_t>(i);
    const Cell& cell = cells[i];
    if (const auto* text = std::get_if<std::string>(&cell)) {
      PutLabel(records, row, col, *text);
    } else if (const auto* number = std::get_if<double>(&cell); number != nullptr && std::isfinite(*number)) {
      PutCellHeader(records, kRecNumber, 14, row, col);
      PutF64(records, *number);
    } else {
      PutCellHeader(records, kRecBlank, 6, row, col);
    }
  }
  PutRowRecord(out, row, static_cast<std::uint16_t>(cells.size()), records);
  out.insert(out.end(), records.begin(), records.end());
}

void PutHeaderRow(Bytes& out, const Columns& columns) {
  Row names;
  for (const std::string& name : columns) {
    names.emplace_back(name);
  }
  PutRow(out, 0, names);
}

void PutRowRecord(Bytes& out, std::uint16_t row, std::uint16_t width, ByteView cells) {
  // FNV-1a over the row number and the cells, folded to 16 bits.
  std::uint32_t hash = 2166136261u;
  const auto mix = [&hash](std::uint8_t b) { hash = (hash ^ b) * 16777619u; };
  mix(static_cast<std::uint8_t>(row & 0xFFu));
  mix(static_cast<std::uint8_t>(row >> 8));
  for (const std::uint8_t b : cells) {
    mix(b);
  }
  PutRecordHeader(out, kRecRow, 16);
  PutU16(out, row);
  PutU16(out, 0);       // first column
  PutU16(out, width);   // last column + 1
  PutU16(out, 0x00FF);  // the default height, 12.75 points
  PutU16(out, 0);
  PutU16(out, static_cast<std::uint16_t>((hash >> 16) ^ (hash & 0xFFFFu)));
  PutU16(out, 0x0100);  // flags: only the bit that is always set
  PutU16(out, kCellXf);
}

std::size_t FillerBytesAt(std::uint64_t at) {
  const std::uint64_t in_sector = at % kSectorSize;
  if (in_sector + kCommitBytes <= kSectorSize) {
    return 0;
  }
  // The smallest filler (a header and an empty index) is 8 bytes; its body
  // grows in 2-byte steps.
  std::size_t size = static_cast<std::size_t>(kSectorSize - in_sector);
  size = size < 8 ? 8 : size + (size & 1u);
  return size;
}

void PutTail(Bytes& out, std::uint64_t at) {
  const std::size_t filler = FillerBytesAt(at);
  if (filler > 0) {
    PutRecordHeader(out, kRecFiller, filler - kRecordHeaderBytes);
    PutZeros(out, filler - kRecordHeaderBytes);
  }
  PutRecordHeader(out, kRecWindow2, 18);
  PutU16(out, 0x06B6);  // grid, headers, zeros, outline symbols; selected sheet
  PutU16(out, 0);       // top row
  PutU16(out, 0);       // left column
  PutU16(out, 0x0040);  // automatic grid colour
  PutU16(out, 0);
  PutU16(out, 0);
  PutU16(out, 0);
  PutU32(out, 0);
  PutRecordHeader(out, kRecEof, 0);
}

}  // namespace quorvel::xls
