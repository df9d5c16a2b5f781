// What the chart view's history mode shows, as plain C++: the months chosen
// for the day form, the frame of each form (rows, columns, labels), and the
// bars and text lines of the day, week and month forms drawn from a slot's
// stored history. The view draws what these say; tests call them directly.
//
// A month the meter never answered for holds zeros that mean nothing: it is
// never drawn as a bar and reads kUnknownHistoryText ("--") in the text
// lines. A week counts as unknown when any of its days lies in such a month.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "model/device_record.h"
#include "model/display.h"

namespace quorvel {

// -1 until the user chooses a form; the numbers are the radio buttons' order.
enum class HistoryKind { kNone = -1, kByDay = 1, kByWeek = 2, kByMonth = 3 };

// Which months of the slot's history the meter answered for: entry m - 1.
using MonthsRead = AnsweredSet<kMonths>;

inline constexpr int kMonthColumns = 4;  // months side by side in the day form
inline constexpr int kWeekRows = 53;

// The program's texts.
inline constexpr const char* kHistoryHeaderLine = "                           CURRENT History Data                 ";
inline constexpr const char* kPleaseSelectMonthText = "Please select month";
inline constexpr const char* kNoFreeMonthColumnText = "Max";
inline constexpr const char* kMonthLabelText = "Month";  // label of the month box

// The months of the day form's columns 1..4; 0 is an empty column.
class MonthColumns {
 public:
  enum class AddOutcome { kAdded, kNoFreeColumn, kAlreadyChosen, kNotAMonth };

  // The month takes the first empty column. A full set refuses before a
  // month already chosen is noticed (the user is told "Max" either way).
  AddOutcome Add(int month);
  // Empties the first column holding the month; false when none does.
  bool Remove(int month);

  int MonthOf(int column) const { return months_.at(static_cast<std::size_t>(column - 1)); }
  const std::array<int, kMonthColumns>& Months() const { return months_; }
  bool Any() const;

 private:
  std::array<int, kMonthColumns> months_{};
};

// The month names of the month box; entry index plus one is the month.
const std::array<const char*, kMonths>& HistoryMonthNames();

// "COM%d:%d" with the year; a year below 2000 (no date read yet) shows 2009.
std::string HistoryTitle(int slot, int shown_year);

// Choosing a form: the message that refuses it, if any ("Please select
// month" for the day form without a month).
std::optional<std::string> FormRefusal(HistoryKind kind, const MonthColumns& months);

// The months to ask the engine for after the months changed: each chosen
// month in column order, or 0 alone when none is chosen.
std::vector<int> MonthsToRequest(const MonthColumns& months);

// The frame of a form before its data comes: rows labelled "1".."n",
// columns with their legend labels, and the category axis title. kNone is
// the frame history mode starts with (the day form's columns, no title).
struct HistoryFrame {
  int rows = 0;
  std::vector<std::string> column_labels;  // one per column; empty: no legend entry
  std::string category_title;
};
HistoryFrame FrameOf(HistoryKind kind, int slot, const MonthColumns& months);

// One bar of the chart form: row (day, week or month) and column 1..4.
struct HistoryBar {
  int row = 0;
  int column = 0;
  double value = 0.0;
  friend bool operator==(const HistoryBar&, const HistoryBar&) = default;
};

// The sum of one week or month; empty when it is not known.
struct HistorySum {
  int number = 0;
  std::optional<double> sum;
  friend bool operator==(const HistorySum&, const HistorySum&) = default;
};

// A drawn form: the bars of the chart form (every other point is null), the
// lines of the text form (header line first), the sums of the week and
// month forms, the legend labels once the data is known, and the value axis
// maximum (the minimum is 0).
struct HistoryDrawing {
  std::vector<HistoryBar> bars;
  std::vector<std::string> lines;
  std::vector<HistorySum> sums;
  std::vector<std::string> column_labels;
  double axis_max = 0.0;
  // The day form's values, column by column: the days of a month read
  // (numbered 1..), nothing for a month not read or no month.
  std::array<std::vector<HistorySum>, kMonthColumns> days;
};

// What the view knows of the slot when it draws.
struct HistorySource {
  int slot = 0;
  int shown_year = 0;
  const HistoryTable* table = nullptr;
  MonthsRead read{};
};

// Days: the 31 days of the chosen months side by side; a column's bars stop
// at its month's first missing day, its text reads 0.00 there and in an
// empty column. Weeks: Sunday to Saturday from the week day of 1 January of
// the shown year, the last incomplete week left out. Months: each month's
// sum of the days it has.
HistoryDrawing DrawHistory(HistoryKind kind, const HistorySource& source, const MonthColumns& months);

// The chart's accessible description: its title, its value axis "min..max"
// and, for the week and month forms, each one's sum ("3: 12.50", "--" when
// unknown); for the day form, each chosen month's days ("COM3:6 days 1:
// 2.50, 2: 3.10, ...", "COM3:7 not read").
std::string HistoryDescription(const std::string& title, HistoryKind kind, const HistoryDrawing& drawing);

// What the user is told when a history read brings nothing for a while.
std::string HistoryNoAnswerText(int slot);

// What the user is told of one month saved to its spreadsheet file, each
// month in words of its own: "Save to Excel Success: Jan saved to
// <file>", or "Save to Excel Error: Jan was not saved: <cause>".
std::string MonthSaveText(int month, bool saved, const std::string& file, const std::string& cause);

// The value axis maximum for bars up to `largest`: 300 at least, otherwise
// the next multiple of 50, so that no week or month is cut off.
double HistoryAxisMax(double largest);

}  // namespace quorvel
