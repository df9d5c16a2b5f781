#include "pages/page_widget.h"

namespace quorvel {

void PageWidget::SetTabOrder(std::initializer_list<QWidget*> controls) { SetTabOrder(std::vector<QWidget*>(controls)); }

void PageWidget::SetTabOrder(const std::vector<QWidget*>& controls) {
  QWidget* previous = nullptr;
  for (QWidget* control : controls) {
    if (previous != nullptr) QWidget::setTabOrder(previous, control);
    previous = control;
  }
}

}  // namespace quorvel
