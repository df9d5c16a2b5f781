#include "resources/artwork.h"

#include <QPainter>
#include <QSvgRenderer>

namespace quorvel {

QString ArtPath(QStringView name) {
  QString path = QStringLiteral(":/quorvel/");
  path += name;
  path += u".svg";
  return path;
}

QIcon ArtIcon(QStringView name) {
  // QIcon picks its SVG engine from the file name and renders each requested size itself.
  return QIcon(ArtPath(name));
}

QImage ArtImage(QStringView name, QSize size, const QColor& fill) {
  QSvgRenderer renderer(ArtPath(name));
  if (!renderer.isValid() || size.isEmpty()) return {};
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(fill);
  QPainter painter(&image);
  renderer.render(&painter);
  return image;
}

QPixmap ArtPixmap(QStringView name, QSize size, qreal device_pixel_ratio) {
  const QImage image = ArtImage(name, (QSizeF(size) * device_pixel_ratio).toSize());
  if (image.isNull()) return {};
  QPixmap pixmap = QPixmap::fromImage(image);
  pixmap.setDevicePixelRatio(device_pixel_ratio);
  return pixmap;
}

}  // namespace quorvel
