// Readings and month histories saved as spreadsheet workbooks, one
// real-time file and one month file per slot:
//   <File>Com3RealTimeData.xls   UPTime, then the readings the table of
//                                reading fields puts in the sheet (Voltage,
//                                Current, Power, PowerFactor)
//   <File>Com3MonthData.xls      Month, 1days .. 31days
// Saving is switched on and off for the whole program; each slot keeps its
// file open between rows, and one slot's failing file never stops another's.
// Rows come from the reading stream (LogReading), which tells the user of a
// failing row once per cause.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "device/reading_stream.h"
#include "model/device_record.h"
#include "model/notifier.h"
#include "model/status.h"
#include "storage/xls/sheet_log.h"

namespace quorvel {

inline constexpr std::array<const char*, 12> kMonthNames = {"Jan",  "Feb", "Mar",  "April", "May", "June",
                                                            "July", "Aug", "Sept", "Oct",   "Nov", "Dec"};

std::string RealTimeFileName(const std::string& folder_prefix, int slot);
std::string MonthFileName(const std::string& folder_prefix, int slot);

// The headings of a real-time file: UPTime, then the sheet's readings.
const xls::Columns& RealTimeColumns();
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

  // on = false stops saving. on = true creates the slot's real-time file if
  // needed; if that fails the user is told and saving stays as it was.
  void SetSaving(int slot, bool on, const std::string& folder_prefix);
  bool SavingActive() const { return saving_active_; }

  // Appends one row for the slot; ok once it is committed. The next row
  // tries again after a failure. Notices of the file (a foreign file passed
  // over, a continuation file begun) are told here.
  Status AppendRealTimeRow(int slot, const DeviceRecord& record, const std::string& folder_prefix);

  // The spreadsheet's consumer of the reading stream: a reading the
  // presenter marked for a row goes to its slot's file; a failure's text is
  // "error " and the cause.
  Result<Consumed> LogReading(const Reading& reading, const std::string& folder_prefix);

  // Adds one row for month 1..12 to the slot's month file; the failure says
  // why nothing was written (nothing is told).
  Status SaveMonthData(int slot, int month, const HistoryTable& history, const std::string& folder_prefix);

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
    xls::Row last_row;
    std::string last_row_path;
  };
  SlotFile& LogFor(int slot, const std::string& folder_prefix);
  void Tell(const std::string& text);

  Notifier& notifier_;
  xls::WriterOptions options_;
  std::array<SlotFile, kSlotCount> slots_;
  bool saving_active_ = false;
  std::function<std::string()> clock_ = LocalTimeText;
};

}  // namespace quorvel
