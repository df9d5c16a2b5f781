// What the chart view decides, as plain C++: how a value axis follows the
// readings, where the sweep writes next and what it blanks ahead of itself,
// which devices are plotted as series, and the texts of titles and readings.
// The view draws what these say; tests call them directly.
#pragma once

#include <array>
#include <string>

#include "model/device_record.h"

namespace quorvel {

inline constexpr int kTrackingRows = 200;  // x positions of a tracking chart
inline constexpr int kBlankGap = 10;       // rows cleared ahead of the newest point
inline constexpr int kMaxSeries = 4;       // chart columns 1..4
// The text list keeps the newest lines only, so a week-long session cannot
// fill the memory (a week of four meters a second is 2.4 million lines).
inline constexpr int kTextLinesKept = 100'000;

// The four tracking charts, in the order the view numbers them.
enum class TrackedQuantity { kCurrent = 0, kVoltage = 1, kPower = 2, kPowerFactor = 3 };
inline constexpr std::array<TrackedQuantity, 4> kTrackedQuantities = {
    TrackedQuantity::kCurrent, TrackedQuantity::kVoltage, TrackedQuantity::kPower, TrackedQuantity::kPowerFactor};

struct AxisRange {
  double min = 0.0;
  double max = 0.0;
  friend bool operator==(const AxisRange&, const AxisRange&) = default;
};

// The value axis a fresh chart starts with. The power factor's axis spans
// 0..1, where the factor of an ordinary load lies.
AxisRange InitialValueAxis(TrackedQuantity quantity);

// The value axis after reading `x` arrives, before its point is stored. A
// collapsed axis (0.1 wide or less, as a fresh chart's) centres on the
// reading; otherwise a reading close to an edge moves that edge out. The
// power factor's axis keeps 0..1 while every factor fits; a factor outside
// (a leading load's is negative, and the meter's coding reaches -1.28 and
// 1.28) moves that edge out to the next multiple of 0.5. No axis narrows
// again.
AxisRange AdaptValueAxis(TrackedQuantity quantity, AxisRange axis, double x);

// The major divisions of an axis: 2, and for the power factor one every 0.5
// (0, 0.5, 1; -1, -0.5, 0, ...), so that 0 and 1 keep their lines.
int MajorDivisions(TrackedQuantity quantity, AxisRange axis);

// The value plotted for a reading, as the meter gave it (the power factor
// with its sign).
double PlottedValue(TrackedQuantity quantity, const DeviceRecord& record);

// One step of a series' sweep: the row the reading goes to, the row the
// next reading goes to, and the rows blanked ahead of it (wrapping round).
struct SweepStep {
  int row = 1;
  int next_row = 1;
  std::array<int, kBlankGap> blank_rows{};
};
SweepStep Sweep(int write_row);

enum class AddOutcome { kAdded, kNoFreeColumn, kNotOpen, kAlreadyPlotted };

// The devices plotted as chart columns 1..4 (0 = empty) and each column's
// write row. Column 1 always holds the view's own device.
class SeriesSet {
 public:
  explicit SeriesSet(int view_slot = 0);

  // A device joins the first free column and starts at the sweep position
  // of the view's own device.
  AddOutcome Add(int slot, bool open);
  // Frees the first of columns 2..4 that holds the device; false when none.
  bool Remove(int slot);
  // The write rows all start again at row 1.
  void RestartSweep();

  // The column's reading is stored: its step, and the write row moves on.
  SweepStep Advance(int column);

  int SlotOf(int column) const { return slots_.at(Index(column)); }
  int WriteRowOf(int column) const { return write_rows_.at(Index(column)); }
  bool Holds(int slot) const;

 private:
  static std::size_t Index(int column) { return static_cast<std::size_t>(column - 1); }
  std::array<int, kMaxSeries> slots_{};
  std::array<int, kMaxSeries> write_rows_{1, 1, 1, 1};
};

// Texts of the view.
std::string ChartTitle(TrackedQuantity quantity, int view_slot, bool saving);
std::string SeriesLabel(int slot);  // "COM%d", or empty for 0
// The accessible description of a chart: its title and "min..max".
std::string ChartDescription(const std::string& title, AxisRange axis);

// The text list: two header lines, then one line per reading. Its columns
// are the reading fields the table (model/reading_fields.h) lists there.
inline constexpr const char* kTextHeaderTitle = "                           Real Data                 ";
const std::string& TextHeaderColumns();  // "Device: Current  Voltage  Power   Factor"
std::string ReadingLine(int slot, const DeviceRecord& record);

}  // namespace quorvel
