// The timer page: the meter's twenty on/off timers in two columns of ten
// rows (tick box with its "TimerN" label, on time, off time, day pattern).
// It reads all twenty from the selected meter and writes the ticked, valid
// rows back; the tick sends one timer a second. What it decides sits in
// timer_rules; the rows read from the meter arrive through ShowTimer.
#pragma once

#include <array>

#include "device/dashboard_operations.h"
#include "model/display.h"
#include "pages/page_widget.h"
#include "pages/timer_rules.h"

class QCheckBox;
class QComboBox;
class QGridLayout;

namespace quorvel {

class ImageButton;
class MarkedField;

class TimerPage : public PageWidget {
  Q_OBJECT

 public:
  explicit TimerPage(DashboardOperations& operations, QWidget* parent = nullptr);

  // Shown by the window's timer button: the twenty timers are read.
  void Entering() override;

  // A timer read from the meter fills its row's times and day pattern; its
  // tick box stays as the user left it.
  void ShowTimer(int timer, const TimerTexts& texts);

 Q_SIGNALS:
  // A long operation was asked for; the tick reports its progress.
  void longOperationStarted(quorvel::BusyOperation operation, int total);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Row {
    QCheckBox* enabled = nullptr;  // its text "TimerN" toggles it too
    MarkedField* on = nullptr;
    MarkedField* off = nullptr;
    QComboBox* days = nullptr;
  };

  void BuildColumn(QGridLayout* grid, int first_timer);
  void OnTicked(int timer, bool ticked);
  void OnLoad();
  void OnDownload();
  void ApplyMarks();
  bool FilterTypedKey(QObject* watched, const QKeyEvent& key);

  DashboardOperations& ops_;
  TimerMarks marks_;
  std::array<Row, kTimerCount> rows_{};
  ImageButton* load_ = nullptr;
  ImageButton* download_ = nullptr;
};

}  // namespace quorvel
