#include "storage/spreadsheet_export.h"

#include <cstdio>
#include <filesystem>

#include <algorithm>
#include <vector>

#include "model/local_clock.h"
#include "model/month_lengths.h"
#include "model/reading_fields.h"
#include "protocol/number_text.h"

namespace quorvel {
namespace {

// The fields the sheet holds, in the order of their columns.
const std::vector<const ReadingFieldRow*>& SheetFields() {
  static const std::vector<const ReadingFieldRow*> fields = [] {
    std::vector<const ReadingFieldRow*> in_sheet;
    for (const ReadingFieldRow& entry : kReadingFields) {
      if (entry.sheet_column > 0) in_sheet.push_back(&entry);
    }
    std::sort(in_sheet.begin(), in_sheet.end(),
              [](const ReadingFieldRow* a, const ReadingFieldRow* b) { return a->sheet_column < b->sheet_column; });
    return in_sheet;
  }();
  return fields;
}

const xls::Columns& MonthColumns() {
  static const xls::Columns columns = [] {
    xls::Columns c{"Month"};
    for (int day = 1; day <= kDaysPerMonthRow; ++day) c.push_back(std::to_string(day) + "days");
    return c;
  }();
  return columns;
}

// The number a text shows, so a cell holds exactly what the dashboard shows.
double Shown(double value, int decimals) { return ReadDecimalNumber(Fixed(value, decimals)); }

bool Exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

}  // namespace

std::string RealTimeFileName(const std::string& folder_prefix, int slot) {
  return folder_prefix + "Com" + std::to_string(slot) + "RealTimeData.xls";
}

std::string MonthFileName(const std::string& folder_prefix, int slot) {
  return folder_prefix + "Com" + std::to_string(slot) + "MonthData.xls";
}

const xls::Columns& RealTimeColumns() {
  static const xls::Columns columns = [] {
    xls::Columns c{"UPTime"};
    for (const ReadingFieldRow* entry : SheetFields()) c.emplace_back(entry->sheet_heading);
    return c;
  }();
  return columns;
}

xls::Row RealTimeRow(const std::string& time_text, const DeviceRecord& r) {
  xls::Row row{time_text};
  row.reserve(1 + SheetFields().size());
  for (const ReadingFieldRow* entry : SheetFields()) row.emplace_back(Shown(entry->member.Get(r), entry->decimals));
  return row;
}

xls::Row MonthRow(int month, const HistoryTable& history) {
  const auto& days = history.at(static_cast<std::size_t>(month - 1));
  const int length = DaysOfMonth(month, days[28] >= 0);
  xls::Row row{std::string(kMonthNames[static_cast<std::size_t>(month - 1)])};
  for (int day = 1; day <= kDaysPerMonthRow; ++day) {
    if (day <= length) {
      row.emplace_back(Shown(days[static_cast<std::size_t>(day - 1)], 2));
    } else {
      row.emplace_back(std::monostate{});
    }
  }
  return row;
}

std::string LocalTimeText() {
  const LocalClock now = CurrentLocalClock();
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day, now.hour, now.minute,
                now.second);
  return text;
}

SpreadsheetExport::SpreadsheetExport(Notifier& notifier, xls::WriterOptions options)
    : notifier_(notifier), options_(options) {}

SpreadsheetExport::~SpreadsheetExport() { CloseAll(); }

void SpreadsheetExport::Tell(const std::string& text) { notifier_.Notify(Notice{"", text, NoticeIcon::kWarning}); }

SpreadsheetExport::SlotFile& SpreadsheetExport::LogFor(int slot, const std::string& folder_prefix) {
  SlotFile& file = slots_.at(SlotIndex(slot));
  const std::string path = RealTimeFileName(folder_prefix, slot);
  if (!file.log || file.base_path != path) {
    if (file.log) (void)file.log->Close();
    file.log = std::make_unique<xls::SheetLog>(path, RealTimeColumns(), options_);
    file.base_path = path;
  }
  return file;
}

void SpreadsheetExport::SetSaving(int slot, bool on, const std::string& folder_prefix) {
  if (!on) {
    saving_active_ = false;
    return;
  }
  if (!IsSlotNumber(slot)) return;
  SlotFile& file = slots_[SlotIndex(slot)];
  const std::string path = RealTimeFileName(folder_prefix, slot);
  const bool already_open = file.log && file.base_path == path && !file.log->current_path().empty();
  if (!already_open && !Exists(path)) {
    // Made now, so that a folder that cannot take it is told at once.
    xls::OpenResult created = xls::SheetFile::Create(path, RealTimeColumns(), options_);
    if (created.file) {
      (void)created.file->Close();
    } else if (created.kind != xls::OpenKind::kExists) {
      Tell("error " + created.text);
      return;
    }
  }
  saving_active_ = true;
}

Status SpreadsheetExport::AppendRealTimeRow(int slot, const DeviceRecord& record, const std::string& folder_prefix) {
  if (!IsSlotNumber(slot)) return Status::Fail(StatusCode::kInvalid, "no slot " + std::to_string(slot));
  SlotFile& file = LogFor(slot, folder_prefix);
  xls::Row row = RealTimeRow(clock_(), record);
  xls::AppendResult result = file.log->Append(row);
  for (const std::string& notice : result.notices) Tell(notice);
  if (!result.status.ok()) return std::move(result.status);
  file.last_row = std::move(row);
  file.last_row_path = file.log->current_path();
  return Status::Ok();
}

Result<Consumed> SpreadsheetExport::LogReading(const Reading& reading, const std::string& folder_prefix) {
  if (!reading.use.row) return Consumed::kSkipped;
  const Status appended = AppendRealTimeRow(reading.slot, reading.values, folder_prefix);
  if (!appended.ok()) return Status::Fail(appended.code(), "error " + appended.text());
  return Consumed::kDone;
}

Status SpreadsheetExport::SaveMonthData(int slot, int month, const HistoryTable& history,
                                        const std::string& folder_prefix) {
  if (!IsSlotNumber(slot) || month < 1 || month > kMonths) {
    return Status::Fail(StatusCode::kInvalid, "no month " + std::to_string(month) + " of slot " + std::to_string(slot));
  }
  const std::string path = MonthFileName(folder_prefix, slot);
  xls::AppendResult result = xls::AppendRowToFile(path, MonthColumns(), MonthRow(month, history), options_);
  for (const std::string& notice : result.notices) Tell(notice);
  // The caller reports the failed export with this cause.
  return std::move(result.status);
}

void SpreadsheetExport::CloseAll() {
  for (SlotFile& file : slots_) {
    if (file.log) (void)file.log->Close();
    file.log.reset();
  }
}

}  // namespace quorvel
