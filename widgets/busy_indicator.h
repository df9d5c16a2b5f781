// The progress of the long operations (history read, timer read and write)
// in the window's header, and of a history read in the chart view: "Reading
// history" over a bar saying "3 of 12", and the wait cursor while any runs.
// The cursor only changes its look: nothing grabs the mouse, so the window
// stays usable (Exit above all).
#pragma once

#include <QWidget>

#include <set>

#include "model/display.h"

class QLabel;
class QProgressBar;

namespace quorvel {

class BusyIndicator : public QWidget {
  Q_OBJECT

 public:
  explicit BusyIndicator(QWidget* parent = nullptr);
  ~BusyIndicator() override;

  void Start(BusyOperation operation, int total);
  void Progress(BusyOperation operation, int done, int total);
  void End(BusyOperation operation);
  void EndAll();

  bool Running() const { return !running_.empty(); }
  QString Text() const;

 private:
  void Show(BusyOperation operation, int done, int total);

  std::set<BusyOperation> running_;  // each holds one wait cursor
  QLabel* label_;
  QProgressBar* bar_;
};

}  // namespace quorvel
