#include "widgets/chart_widget.h"

#include "widgets/qcustomplot_include.h"

#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace quorvel {
namespace {

// Series colours that stay apart on white and for colour-blind eyes
// (Okabe and Ito), each with its own marker shape.
struct SeriesLook {
  QColor colour;
  QCPScatterStyle::ScatterShape shape;
};
const std::array<SeriesLook, 6> kSeriesLooks = {{
    {QColor(0x00, 0x72, 0xB2), QCPScatterStyle::ssDisc},
    {QColor(0xD5, 0x5E, 0x00), QCPScatterStyle::ssSquare},
    {QColor(0x00, 0x9E, 0x73), QCPScatterStyle::ssTriangle},
    {QColor(0xCC, 0x79, 0xA7), QCPScatterStyle::ssDiamond},
    {QColor(0x56, 0xB4, 0xE9), QCPScatterStyle::ssCross},
    {QColor(0xE6, 0x9F, 0x00), QCPScatterStyle::ssPlus},
}};
const SeriesLook& LookOf(std::size_t series) { return kSeriesLooks.at(series % kSeriesLooks.size()); }

// Markers along a line, every this many rows: they tell the series apart
// without turning a 200-row line into a band of markers.
constexpr int kMarkerEvery = 20;
constexpr double kMarkerSize = 6.0;
constexpr double kBarShare = 0.8;  // of a row's width, for all bars of the row

QString TickText(double value) { return QString::number(value, 'g', 6); }  // never localised

// Exactly `major` equal divisions from min to max, each split into `minor`.
class ValueTicker : public QCPAxisTicker {
 public:
  ChartWidget::ValueScale scale;

  void generate(const QCPRange&, const QLocale&, QChar, int, QVector<double>& ticks, QVector<double>* sub_ticks,
                QVector<QString>* labels) override {
    const int major = std::max(1, scale.major_divisions);
    const double step = (scale.max - scale.min) / major;
    ticks.clear();
    for (int k = 0; k <= major; ++k) ticks.append(scale.min + step * k);
    if (sub_ticks) {
      sub_ticks->clear();
      for (int k = 0; k < major && scale.minor_divisions > 1; ++k) {
        for (int m = 1; m < scale.minor_divisions; ++m) sub_ticks->append(ticks[k] + step * m / scale.minor_divisions);
      }
    }
    if (labels) {
      labels->clear();
      for (const double tick : ticks) labels->append(TickText(tick));
    }
  }
};

// A tick every n rows and the row's label every m rows, from row 1.
class CategoryTicker : public QCPAxisTicker {
 public:
  int rows = 1;
  int label_spacing = 1;
  int tick_spacing = 1;
  const std::vector<QString>* row_labels = nullptr;

  void generate(const QCPRange&, const QLocale&, QChar, int, QVector<double>& ticks, QVector<double>* sub_ticks,
                QVector<QString>* labels) override {
    ticks.clear();
    if (sub_ticks) sub_ticks->clear();
    if (labels) labels->clear();
    for (int row = 1; row <= rows; ++row) {
      const bool labelled = (row - 1) % label_spacing == 0;
      if ((row - 1) % tick_spacing != 0 && !labelled) continue;
      ticks.append(row);
      if (labels) labels->append(labelled ? row_labels->at(static_cast<std::size_t>(row - 1)) : QString());
    }
  }
};

void StyleAxis(QCPAxis* axis, const QColor& colour) {
  const QPen pen(colour, 1);
  axis->setBasePen(pen);
  axis->setTickPen(pen);
  axis->setSubTickPen(pen);
  axis->setTickLabelColor(colour);
  axis->setLabelColor(colour);
}

}  // namespace

