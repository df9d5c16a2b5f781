// A log of rows into one workbook name, continued in numbered files when the
// first cannot take more: "Com3RealTimeData.xls", then
// "Com3RealTimeData_2.xls", "Com3RealTimeData_3.xls", ...
//
// A file is passed over when it is full (65 536 rows), when another program
// wrote it, when its columns differ, or when it is damaged before its rows;
// a file passed over is never modified. The caller hears about each file
// passed over once per log, through the notices of the append that first
// finds it.
//
// Like SheetFile, a log is used by one thread at a time.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "storage/xls/cell.h"
#include "storage/xls/sheet_file.h"
#include "storage/xls/status.h"

namespace quorvel::xls {

struct AppendResult {
  Status status;
  // Sentences for the user, each said once: which file was passed over, why,
  // and where the rows go instead.
  std::vector<std::string> notices;
};

// The name of continuation file n (n >= 2) of `base`: "_n" goes before the
// extension of the last path component. n = 1 gives `base`.
std::string ContinuationPath(const std::string& base, unsigned n);

class SheetLog {
 public:
  SheetLog(std::string base_path, Columns columns, WriterOptions options = {});

  // Opens (or creates) the file on first use and keeps it open.
  AppendResult Append(const Row& row);
  Status Close();

  // The file rows go to; empty before the first append.
  const std::string& current_path() const { return current_path_; }

 private:
  struct PassedOver;
  // Finds the first file from continuation number `first` on that takes rows;
  // `passed` lists files already passed over on the way.
  Status OpenFrom(unsigned first, std::vector<std::string>* notices, std::vector<PassedOver> passed = {});

  std::string base_;
  Columns columns_;
  WriterOptions options_;
  std::optional<SheetFile> file_;
  unsigned index_ = 1;
  std::string current_path_;
  std::set<std::string> told_;
};

// Adds one row to `path`, creating it with `columns` when missing; continues
// in a numbered file like SheetLog. For one-off rows such as a month export.
AppendResult AppendRowToFile(const std::string& path, const Columns& columns, const Row& row,
                             WriterOptions options = {});

}  // namespace quorvel::xls
