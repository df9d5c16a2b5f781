#include "pages/chart_rules.h"

#include <algorithm>
#include <cmath>

#include "device/answer_texts.h"
#include "model/reading_fields.h"
#include "protocol/number_text.h"

namespace quorvel {
namespace {

constexpr double kCollapsedWidth = 0.1;
constexpr double kCurrentMargin = 0.2;  // A between a current reading and an edge
constexpr double kCurrentRounding = 0.005;
constexpr double kWholeMargin = 1.0;  // V or W between a reading and an edge

double NotNegative(double value) { return std::max(0.0, value); }  // also turns -0 into 0

// The reading rounded to hundredths, the current axis's centre.
double CurrentCentre(double x) { return std::trunc((x + kCurrentRounding) * 100.0) / 100.0; }

AxisRange AdaptCurrent(AxisRange axis, double x) {
  const double c = CurrentCentre(x);
  if (axis.max - axis.min <= kCollapsedWidth) return {NotNegative(c - kCurrentMargin), c + kCurrentMargin};
  if (x + kCurrentRounding >= axis.max - kCurrentMargin) {
    axis.max = c + kCurrentMargin;
  } else if (x + kCurrentRounding <= axis.min + kCurrentMargin) {
    axis.min = NotNegative(c - kCurrentMargin);
  }
  return axis;
}

AxisRange AdaptWhole(AxisRange axis, double x) {
  const double above = std::trunc(x + kWholeMargin);
  const double below = NotNegative(std::trunc(x - kWholeMargin));
  if (axis.max - axis.min <= kCollapsedWidth) return {below, above};
  if (x >= axis.max - kWholeMargin) {
    axis.max = above;
  } else if (x <= axis.min + kWholeMargin) {
    axis.min = below;
  }
  return axis;
}

constexpr double kFactorStep = 0.5;    // the power factor's axis moves and is divided in these
constexpr double kFactorSlack = 1e-4;  // a float's hundredths read a little off

AxisRange AdaptFactor(AxisRange axis, double x) {
  if (x < axis.min) axis.min = std::floor((x + kFactorSlack) / kFactorStep) * kFactorStep;
  if (x > axis.max) axis.max = std::ceil((x - kFactorSlack) / kFactorStep) * kFactorStep;
  return axis;
}

// Bounds as short as they can be written: 229, 0.17, 0.1.
std::string BoundText(double value) {
  std::string text = Fixed(value, 2);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

}  // namespace

AxisRange InitialValueAxis(TrackedQuantity quantity) {
  return quantity == TrackedQuantity::kPowerFactor ? AxisRange{0.0, 1.0} : AxisRange{0.0, kCollapsedWidth};
}

AxisRange AdaptValueAxis(TrackedQuantity quantity, AxisRange axis, double x) {
  switch (quantity) {
    case TrackedQuantity::kCurrent:
      return AdaptCurrent(axis, x);
    case TrackedQuantity::kVoltage:
    case TrackedQuantity::kPower:
      return AdaptWhole(axis, x);
    case TrackedQuantity::kPowerFactor:
      return AdaptFactor(axis, x);
  }
  return axis;
}

int MajorDivisions(TrackedQuantity quantity, AxisRange axis) {
  if (quantity != TrackedQuantity::kPowerFactor) return 2;
  return std::max(1, static_cast<int>(std::lround((axis.max - axis.min) / kFactorStep)));
}

double PlottedValue(TrackedQuantity quantity, const DeviceRecord& record) {
  switch (quantity) {
    case TrackedQuantity::kCurrent:
      return record.Current;
    case TrackedQuantity::kVoltage:
      return record.Voltage;
    case TrackedQuantity::kPower:
      return record.Power;
    case TrackedQuantity::kPowerFactor:
      return record.PowerFactor;
  }
  return 0.0;
}

SweepStep Sweep(int write_row) {
  SweepStep step;
  step.row = write_row;
  step.next_row = write_row >= kTrackingRows ? 1 : write_row + 1;
  for (int k = 0; k < kBlankGap; ++k) {
    const int j = step.next_row + k;
    step.blank_rows.at(static_cast<std::size_t>(k)) = j <= kTrackingRows ? j : j - kTrackingRows;
  }
  return step;
}

SeriesSet::SeriesSet(int view_slot) { slots_[0] = view_slot; }

AddOutcome SeriesSet::Add(int slot, bool open) {
  const auto free = std::find(slots_.begin(), slots_.end(), 0);
  if (free == slots_.end()) return AddOutcome::kNoFreeColumn;
  if (!open) return AddOutcome::kNotOpen;
  if (Holds(slot)) return AddOutcome::kAlreadyPlotted;
  *free = slot;
  write_rows_.at(static_cast<std::size_t>(free - slots_.begin())) = write_rows_[0];
  return AddOutcome::kAdded;
}

bool SeriesSet::Remove(int slot) {
  const auto found = std::find(slots_.begin() + 1, slots_.end(), slot);
  if (slot == 0 || found == slots_.end()) return false;
  *found = 0;
  return true;
}

void SeriesSet::RestartSweep() { write_rows_.fill(1); }

SweepStep SeriesSet::Advance(int column) {
  int& write_row = write_rows_.at(Index(column));
  const SweepStep step = Sweep(write_row);
  write_row = step.next_row;
  return step;
}

bool SeriesSet::Holds(int slot) const { return std::find(slots_.begin(), slots_.end(), slot) != slots_.end(); }

std::string ChartTitle(TrackedQuantity quantity, int view_slot, bool saving) {
  static constexpr std::array<const char*, 4> kNames = {"Current", "Voltage", "Power", "Power Factor"};
  const std::string name = kNames.at(static_cast<std::size_t>(quantity));
  return saving ? name + " Tracking" : "COM" + Decimal(view_slot) + " " + name;
}

std::string SeriesLabel(int slot) { return slot == 0 ? std::string() : "COM" + Decimal(slot); }

std::string ChartDescription(const std::string& title, AxisRange axis) {
  return title + " " + BoundText(axis.min) + ".." + BoundText(axis.max);
}

const std::string& TextHeaderColumns() {
  static const std::string header = [] {
    std::string text = "Device:";
    for (const ReadingFieldRow& entry : kReadingFields) {
      if (entry.list_heading != nullptr) text += entry.list_heading;
    }
    return text;
  }();
  return header;
}

std::string ReadingLine(int slot, const DeviceRecord& record) {
  std::string line = "Com" + Decimal(slot) + ":";
  for (const ReadingFieldRow& entry : kReadingFields) {
    if (entry.list_gap != nullptr) line += entry.list_gap + ReadingText(record, entry);
  }
  return line;
}

}  // namespace quorvel