ChartWidget::ChartWidget(QWidget* parent) : QWidget(parent), plot_(new QCustomPlot(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(plot_);
  plot_->setFocusPolicy(Qt::NoFocus);
  plot_->setLocale(QLocale::c());
  plot_->setAutoAddPlottableToLegend(false);
  plot_->setAntialiasedElements(QCP::aePlottables | QCP::aeScatters | QCP::aeLegendItems);

  QFont base = font();
  base.setPointSizeF(9);
  plot_->setFont(base);
  title_ = new QCPTextElement(plot_, QString(), QFont(base.family(), 11, QFont::Bold));
  plot_->plotLayout()->insertRow(0);
  plot_->plotLayout()->addElement(0, 0, title_);
  plot_->plotLayout()->setRowSpacing(0);

  // The legend gets a row of its own under the title, one entry beside the
  // next, so that it never covers the curves.
  // Empty elements on both sides centre it and let the row stretch, since
  // a legend is never wider than its entries.
  auto* legend = plot_->legend;
  plot_->axisRect()->insetLayout()->take(legend);
  auto* legend_row = new QCPLayoutGrid;
  plot_->plotLayout()->insertRow(1);
  plot_->plotLayout()->addElement(1, 0, legend_row);
  plot_->plotLayout()->setRowStretchFactor(1, 0.001);
  legend_row->addElement(0, 0, new QCPLayoutElement(plot_));
  legend_row->addElement(0, 1, legend);
  legend_row->addElement(0, 2, new QCPLayoutElement(plot_));
  legend_row->setColumnSpacing(0);
  legend_row->setColumnStretchFactors({1.0, 0.001, 1.0});
  legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
  legend->setBorderPen(Qt::NoPen);
  legend->setBrush(Qt::NoBrush);
  legend->setFont(base);
  legend->setIconSize(22, 10);
  legend->setColumnSpacing(12);
  legend->setMargins(QMargins(4, 0, 4, 0));

  auto* ticker = new ValueTicker;
  ticker->scale = value_scale_;
  plot_->yAxis->setTicker(QSharedPointer<QCPAxisTicker>(ticker));
  auto* categories = new CategoryTicker;
  categories->row_labels = &row_labels_;
  plot_->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(categories));
  plot_->xAxis->grid()->setVisible(false);
  plot_->yAxis->grid()->setPen(QPen(QColor(0xD8, 0xD8, 0xD8), 1, Qt::DotLine));
  plot_->yAxis->grid()->setZeroLinePen(Qt::NoPen);
  SetAxisColor(Qt::black);
  SetBackdropColor(Qt::white);

  // Points and labels go into the plottables only when a replot is about to draw.
  connect(plot_, &QCustomPlot::beforeReplot, this, &ChartWidget::SyncData);
  connect(plot_, &QCustomPlot::afterReplot, this, [this] {
    ++replots_;
    dirty_ = false;
  });
  connect(plot_, &QCustomPlot::mouseDoubleClick, this, [this](QMouseEvent*) { Q_EMIT doubleClicked(); });

  points_.resize(1);
  row_labels_.resize(1);
  RebuildSeries();
  ApplyValueScale();
  ApplyCategoryScale();
}

ChartWidget::~ChartWidget() = default;

std::size_t ChartWidget::PointIndex(int row, int column) const {
  return static_cast<std::size_t>(column - 1) * static_cast<std::size_t>(rows_) + static_cast<std::size_t>(row - 1);
}

void ChartWidget::SetType(Type type) {
  if (type == type_) return;
  type_ = type;
  RebuildSeries();
}

void ChartWidget::SetRowCount(int rows) {
  rows = std::max(1, rows);
  if (rows == rows_) return;
  std::vector<Point> points(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns_));
  for (int c = 1; c <= columns_; ++c) {
    for (int r = 1; r <= std::min(rows, rows_); ++r) {
      points[static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(rows) + static_cast<std::size_t>(r - 1)] =
          points_[PointIndex(r, c)];
    }
  }
  points_ = std::move(points);
  rows_ = rows;
  row_labels_.resize(static_cast<std::size_t>(rows));
  current_row_ = std::min(current_row_, rows_);
  data_dirty_ = true;
  ApplyCategoryScale();
}

void ChartWidget::SetColumnCount(int columns) {
  columns = std::max(1, columns);
  if (columns == columns_) return;
  points_.resize(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows_));  // column by column
  columns_ = columns;
  current_column_ = std::min(current_column_, columns_);
  RebuildSeries();
}

void ChartWidget::SetCurrentRow(int row) {
  if (row >= 1 && row <= rows_) current_row_ = row;
}

void ChartWidget::SetCurrentColumn(int column) {
  if (column >= 1 && column <= columns_) current_column_ = column;
}

void ChartWidget::SetRowLabel(const QString& text) {
  QString& label = row_labels_.at(static_cast<std::size_t>(current_row_ - 1));
  if (label == text) return;
  label = text;
  Changed();
}

