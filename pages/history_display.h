// The chart view's history mode: the day, week and month energy of the
// view's own device, as bars on the current chart or as lines of text, the
// months of the day form, the wait for a history read and the export of the
// chosen months. The chart view owns it and hands it the user's actions and
// the engine's news; what to draw comes from history_rules.
//
// The wait for a history read always ends: when the history is ready, when
// the read is dropped (the slot closed), or when no month has come for a
// while, which the user is told and which ends the read. Once a read has
// ended, every form draws what it brought without reading again.
#pragma once

#include <QObject>
#include <QStringListModel>
#include <QTimer>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "device/dashboard_operations.h"
#include "model/notifier.h"
#include "pages/history_rules.h"

namespace quorvel {

class BusyIndicator;
class ChartWidget;

inline constexpr std::chrono::milliseconds kHistoryWaitBound{20'000};

class HistoryDisplay : public QObject {
  Q_OBJECT

 public:
  // `chart` is the current chart, which history mode takes over; `busy`
  // shows the wait; `text_shown` says whether the text list is shown
  // rather than the chart.
  HistoryDisplay(DashboardOperations& operations, Notifier& notifier, ChartWidget& chart, BusyIndicator& busy,
                 std::function<bool()> text_shown, QObject* parent = nullptr);
  ~HistoryDisplay() override;

  // A new opening of the view: no form, no months.
  void Reset(int view_slot);
  // History mode starts: the chart's title, frame and axis; the text list
  // holds the header line. The form chosen before is drawn again.
  void Enter();
  // Nothing more is awaited when real-time mode returns.
  void Leave();

  void ChooseForm(HistoryKind kind);
  // Draw the chosen form again, in chart or text form as now shown.
  void Redraw() { ChooseForm(kind_); }
  void AddMonth(int month);
  void DeleteMonth(int month);
  // Save to Excel: each chosen month, one message per month.
  void SaveMonths();

  // From the engine: the slot's history is ready; the history read's
  // progress; the read ended or was dropped; the slot's device went away.
  void Ready(int slot);
  // Shown while the view waits; false when it does not.
  bool Progress(int done, int total);
  void ReadEnded();
  void SlotLost(int slot);

  HistoryKind Kind() const { return kind_; }
  const MonthColumns& Months() const { return months_; }
  bool Waiting() const { return waiting_; }
  QStringListModel& Lines() { return lines_; }
  void SetWaitBound(std::chrono::milliseconds bound) { wait_bound_ = bound; }

 private:
  void ApplyFrame(const HistoryFrame& frame);
  void ApplyMonths();
  void RequestMonths(const std::vector<int>& months);
  void Draw();
  void DrawChart(const HistoryDrawing& drawing);
  void ShowHeaderOnly();
  void StartWait();
  void EndWait();
  void WaitTimedOut();
  int MonthsReadCount() const;
  void Tell(const std::string& text, NoticeIcon icon = NoticeIcon::kInformation);

  DashboardOperations& ops_;
  Notifier& notifier_;
  ChartWidget& chart_;
  BusyIndicator& busy_;
  std::function<bool()> text_shown_;
  QStringListModel lines_;
  QTimer wait_timer_;
  std::chrono::milliseconds wait_bound_ = kHistoryWaitBound;

  int view_slot_ = 0;
  HistoryKind kind_ = HistoryKind::kNone;
  MonthColumns months_;
  bool active_ = false;  // history mode is shown
  bool waiting_ = false;
  int months_read_at_check_ = 0;
};

}  // namespace quorvel
