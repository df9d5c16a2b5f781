#include "storage/spreadsheet_export.h"

#include <cstdio>
#include <filesystem>

#include "model/calendar.h"
#include "model/local_clock.h"
#include "protocol/number_text.h"

namespace quorvel {
namespace {

const xls::Columns& RealTimeColumns() {
  static const xls::Columns columns{"UPTime", "Voltage", "Current", "Power", "PowerFactor"};
  return columns;
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

xls::Row RealTimeRow(const std::string& time_text, const DeviceRecord& r) {
  return {time_text, Shown(r.Voltage, 1), Shown(r.Current, 2), Shown(r.Power, 1), Shown(r.PowerFactor, 2)};
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
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day, now.hour,
                now.minute, now.second);
  return text;
}

SpreadsheetExport::SpreadsheetExport(Notifier& notifier, xls::WriterOptions options)
    : notifier_(notifier), options_(options) {}

SpreadsheetExport::~SpreadsheetExport() { CloseAll(); }

void SpreadsheetExport::Tell(const std::string& text) {
  notifier_.Notify(Notice{"", text, NoticeIcon::kWarning});
}

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

bool SpreadsheetExport::SetSaving(int slot, bool on, const std::string& folder_prefix) {
  if (!on) {
    saving_active_ = false;
    return true;
  }
  if (!IsSlotNumber(slot)) return true;
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
      return true;
    }
  }
  saving_active_ = true;
  return true;
}

bool SpreadsheetExport::AppendRealTimeRow(int slot, const DeviceRecord& record, const std::string& folder_prefix) {
  if (!IsSlotNumber(slot) || !WriterAvailable()) return false;
  SlotFile& file = LogFor(slot, folder_prefix);
  xls::Row row = RealTimeRow(clock_(), record);
  const xls::AppendResult result = file.log->Append(row);
  for (const std::string& notice : result.notices) Tell(notice);
  if (result.status.ok()) {
    file.last_error.clear();
    file.last_row = std::move(row);
    file.last_row_path = file.log->current_path();
    return true;
  }
  const std::string text = "error " + result.status.text();
  if (text != file.last_error) Tell(text);
  file.last_error = text;
  return false;
}

bool SpreadsheetExport::SaveMonthData(int slot, int month, const HistoryTable& history,
                                      const std::string& folder_prefix) {
  last_error_.clear();
  if (!IsSlotNumber(slot) || month < 1 || month > kMonths) {
    last_error_ = "no month " + std::to_string(month) + " of slot " + std::to_string(slot);
    return false;
  }
  const std::string path = MonthFileName(folder_prefix, slot);
  const xls::AppendResult result = xls::AppendRowToFile(path, MonthColumns(), MonthRow(month, history), options_);
  for (const std::string& notice : result.notices) Tell(notice);
  if (result.status.ok()) return true;
  // The caller reports the failed export with this cause.
  last_error_ = result.status.text();
  return false;
}

void SpreadsheetExport::CloseAll() {
  for (SlotFile& file : slots_) {
    if (file.log) (void)file.log->Close();
    file.log.reset();
  }
}

}  // namespace quorvel
