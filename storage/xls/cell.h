// What one spreadsheet row holds, as the layers above hand it over.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace quorvel::xls {

// A cell: empty (written as a BLANK cell), a number, or UTF-8 text.
// Numbers that are not finite have no place in the format, and empty text is
// refused by some readers: both are written as empty cells. Text is cut to
// 255 UTF-16 units, the most a cell holds; malformed UTF-8 becomes U+FFFD.
using Cell = std::variant<std::monostate, double, std::string>;
using Row = std::vector<Cell>;
using Columns = std::vector<std::string>;

// Rows of one sheet, the header row included: the format's limit.
inline constexpr std::uint32_t kMaxRows = 65536;
// Columns of one sheet: the format's limit.
inline constexpr std::size_t kMaxColumns = 256;
// UTF-16 units of one text cell.
inline constexpr std::size_t kMaxTextUnits = 255;

// Whether each committed row is forced to the disk before Append returns.
// kNone keeps rows safe from a killed process (the page cache survives it)
// but not from a power cut; it exists for measurements and bulk tests.
enum class FlushPolicy { kEveryRow, kNone };

}  // namespace quorvel::xls
