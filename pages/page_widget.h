// A page of the main window. The window shows one page at a time and tells
// the page it switches to, so that a page can start what it needs then
// (the timer page reads the meter's timers, the settings page fills itself
// from the settings).
#pragma once

#include <QWidget>

#include <initializer_list>
#include <vector>

namespace quorvel {

class PageWidget : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;

  virtual void Entering() {}

 protected:
  // Tab and Shift+Tab go through the controls in this order: the order a
  // reader takes the page in, group by group, row by row.
  static void SetTabOrder(std::initializer_list<QWidget*> controls);
  static void SetTabOrder(const std::vector<QWidget*>& controls);
};

}  // namespace quorvel