void ChartWidget::SetColumnLabel(const QString& text) {
  Series& series = series_.at(static_cast<std::size_t>(current_column_ - 1));
  if (series.label == text) return;
  series.label = text;
  series.plottable->setName(text);
  ApplyLegend();
}

void ChartWidget::SetDataPoint(int row, int column, double value, bool null) {
  if (row < 1 || row > rows_ || column < 1 || column > columns_) return;
  Point& point = points_[PointIndex(row, column)];
  if (point.null == null && (null || point.value == value)) {
    point.value = value;
    return;
  }
  point = {value, null};
  data_dirty_ = true;
  Changed();
}

std::optional<double> ChartWidget::DataPoint(int row, int column) const {
  if (row < 1 || row > rows_ || column < 1 || column > columns_) return std::nullopt;
  const Point& point = points_[PointIndex(row, column)];
  if (point.null) return std::nullopt;
  return point.value;
}

QString ChartWidget::ColumnLabel(int column) const {
  return column >= 1 && column <= columns_ ? series_[static_cast<std::size_t>(column - 1)].label : QString();
}

QString ChartWidget::RowLabel(int row) const {
  return row >= 1 && row <= rows_ ? row_labels_[static_cast<std::size_t>(row - 1)] : QString();
}

void ChartWidget::ShowLegend(bool on) {
  legend_on_ = on;
  ApplyLegend();
}

void ChartWidget::SetTitle(const QString& text) {
  if (text == title_text_) return;
  title_text_ = text;
  title_->setText(text);
  Changed();
}

void ChartWidget::SetValueScale(const ValueScale& scale) {
  value_scale_ = scale;
  ApplyValueScale();
}

void ChartWidget::SetCategoryScale(const CategoryScale& scale) {
  category_scale_ = scale;
  ApplyCategoryScale();
}

void ChartWidget::SetCategoryTitle(const QString& text) {
  plot_->xAxis->setLabel(text);
  Changed();
}

void ChartWidget::SetBackdropColor(const QColor& color) {
  plot_->setBackground(QBrush(color));
  Changed();
}

void ChartWidget::SetAxisColor(const QColor& color) {
  StyleAxis(plot_->xAxis, color);
  StyleAxis(plot_->yAxis, color);
  title_->setTextColor(color);
  plot_->legend->setTextColor(color);
  Changed();
}

void ChartWidget::Refresh() {
  dirty_ = true;
  Changed();
}

void ChartWidget::SuspendDrawing() { suspended_ = true; }

void ChartWidget::ResumeDrawing() {
  suspended_ = false;
  if (dirty_) Changed();
}

void ChartWidget::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (dirty_ && !suspended_) Changed();
}

// One replot in the next turn of the event loop, however many changes come
// before it; none while drawing is suspended or the chart is not on screen.
QImage ChartWidget::Picture() {
  if (dirty_ || data_dirty_) plot_->replot(QCustomPlot::rpImmediateRefresh);
  return grab().toImage();
}

void ChartWidget::Changed() {
  dirty_ = true;
  if (suspended_) return;
  if (immediate_) {
    plot_->replot(QCustomPlot::rpImmediateRefresh);
  } else if (isVisible()) {
    plot_->replot(QCustomPlot::rpQueuedReplot);
  }
}

void ChartWidget::RebuildSeries() {
  plot_->clearPlottables();
  series_.resize(static_cast<std::size_t>(columns_));
  QCPBarsGroup* group = nullptr;
  if (type_ == Type::kBar) {
    group = new QCPBarsGroup(plot_);
    group->setSpacing(0);
  }
  for (std::size_t c = 0; c < series_.size(); ++c) {
    Series& series = series_[c];
    const SeriesLook& look = LookOf(c);
    const QCPScatterStyle marker(look.shape, look.colour, look.colour, kMarkerSize);
    if (type_ == Type::kLine) {
      auto* line = plot_->addGraph();
      line->setPen(QPen(look.colour, 1));  // a wider pen costs Qt's stroker ten times the time
      line->setScatterStyle(marker);
      line->setScatterSkip(kMarkerEvery - 1);
      series.plottable = line;
      series.lone_points = plot_->addGraph();
      series.lone_points->setLineStyle(QCPGraph::lsNone);
      series.lone_points->setScatterStyle(marker);
      series.lone_points->removeFromLegend();
    } else {
      auto* bars = new QCPBars(plot_->xAxis, plot_->yAxis);
      bars->setPen(QPen(look.colour.darker(130), 1));
      bars->setBrush(look.colour);
      bars->setWidth(kBarShare / static_cast<double>(columns_));
      bars->setBarsGroup(group);
      series.plottable = bars;
      series.lone_points = nullptr;
    }
    series.plottable->setName(series.label);
  }
  data_dirty_ = true;
  ApplyLegend();
}

