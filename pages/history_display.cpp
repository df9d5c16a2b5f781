#include "pages/history_display.h"

#include <algorithm>

#include "pages/chart_rules.h"
#include "protocol/number_text.h"
#include "storage/spreadsheet_export.h"
#include "widgets/busy_indicator.h"
#include "widgets/chart_widget.h"

namespace quorvel {
namespace {

constexpr double kAxisMin = 0.0;
constexpr int kMajorDivisions = 5;
constexpr int kMinorDivisions = 3;

ChartWidget::ValueScale HistoryScale(double max) { return {false, kAxisMin, max, kMajorDivisions, kMinorDivisions}; }

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

HistoryDisplay::HistoryDisplay(DashboardOperations& operations, Notifier& notifier, ChartWidget& chart,
                               BusyIndicator& busy, std::function<bool()> text_shown, QObject* parent)
    : QObject(parent),
      ops_(operations),
      notifier_(notifier),
      chart_(chart),
      busy_(busy),
      text_shown_(std::move(text_shown)) {
  wait_timer_.setSingleShot(true);
  connect(&wait_timer_, &QTimer::timeout, this, &HistoryDisplay::WaitTimedOut);
}

HistoryDisplay::~HistoryDisplay() = default;

void HistoryDisplay::Reset(int view_slot) {
  EndWait();
  view_slot_ = view_slot;
  kind_ = HistoryKind::kNone;
  months_ = MonthColumns();
  active_ = false;
}

void HistoryDisplay::Enter() {
  active_ = true;
  const int year = ops_.Devices().Settings().ShownYear;
  chart_.SuspendDrawing();
  chart_.SetTitle(Text(HistoryTitle(view_slot_, year)));
  chart_.SetBackdropColor(Qt::white);
  chart_.SetAxisColor(Qt::black);
  chart_.SetType(ChartWidget::Type::kBar);
  chart_.ResumeDrawing();
  ApplyFrame(FrameOf(HistoryKind::kNone, view_slot_, months_));
  ShowHeaderOnly();
  if (kind_ != HistoryKind::kNone) ChooseForm(kind_);
}

void HistoryDisplay::Leave() {
  EndWait();
  active_ = false;
}

// The chart's frame for a form, every point empty, the smallest axis.
void HistoryDisplay::ApplyFrame(const HistoryFrame& frame) {
  chart_.SuspendDrawing();
  const int columns = static_cast<int>(frame.column_labels.size());
  chart_.SetColumnCount(columns);
  chart_.ShowLegend(true);
  for (int column = 1; column <= columns; ++column) {
    chart_.SetCurrentColumn(column);
    chart_.SetColumnLabel(Text(frame.column_labels[static_cast<std::size_t>(column - 1)]));
  }
  chart_.SetValueScale(HistoryScale(HistoryAxisMax(0.0)));
  chart_.SetRowCount(frame.rows);
  chart_.SetCategoryScale({false, 0, 0});
  chart_.SetCategoryTitle(Text(frame.category_title));
  for (int row = 1; row <= frame.rows; ++row) {
    chart_.SetCurrentRow(row);
    chart_.SetRowLabel(Text(Decimal(row)));
    for (int column = 1; column <= columns; ++column) chart_.SetDataPoint(row, column, 0.0, true);
  }
  chart_.Refresh();
  chart_.ResumeDrawing();
  chart_.setAccessibleDescription(
      Text(ChartDescription(chart_.Title().toStdString(), {kAxisMin, chart_.ValueMaximum()})));
}

void HistoryDisplay::ShowHeaderOnly() { lines_.setStringList({QString::fromLatin1(kHistoryHeaderLine)}); }

// The chart and the text list start empty: nothing of the form shown
// before stays while the new one waits or is refused.
void HistoryDisplay::ChooseForm(HistoryKind kind) {
  if (!active_ || kind == HistoryKind::kNone) return;
  ApplyFrame(FrameOf(kind, view_slot_, months_));
  ShowHeaderOnly();
  kind_ = kind;
  if (kind == HistoryKind::kByDay) {
    if (const auto refusal = FormRefusal(kind, months_)) {
      Tell(*refusal);
      return;
    }
    ApplyMonths();
    return;
  }
  RequestMonths({kMonths});
}

void HistoryDisplay::AddMonth(int month) {
  if (!active_ || kind_ != HistoryKind::kByDay) return;
  switch (months_.Add(month)) {
    case MonthColumns::AddOutcome::kNoFreeColumn:
      Tell(kNoFreeMonthColumnText);
      return;
    case MonthColumns::AddOutcome::kAlreadyChosen:
    case MonthColumns::AddOutcome::kNotAMonth:
      return;
    case MonthColumns::AddOutcome::kAdded:
      ApplyMonths();
      return;
  }
}

void HistoryDisplay::DeleteMonth(int month) {
  if (!active_ || kind_ != HistoryKind::kByDay) return;
  months_.Remove(month);
  ApplyMonths();
}

// The day form's columns follow the months; an empty column loses its bars.
void HistoryDisplay::ApplyMonths() {
  const HistoryFrame frame = FrameOf(HistoryKind::kByDay, view_slot_, months_);
  chart_.SuspendDrawing();
  for (int column = 1; column <= kMonthColumns; ++column) {
    chart_.SetCurrentColumn(column);
    chart_.SetColumnLabel(Text(frame.column_labels[static_cast<std::size_t>(column - 1)]));
    if (months_.MonthOf(column) != 0) continue;
    for (int row = 1; row <= kDaysPerMonthRow; ++row) chart_.SetDataPoint(row, column, 0.0, true);
  }
  chart_.ResumeDrawing();
  RequestMonths(MonthsToRequest(months_));
}

// The engine answers at once when the history is loaded, otherwise after a
// read of the twelve months; a closed slot gets no answer at all.
void HistoryDisplay::RequestMonths(const std::vector<int>& months) {
  StartWait();
  for (const int month : months) {
    if (!ops_.RequestHistory(view_slot_, month)) {
      EndWait();
      Tell("Please Open Comm", NoticeIcon::kWarning);
      return;
    }
  }
}

void HistoryDisplay::Ready(int slot) {
  if (!active_ || slot != view_slot_) return;
  Draw();
}

void HistoryDisplay::Draw() {
  const SlotData& data = ops_.Devices().Slot(view_slot_);
  const HistorySource source{view_slot_, ops_.Devices().Settings().ShownYear, &data.History, data.MonthsRead};
  const HistoryDrawing drawing = DrawHistory(kind_, source, months_);
  if (kind_ != HistoryKind::kNone) {
    if (text_shown_()) {
      QStringList lines;
      for (const std::string& line : drawing.lines) lines.append(Text(line));
      lines_.setStringList(lines);
    } else {
      DrawChart(drawing);
    }
  }
  EndWait();
}

void HistoryDisplay::DrawChart(const HistoryDrawing& drawing) {
  chart_.SuspendDrawing();
  const int columns = chart_.ColumnCount();
  for (int row = 1; row <= chart_.RowCount(); ++row) {
    for (int column = 1; column <= columns; ++column) chart_.SetDataPoint(row, column, 0.0, true);
  }
  for (int column = 1; column <= std::min(columns, static_cast<int>(drawing.column_labels.size())); ++column) {
    chart_.SetCurrentColumn(column);
    chart_.SetColumnLabel(Text(drawing.column_labels[static_cast<std::size_t>(column - 1)]));
  }
  for (const HistoryBar& bar : drawing.bars) chart_.SetDataPoint(bar.row, bar.column, bar.value, false);
  chart_.SetValueScale(HistoryScale(drawing.axis_max));
  chart_.Refresh();
  chart_.ResumeDrawing();
  chart_.setAccessibleDescription(Text(HistoryDescription(chart_.Title().toStdString(), kind_, drawing)));
}

void HistoryDisplay::SaveMonths() {
  if (!months_.Any()) {
    Tell(kPleaseSelectMonthText);
    return;
  }
  const std::string file = MonthFileName(ops_.CurrentSettings().File, view_slot_);
  for (const int month : months_.Months()) {
    if (month == 0) continue;
    const Status saved = ops_.SaveMonthData(view_slot_, month);
    Tell(MonthSaveText(month, saved.ok(), file, saved.text()),
         saved.ok() ? NoticeIcon::kInformation : NoticeIcon::kWarning);
  }
}

// --- The wait ------------------------------------------------------------------

void HistoryDisplay::StartWait() {
  if (!waiting_) busy_.Start(BusyOperation::kHistoryRead, kMonths);
  waiting_ = true;
  months_read_at_check_ = MonthsReadCount();
  wait_timer_.start(wait_bound_);
}

void HistoryDisplay::EndWait() {
  wait_timer_.stop();
  if (!waiting_) return;
  waiting_ = false;
  busy_.End(BusyOperation::kHistoryRead);
}

bool HistoryDisplay::Progress(int done, int total) {
  if (!waiting_) return false;
  busy_.Progress(BusyOperation::kHistoryRead, done, total);
  return true;
}

void HistoryDisplay::ReadEnded() {
  // The read was dropped before its end (the slot closed): the tick has said why.
  EndWait();
}

void HistoryDisplay::SlotLost(int slot) {
  if (slot == view_slot_) EndWait();
}

// A meter that still sends months is waited for; one that has sent nothing
// for the whole bound is not: the read ends there, once, and the form shows
// what came.
void HistoryDisplay::WaitTimedOut() {
  if (!waiting_) return;
  const int read = MonthsReadCount();
  if (read > months_read_at_check_) {
    months_read_at_check_ = read;
    wait_timer_.start(wait_bound_);
    return;
  }
  EndWait();
  ops_.EndHistoryRead(view_slot_);
  Draw();
  Tell(HistoryNoAnswerText(view_slot_), NoticeIcon::kWarning);
}

int HistoryDisplay::MonthsReadCount() const {
  const MonthsRead& read = ops_.Devices().Slot(view_slot_).MonthsRead;
  return static_cast<int>(std::count(read.begin(), read.end(), true));
}

void HistoryDisplay::Tell(const std::string& text, NoticeIcon icon) { notifier_.Notify(Notice{"", text, icon}); }

}  // namespace quorvel
