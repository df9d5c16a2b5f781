#include "widgets/image_button.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "resources/artwork.h"

namespace quorvel {

ImageButton::ImageButton(const QString& image, const QString& tip, QSize size, QSize hover_size, QWidget* parent)
    : QAbstractButton(parent), size_(size), hover_size_(hover_size.expandedTo(size)) {
  images_[0] = images_[1] = image;
  setFixedSize(hover_size_);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  setAccessibleName(tip);
  SetTip(tip);
}

void ImageButton::SetSecondImage(const QString& image) {
  images_[1] = image;
  cache_[1][0] = cache_[1][1] = QPixmap();
  update();
}

void ImageButton::SetActionNames(const QString& first, const QString& second) {
  action_names_[0] = first;
  action_names_[1] = second;
  setAccessibleName(action_names_[second_shown_ ? 1 : 0]);
}

void ImageButton::ShowSecondImage(bool second) {
  if (second == second_shown_) return;
  second_shown_ = second;
  if (!action_names_[0].isEmpty()) setAccessibleName(action_names_[second ? 1 : 0]);
  update();
}

void ImageButton::SetImageShown(bool shown) {
  if (shown == image_shown_) return;
  image_shown_ = shown;
  update();
}

void ImageButton::SetTip(const QString& tip) {
  setToolTip(tip);
  setAccessibleDescription(tip);
}

const QPixmap& ImageButton::Pixmap(bool hovered) {
  const qreal ratio = devicePixelRatioF();
  if (ratio != cache_ratio_) {
    for (auto& pair : cache_) pair[0] = pair[1] = QPixmap();
    cache_ratio_ = ratio;
  }
  const int which = second_shown_ ? 1 : 0;
  QPixmap& pixmap = cache_[which][hovered ? 1 : 0];
  if (pixmap.isNull()) pixmap = ArtPixmap(images_[which], hovered ? hover_size_ : size_, ratio);
  return pixmap;
}

void ImageButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (image_shown_) {
    const QPixmap& pixmap = Pixmap(hovered_ && isEnabled());
    const QSize logical = (QSizeF(pixmap.size()) / pixmap.devicePixelRatio()).toSize();
    QPoint at((width() - logical.width()) / 2, (height() - logical.height()) / 2);
    if (isDown()) at += QPoint(1, 1);
    if (!isEnabled()) painter.setOpacity(0.45);
    painter.drawPixmap(at, pixmap);
  }
  if (hasFocus()) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
}

void ImageButton::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

}  // namespace quorvel
