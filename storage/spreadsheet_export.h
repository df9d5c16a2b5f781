// Readings and month histories saved as spreadsheet workbooks, one
// real-time file and one month file per slot:
//   <File>Com3RealTimeData.xls   UPTime, Voltage, Current, Power, PowerFactor
//   <File>Com3MonthData.xls      Month, 1days .. 31days
// Saving is switched on and off for the whole program; each slot keeps its
// file open between rows, and one slot's failing file never stops another's.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "model/device_record.h"
#include "model/notifier.h"
#include "storage/xls/sheet_log.h"

namespace quorvel {

inline constexpr std::array<const char*, 12> kMonthNames = {"Jan",  "Feb", "Mar", "April", "May", "June",
                                                            "July", "Aug", "Sept", "Oct",  "Nov", "Dec"};

std::string RealTimeFileName(const std::string& folder_prefix, int slot);
std::string MonthFileName(const std::string& folder_prefix, int slot);

// The real-time row of a record: the time text, then the readings as the
// dashboard shows them (230.4, not 230.39999).
xls::Row RealTimeRow(const std::string& time_text, const DeviceRecord& record);
// A month row: the month's name, its days, and empty cells for the days it
// lacks.
xls::Row MonthRow(int month, const HistoryTable& history);

// "2009-03-07 14:05:09" of the computer's local time.
std::string LocalTimeText();

class SpreadsheetExport {
 public:
  explicit SpreadsheetExport(Notifier& notifier, xls::WriterOptions options = {});
  ~SpreadsheetExport();

  // The writer needs nothing installed: always available.
  static bool WriterAvailable() { return true; }

  // on = false stops saving. on = true creates the slot's real-time file if
  // needed; if that fails the user is told and saving stays as it was.
  // Always returns true.
  bool SetSaving(int slot, bool on, const std::string& folder_prefix);
  bool SavingActive() const { return saving_active_; }

  // Appends one row for the slot; true once it is committed. Errors are
  // told, once for each cause until a row succeeds again, and the next row
  // tries again.
  bool AppendRealTimeRow(int slot, const DeviceRecord& record, const std::string& folder_prefix);

  // Adds one row for month 1..12 to the slot's month file. False when
  // nothing was written; LastError() then says why (nothing is told).
  bool SaveMonthData(int slot, int month, const HistoryTable& history, const std::string& folder_prefix);
  const std::string& LastError() const { return last_error_; }

  // The slot's last committed real-time row and the file it went to (a
  // continuation file once the first is full).
  const xls::Row& LastRow(int slot) const { return slots_.at(SlotIndex(slot)).last_row; }
  const std::string& LastRowPath(int slot) const { return slots_.at(SlotIndex(slot)).last_row_path; }

  // Closes every slot's file (at exit).
  void CloseAll();

  // Applies to files opened from now on.
  void SetWriterOptions(const xls::WriterOptions& options) { options_ = options; }

  // For tests: the time text of the rows.
  void SetClock(std::function<std::string()> clock) { clock_ = std::move(clock); }

 private:
  struct SlotFile {
    std::unique_ptr<xls::SheetLog> log;
    std::string base_path;
    std::string last_error;  // told once until a row succeeds
    xls::Row last_row;
    std::string last_row_path;
  };
  SlotFile& LogFor(int slot, const std::string& folder_prefix);
  void Tell(const std::string& text);

  Notifier& notifier_;
  xls::WriterOptions options_;
  std::array<SlotFile, kSlotCount> slots_;
  bool saving_active_ = false;
  std::string last_error_;
  std::function<std::string()> clock_ = LocalTimeText;
};

}  // namespace quorvel
