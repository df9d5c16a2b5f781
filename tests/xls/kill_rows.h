// The rows the kill driver writes: row n is a function of n alone, so the
// test can tell which rows a file must hold.
#pragma once

#include <cstdint>
#include <string>

#include "storage/xls/cell.h"

namespace quorvel::xls::test {

inline Columns KillColumns() { return {"Counter", "Label", "Share", "Note"}; }

inline Row KillRow(std::uint64_t n) {
  // The label's length varies so rows end at every offset within a sector.
  std::string label = "row " + std::to_string(n) + std::string(n % 23, '.');
  Row row{static_cast<double>(n), std::move(label), static_cast<double>(n) * 0.01, std::monostate{}};
  if (n % 4 != 0) {
    row[3] = -static_cast<double>(n) / 3.0;
  }
  return row;
}

}  // namespace quorvel::xls::test
