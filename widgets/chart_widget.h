// The chart component: a grid of data points addressed by row (1-based, the
// x position) and column (1-based, the series), drawn with QCustomPlot as
// lines or bars. A null point is empty: a line breaks there, and a point
// with nulls on both sides still shows as a marker.
//
// Drawing is coalesced: every change only marks the chart, and one replot
// follows in the next turn of the event loop. Between SuspendDrawing() and
// ResumeDrawing() nothing is replotted at all, and a hidden chart is not
// replotted until it is shown again, so a batch of changes to the charts of
// a view costs one replot of the charts on screen.
//
// Window rectangle, show, hide and move are QWidget's own (geometry(),
// show(), hide(), move(), setGeometry()).
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

class QCustomPlot;
class QCPTextElement;
class QCPAbstractPlottable;
class QCPGraph;

namespace quorvel {

class ChartWidget : public QWidget {
  Q_OBJECT

 public:
  enum class Type { kLine, kBar };

  struct ValueScale {
    bool automatic = false;  // follow the data instead of min..max
    double min = 0.0;
    double max = 1.0;
    int major_divisions = 2;  // equal parts between min and max
    int minor_divisions = 0;  // equal parts of each major one; 0 or 1: none
  };

  struct CategoryScale {
    bool automatic = false;  // labels and ticks where they fit
    int label_spacing = 1;   // a row label every n rows (0: every row)
    int tick_spacing = 1;    // a tick every n rows (0: every row)
  };

  explicit ChartWidget(QWidget* parent = nullptr);
  ~ChartWidget() override;

  void SetType(Type type);
  // The grid is resized; points inside both grids keep their values, new
  // ones are null.
  void SetRowCount(int rows);
  void SetColumnCount(int columns);
  // Select the row or column whose label is set next.
  void SetCurrentRow(int row);
  void SetCurrentColumn(int column);
  void SetRowLabel(const QString& text);     // shown under the row on the x axis
  void SetColumnLabel(const QString& text);  // shown in the legend; empty: no entry
  // Rows and columns outside the grid are ignored.
  void SetDataPoint(int row, int column, double value, bool null);
  void ShowLegend(bool on);
  void SetTitle(const QString& text);
  void SetValueScale(const ValueScale& scale);
  double ValueMinimum() const { return value_scale_.min; }  // as last set
  double ValueMaximum() const { return value_scale_.max; }
  void SetCategoryScale(const CategoryScale& scale);
  void SetCategoryTitle(const QString& text);
  void SetBackdropColor(const QColor& color);
  void SetAxisColor(const QColor& color);
  // Draw again with the current data (coalesced like every change).
  void Refresh();
  void SuspendDrawing();
  void ResumeDrawing();

  // What the chart holds, for its users' checks.
  Type ChartType() const { return type_; }
  int RowCount() const { return rows_; }
  int ColumnCount() const { return columns_; }
  std::optional<double> DataPoint(int row, int column) const;  // empty when null
  QString Title() const { return title_text_; }
  QString ColumnLabel(int column) const;
  QString RowLabel(int row) const;
  bool DrawingSuspended() const { return suspended_; }
  // The chart with every change drawn, at its size, rendered off-screen (a
  // window lying over it is not in the picture).
  QImage Picture();
  // Replots done so far (each draws the whole chart once).
  long ReplotCount() const { return replots_; }
  // For measuring what coalescing saves: every change outside a suspension,
  // and every resume, replots at once, whether the chart is shown or not.
  void SetImmediateDrawing(bool on) { immediate_ = on; }

 Q_SIGNALS:
  void doubleClicked();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct Point {
    double value = 0.0;
    bool null = true;
  };
  struct Series {
    QString label;
    QCPAbstractPlottable* plottable = nullptr;  // the line or the bars
    QCPGraph* lone_points = nullptr;            // markers of points between nulls
  };

  std::size_t PointIndex(int row, int column) const;
  void Changed();
  void RebuildSeries();
  void SyncData();
  void SyncPoints();
  void ApplyValueScale();
  void FitValueAxisToData();
  void ApplyCategoryScale();
  void ApplyLegend();

  QCustomPlot* plot_ = nullptr;
  QCPTextElement* title_ = nullptr;

  Type type_ = Type::kLine;
  int rows_ = 1;
  int columns_ = 1;
  int current_row_ = 1;
  int current_column_ = 1;
  std::vector<Point> points_;  // column by column
  std::vector<QString> row_labels_;
  std::vector<Series> series_;
  QString title_text_;
  bool legend_on_ = false;
  ValueScale value_scale_;
  CategoryScale category_scale_;

  bool data_dirty_ = true;  // the plottables do not hold the grid yet
  bool dirty_ = true;       // the picture does not show every change yet
  bool suspended_ = false;
  bool immediate_ = false;
  long replots_ = 0;
};

}  // namespace quorvel
