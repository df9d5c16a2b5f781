#include "pages/history_rules.h"

#include <algorithm>
#include <cmath>

#include "pages/chart_rules.h"
#include "protocol/number_text.h"
#include "protocol/week_sums.h"
#include "storage/spreadsheet_export.h"

namespace quorvel {
namespace {

constexpr double kSmallestAxisMax = 300.0;
constexpr double kAxisStep = 50.0;
constexpr int kYearOfNoDate = 2009;

bool IsMonth(int month) { return month >= 1 && month <= kMonths; }

bool Read(const HistorySource& source, int month) { return source.read.at(static_cast<std::size_t>(month - 1)); }

double Day(const HistorySource& source, int month, int day) {
  return (*source.table)[static_cast<std::size_t>(month - 1)][static_cast<std::size_t>(day - 1)];
}

std::string ValueText(std::optional<double> value) { return value ? Fixed(*value, 2) : kUnknownHistoryText; }

std::string MonthLabel(int slot, int month) {
  return month == 0 ? std::string() : "COM" + Decimal(slot) + ":" + Decimal(month);
}

std::string MonthHeaderLine(const MonthColumns& months) {
  std::string line = "       ";
  for (int k = 1; k <= kMonthColumns; ++k) {
    line += Decimal(months.MonthOf(k)) + "Month" + (k < kMonthColumns ? "     " : "");
  }
  return line;
}

// "%0.2d:   %0.2f         %0.2f          %0.2f          %0.2f"
std::string DayLine(int day, const std::array<std::string, kMonthColumns>& values) {
  return TwoDigits(day) + ":   " + values[0] + "         " + values[1] + "          " + values[2] + "          " +
         values[3];
}

// "%d:    %0.2f"
std::string SumLine(int number, std::optional<double> sum) { return Decimal(number) + ":    " + ValueText(sum); }

void DrawDays(const HistorySource& source, const MonthColumns& months, HistoryDrawing& out) {
  out.lines.push_back(MonthHeaderLine(months));
  for (int k = 1; k <= kMonthColumns; ++k) {
    const int month = months.MonthOf(k);
    std::string label = MonthLabel(source.slot, month);
    if (month != 0 && !Read(source, month)) label += " not read";
    out.column_labels.push_back(label);
    if (month == 0 || !Read(source, month)) continue;
    for (int day = 1; day <= kDaysPerMonthRow && Day(source, month, day) != kNoSuchDay; ++day) {
      out.bars.push_back({day, k, Day(source, month, day)});
      out.days[static_cast<std::size_t>(k - 1)].push_back({day, Day(source, month, day)});
    }
  }
  for (int day = 1; day <= kDaysPerMonthRow; ++day) {
    std::array<std::string, kMonthColumns> values;
    for (int k = 1; k <= kMonthColumns; ++k) {
      const int month = months.MonthOf(k);
      const bool known = month == 0 || Read(source, month);
      const double value = month == 0 ? 0.0 : Day(source, month, day);
      values[static_cast<std::size_t>(k - 1)] =
          known ? Fixed(value == kNoSuchDay ? 0.0 : value, 2) : kUnknownHistoryText;
    }
    out.lines.push_back(DayLine(day, values));
  }
}

// Weeks run Sunday to Saturday: w counts the days from the Sunday before
// 1 January, and every multiple of 7 completes a week. A year the week-day
// function does not know starts at 7, so its first week shown is week 2.
bool DrawWeeks(const HistorySource& source, HistoryDrawing& out) {
  bool any_unknown = false;
  int w = WeekdayOf(source.shown_year - 2000, 1, 1);
  double sum = 0.0;
  bool known = true;
  for (int month = 1; month <= kMonths; ++month) {
    for (int day = 1; day <= kDaysPerMonthRow; ++day) {
      const double value = Day(source, month, day);
      if (value == kNoSuchDay) break;
      sum += value;
      known = known && Read(source, month);
      if (++w % 7 != 0) continue;
      const int week = w / 7;
      const std::optional<double> week_sum = known ? std::optional(sum) : std::nullopt;
      out.lines.push_back(SumLine(week, week_sum));
      out.sums.push_back({week, week_sum});
      if (known) out.bars.push_back({week, 1, sum});
      any_unknown = any_unknown || !known;
      sum = 0.0;
      known = true;
    }
  }
  return any_unknown;
}

bool DrawMonths(const HistorySource& source, HistoryDrawing& out) {
  bool any_unknown = false;
  for (int month = 1; month <= kMonths; ++month) {
    const std::optional<double> sum = Read(source, month) ? MonthSum(*source.table, month) : std::nullopt;
    out.lines.push_back(SumLine(month, sum));
    out.sums.push_back({month, sum});
    if (sum) out.bars.push_back({month, 1, *sum});
    any_unknown = any_unknown || !sum;
  }
  return any_unknown;
}

// The legend of the one-column forms says why a row may have no bar.
std::string UnknownLegend(HistoryKind kind, bool any_unknown) {
  if (!any_unknown) return {};
  return kind == HistoryKind::kByWeek ? "no bar: a week with days not read" : "no bar: a month not read";
}

}  // namespace

MonthColumns::AddOutcome MonthColumns::Add(int month) {
  if (!IsMonth(month)) return AddOutcome::kNotAMonth;
  const auto free = std::find(months_.begin(), months_.end(), 0);
  if (free == months_.end()) return AddOutcome::kNoFreeColumn;
  if (std::find(months_.begin(), months_.end(), month) != months_.end()) return AddOutcome::kAlreadyChosen;
  *free = month;
  return AddOutcome::kAdded;
}

bool MonthColumns::Remove(int month) {
  const auto found = std::find(months_.begin(), months_.end(), month);
  if (month == 0 || found == months_.end()) return false;
  *found = 0;
  return true;
}

bool MonthColumns::Any() const {
  return std::any_of(months_.begin(), months_.end(), [](int month) { return month != 0; });
}

const std::array<const char*, kMonths>& HistoryMonthNames() { return kMonthNames; }

std::string HistoryTitle(int slot, int shown_year) {
  return "COM" + Decimal(slot) + ":" + Decimal(shown_year < 2000 ? kYearOfNoDate : shown_year);
}

std::optional<std::string> FormRefusal(HistoryKind kind, const MonthColumns& months) {
  if (kind == HistoryKind::kByDay && !months.Any()) return kPleaseSelectMonthText;
  return std::nullopt;
}

std::vector<int> MonthsToRequest(const MonthColumns& months) {
  std::vector<int> requests;
  for (const int month : months.Months()) {
    if (month != 0) requests.push_back(month);
  }
  if (requests.empty()) requests.push_back(0);
  return requests;
}

HistoryFrame FrameOf(HistoryKind kind, int slot, const MonthColumns& months) {
  HistoryFrame frame;
  switch (kind) {
    case HistoryKind::kByMonth:
      frame = {kMonths, {""}, "Month"};
      break;
    case HistoryKind::kByWeek:
      frame = {kWeekRows, {""}, "Week"};
      break;
    case HistoryKind::kByDay:
    case HistoryKind::kNone:
      frame.rows = kDaysPerMonthRow;
      for (const int month : months.Months()) frame.column_labels.push_back(MonthLabel(slot, month));
      frame.category_title = kind == HistoryKind::kByDay ? "Day" : "";
      break;
  }
  return frame;
}

HistoryDrawing DrawHistory(HistoryKind kind, const HistorySource& source, const MonthColumns& months) {
  HistoryDrawing drawing;
  if (kind == HistoryKind::kNone || source.table == nullptr) return drawing;
  drawing.lines.push_back(kHistoryHeaderLine);
  switch (kind) {
    case HistoryKind::kByDay:
      DrawDays(source, months, drawing);
      break;
    case HistoryKind::kByWeek:
      drawing.column_labels = {UnknownLegend(kind, DrawWeeks(source, drawing))};
      break;
    case HistoryKind::kByMonth:
      drawing.column_labels = {UnknownLegend(kind, DrawMonths(source, drawing))};
      break;
    case HistoryKind::kNone:
      break;
  }
  double largest = 0.0;
  for (const HistoryBar& bar : drawing.bars) largest = std::max(largest, bar.value);
  drawing.axis_max = HistoryAxisMax(largest);
  return drawing;
}

std::string HistoryDescription(const std::string& title, HistoryKind kind, const HistoryDrawing& drawing) {
  const auto values = [](const std::vector<HistorySum>& sums) {
    std::string text;
    for (std::size_t i = 0; i < sums.size(); ++i) {
      text += (i == 0 ? "" : ", ") + Decimal(sums[i].number) + ": " + ValueText(sums[i].sum);
    }
    return text;
  };
  std::string text = ChartDescription(title, {0.0, drawing.axis_max});
  if (kind == HistoryKind::kByWeek || kind == HistoryKind::kByMonth) {
    if (!drawing.sums.empty()) text += "; " + values(drawing.sums);
  } else if (kind == HistoryKind::kByDay) {
    for (std::size_t k = 0; k < drawing.column_labels.size() && k < drawing.days.size(); ++k) {
      const std::string& label = drawing.column_labels[k];
      if (label.empty()) continue;
      text += "; " + label + (drawing.days[k].empty() ? "" : " days " + values(drawing.days[k]));
    }
  }
  return text;
}

std::string HistoryNoAnswerText(int slot) {
  return "The meter on COM" + Decimal(slot) + " did not answer the history request";
}

std::string MonthSaveText(int month, bool saved, const std::string& file, const std::string& cause) {
  const bool known = month >= 1 && month <= kMonths;
  const std::string name = known ? HistoryMonthNames()[static_cast<std::size_t>(month - 1)] : "Month " + Decimal(month);
  if (saved) return "Save to Excel Success: " + name + " saved to " + file;
  return "Save to Excel Error: " + name + " was not saved: " + (cause.empty() ? "unknown error" : cause);
}

double HistoryAxisMax(double largest) {
  if (!(largest > kSmallestAxisMax)) return kSmallestAxisMax;
  return std::ceil(largest / kAxisStep) * kAxisStep;
}

}  // namespace quorvel
