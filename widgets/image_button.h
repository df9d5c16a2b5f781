// A flat button that is nothing but an image of our artwork: drawn at one
// size, a little larger under the pointer. A second image shows the other
// state of a two-state button (running / stopped, saving / not saving).
// Its accessible name is its first tooltip, unless a two-state button names
// what a press does while each image is shown; the tooltip of the moment is
// its accessible description.
#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace quorvel {

class ImageButton : public QAbstractButton {
  Q_OBJECT

 public:
  ImageButton(const QString& image, const QString& tip, QSize size, QSize hover_size, QWidget* parent = nullptr);

  void SetSecondImage(const QString& image);
  // The accessible names while the first and the second image are shown:
  // what pressing the button does then ("Comm Start", "Comm Stop").
  void SetActionNames(const QString& first, const QString& second);
  // Shows the second image (true) or the first.
  void ShowSecondImage(bool second);
  bool ShowsSecondImage() const { return second_shown_; }
  // No image at all (the blinking limit indicator between its flashes).
  void SetImageShown(bool shown);
  bool ImageShown() const { return image_shown_; }

  // The tooltip and the accessible description.
  void SetTip(const QString& tip);

  QSize sizeHint() const override { return hover_size_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  const QPixmap& Pixmap(bool hovered);

  QString images_[2];
  QString action_names_[2];
  QPixmap cache_[2][2];  // [image][hovered]
  qreal cache_ratio_ = 0;
  QSize size_;
  QSize hover_size_;
  bool second_shown_ = false;
  bool image_shown_ = true;
  bool hovered_ = false;
};

}  // namespace quorvel
