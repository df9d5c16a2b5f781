// Two small arrows, one above the other, that step a value: the up arrow
// reports a change of -1 and the down arrow +1, as an up-down control over
// its default range (which runs from 100 down to 0) does.
#pragma once

#include <QWidget>

class QToolButton;

namespace quorvel {

class ArrowPair : public QWidget {
  Q_OBJECT

 public:
  ArrowPair(const QString& up_name, const QString& down_name, QWidget* parent = nullptr);

  QToolButton* Up() const { return up_; }
  QToolButton* Down() const { return down_; }

 Q_SIGNALS:
  void changed(int change);

 private:
  QToolButton* up_;
  QToolButton* down_;
};

}  // namespace quorvel
