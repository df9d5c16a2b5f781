#include "widgets/arrow_pair.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace quorvel {
namespace {

QToolButton* Arrow(Qt::ArrowType type, const QString& name, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setArrowType(type);
  button->setAccessibleName(name);
  button->setToolTip(name);
  button->setAutoRepeat(true);
  button->setFocusPolicy(Qt::TabFocus);
  button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
  return button;
}

}  // namespace

ArrowPair::ArrowPair(const QString& up_name, const QString& down_name, QWidget* parent)
    : QWidget(parent), up_(Arrow(Qt::UpArrow, up_name, this)), down_(Arrow(Qt::DownArrow, down_name, this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  layout->addWidget(up_);
  layout->addWidget(down_);
  connect(up_, &QToolButton::clicked, this, [this] { Q_EMIT changed(-1); });
  connect(down_, &QToolButton::clicked, this, [this] { Q_EMIT changed(+1); });
}

}  // namespace quorvel
