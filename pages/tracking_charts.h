// The chart view's four tracking charts (current, voltage, power, power
// factor) over one area: all four in a 2 x 2 grid, or one of them enlarged.
// Up to four devices are plotted as series; each reading of a series is
// written at that series' sweep position with a blank gap ahead of it.
//
// Every reading suspends the four charts, sets its points and resumes them:
// one replot per chart on screen, none for a hidden chart until it shows.
#pragma once

#include <QWidget>

#include <array>

#include "model/device_record.h"
#include "pages/chart_rules.h"

namespace quorvel {

class ChartWidget;

class TrackingCharts : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kAllCharts = -1;  // the 2 x 2 grid

  explicit TrackingCharts(QWidget* parent = nullptr);

  // Every chart fresh for the device the view was opened for: axes, 200
  // empty rows, the series reset to that device alone, the sweep at row 1.
  void Start(int view_slot, bool saving);
  // The current chart fresh for tracking again (the other three keep their
  // points), with the series' labels; the sweep starts at row 1.
  void RestartCurrentChart(bool saving);

  // Titles "COM%d Current" ..., or "Current Tracking" ... while saving.
  void ShowSaving(bool saving);

  AddOutcome AddSeries(int slot, bool open);
  void RemoveSeries(int slot);  // the view's own device stays
  const SeriesSet& Series() const { return series_; }

  // A live reading of `slot`: written to every series that plots it.
  void Reading(int slot, const DeviceRecord& record);

  // The chart shown enlarged (0..3), or kAllCharts.
  int Selection() const { return selection_; }
  void SetSelection(int selection);
  // A double click on a chart: enlarge it, or back to the grid.
  void ToggleSelection(int chart);

  // History mode: the current chart alone over the whole area, whatever
  // the selection; a double click changes nothing meanwhile.
  void ShowCurrentAlone(bool alone);

  ChartWidget& Chart(TrackedQuantity quantity) const;

 Q_SIGNALS:
  void selectionChanged(int selection);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PrepareChart(TrackedQuantity quantity);
  void LabelSeries(ChartWidget& chart);
  void ClearColumn(int column);
  void UpdateDescription(TrackedQuantity quantity);
  void Arrange();

  std::array<ChartWidget*, 4> charts_{};
  SeriesSet series_;
  int view_slot_ = 0;
  int selection_ = kAllCharts;
  bool current_alone_ = false;
};

}  // namespace quorvel
