// The program's own artwork: SVG images compiled in under the resource prefix /quorvel
// (resources/quorvel.qrc), drawn sharp at whatever size a widget asks for.
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringView>

namespace quorvel {

// ":/quorvel/<name>.svg"; ArtPath(u"comm-running") is ":/quorvel/comm-running.svg".
QString ArtPath(QStringView name);

// An icon that draws the SVG afresh at every size and device pixel ratio a button asks for.
QIcon ArtIcon(QStringView name);

// The image at `size` logical pixels, rendered at `device_pixel_ratio` so it stays crisp on
// high-density screens. Null when `name` is not compiled in.
QPixmap ArtPixmap(QStringView name, QSize size, qreal device_pixel_ratio = 1.0);

// The image at `size` pixels over `fill`. The main window's shape comes from
// ArtImage(u"main-background", {1000, 700}, Qt::white): its pure white pixels are the holes.
// Null when `name` is not compiled in.
QImage ArtImage(QStringView name, QSize size, const QColor& fill = Qt::transparent);

}  // namespace quorvel