void ChartWidget::SyncData() {
  if (data_dirty_) SyncPoints();
  if (value_scale_.automatic) FitValueAxisToData();
}

void ChartWidget::SyncPoints() {
  data_dirty_ = false;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int c = 1; c <= columns_; ++c) {
    const Series& series = series_[static_cast<std::size_t>(c - 1)];
    if (type_ == Type::kLine) {
      QVector<QCPGraphData> line(rows_);
      QVector<QCPGraphData> lone;
      for (int r = 1; r <= rows_; ++r) {
        const Point& point = points_[PointIndex(r, c)];
        line[r - 1] = QCPGraphData(r, point.null ? nan : point.value);
        const bool before = r > 1 && !points_[PointIndex(r - 1, c)].null;
        const bool after = r < rows_ && !points_[PointIndex(r + 1, c)].null;
        if (!point.null && !before && !after) lone.append(QCPGraphData(r, point.value));
      }
      static_cast<QCPGraph*>(series.plottable)->data()->set(line, true);
      series.lone_points->data()->set(lone, true);
    } else {
      QVector<QCPBarsData> bars;
      for (int r = 1; r <= rows_; ++r) {
        const Point& point = points_[PointIndex(r, c)];
        if (!point.null) bars.append(QCPBarsData(r, point.value));
      }
      static_cast<QCPBars*>(series.plottable)->data()->set(bars, true);
    }
  }
}

void ChartWidget::ApplyValueScale() {
  auto* ticker = static_cast<ValueTicker*>(plot_->yAxis->ticker().data());
  ticker->scale = value_scale_;
  // An automatic axis is fitted to the data just before each replot.
  if (!value_scale_.automatic) plot_->yAxis->setRange(value_scale_.min, value_scale_.max);
  Changed();
}

// An automatic value axis spans the data, with the divisions asked for.
void ChartWidget::FitValueAxisToData() {
  bool any = false;
  QCPRange range;
  for (const Series& series : series_) {
    bool found = false;
    const QCPRange bounds = series.plottable->getValueRange(found);
    if (!found) continue;
    range = any ? QCPRange(std::min(range.lower, bounds.lower), std::max(range.upper, bounds.upper)) : bounds;
    any = true;
  }
  if (!any) range = QCPRange(0, 1);
  if (type_ == Type::kBar) range.lower = std::min(range.lower, 0.0);
  if (range.size() <= 0) range = QCPRange(range.lower - 0.5, range.upper + 0.5);
  auto* ticker = static_cast<ValueTicker*>(plot_->yAxis->ticker().data());
  ticker->scale.min = range.lower;
  ticker->scale.max = range.upper;
  plot_->yAxis->setRange(range);
}

void ChartWidget::ApplyCategoryScale() {
  auto* ticker = static_cast<CategoryTicker*>(plot_->xAxis->ticker().data());
  ticker->rows = rows_;
  const int automatic = std::max(1, (rows_ + 15) / 16);  // at most 16 labels
  ticker->label_spacing = category_scale_.automatic ? automatic : std::max(1, category_scale_.label_spacing);
  ticker->tick_spacing = category_scale_.automatic ? automatic : std::max(1, category_scale_.tick_spacing);
  plot_->xAxis->setRange(0.5, rows_ + 0.5);
  Changed();
}

void ChartWidget::ApplyLegend() {
  // Re-listed in column order, whatever order the labels were set in.
  plot_->legend->clearItems();
  bool any = false;
  for (const Series& series : series_) {
    if (!legend_on_ || series.label.isEmpty()) continue;
    series.plottable->addToLegend();
    any = true;
  }
  plot_->legend->setVisible(any);
  Changed();
}

}  // namespace quorvel
