// The artwork the windows rely on: every name compiled in and drawable, and the main window's
// background a proper shape (holes outside only).
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QSvgRenderer>
#include <deque>
#include <vector>

#include "resources/artwork.h"

namespace quorvel {
namespace {

// Each name with the size in pixels it is drawn for.
struct Art {
  const char16_t* name;
  int width;
  int height;
};

constexpr Art kArtwork[] = {
    {u"app-icon", 128, 128},
    {u"page-realtime", 64, 64},
    {u"page-timer", 64, 64},
    {u"page-settings", 64, 64},
    {u"exit", 64, 64},
    {u"user-manual", 128, 128},
    {u"comm-running", 48, 48},
    {u"comm-stopped", 48, 48},
    {u"convert-view", 48, 48},
    {u"time-download", 48, 48},
    {u"price-download", 48, 48},
    {u"price-load", 48, 48},
    {u"save-on", 48, 48},
    {u"save-off", 48, 48},
    {u"history-load", 48, 48},
    {u"limit-alarm", 48, 48},
    {u"co2-download", 48, 48},
    {u"follow-clock-on", 48, 48},
    {u"follow-clock-off", 48, 48},
    {u"timers-load", 48, 48},
    {u"timers-download", 48, 48},
    {u"check-on", 24, 24},
    {u"check-off", 24, 24},
    {u"save-ini", 48, 48},
    {u"limits-download", 48, 48},
    {u"limits-load", 48, 48},
    {u"folder-choose", 32, 32},
    {u"return-main", 48, 48},
    {u"add-data", 48, 48},
    {u"delete-data", 48, 48},
    {u"mode-realtime", 48, 48},
    {u"mode-history", 48, 48},
    {u"chart-mode", 48, 48},
    {u"text-mode", 48, 48},
    {u"save-excel-on", 48, 48},
    {u"save-excel-off", 48, 48},
    {u"com-running", 48, 48},
    {u"com-stopped", 48, 48},
    {u"save-bmp", 48, 48},
    {u"about-picture", 160, 120},
    {u"ok-normal", 80, 24},
    {u"ok-pressed", 80, 24},
    {u"main-background", 1000, 700},
    {u"chart-background", 1024, 768},
};

TEST(Artwork, EveryImageIsCompiledInAtItsSize) {
  for (const Art& art : kArtwork) {
    const QString name = QString::fromUtf16(art.name);
    QSvgRenderer renderer(ArtPath(name));
    ASSERT_TRUE(renderer.isValid()) << name.toStdString();
    EXPECT_EQ(renderer.defaultSize(), QSize(art.width, art.height)) << name.toStdString();
  }
  EXPECT_TRUE(ArtImage(u"no-such-image", {48, 48}).isNull());
  const QPixmap sharp = ArtPixmap(u"check-on", {24, 24}, 2.0);
  EXPECT_EQ(sharp.size(), QSize(48, 48));
  EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(24, 24));
}

// Pure white pixels become holes in the window: they must all lie outside the panel, that is
// be reachable from the image's border through white; the page area must hold none.
TEST(Artwork, MainBackgroundHasHolesOutsideTheShapeOnly) {
  const QImage image = ArtImage(u"main-background", {1000, 700}, Qt::white);
  ASSERT_FALSE(image.isNull());
  const int w = image.width();
  const int h = image.height();
  const auto white = [&](int x, int y) { return image.pixel(x, y) == qRgb(255, 255, 255); };

  for (const QPoint corner : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)}) {
    EXPECT_TRUE(white(corner.x(), corner.y())) << corner.x() << "," << corner.y();
  }
  for (int y = 116; y <= 690; ++y) {
    for (int x = 10; x <= 990; ++x) ASSERT_FALSE(white(x, y)) << "page area " << x << "," << y;
  }

  std::vector<bool> outside(static_cast<std::size_t>(w * h), false);
  std::deque<QPoint> todo;
  const auto reach = [&](int x, int y) {
    if (x < 0 || y < 0 || x >= w || y >= h || !white(x, y)) return;
    const auto at = static_cast<std::size_t>(y * w + x);
    if (outside[at]) return;
    outside[at] = true;
    todo.emplace_back(x, y);
  };
  for (int x = 0; x < w; ++x) {
    reach(x, 0);
    reach(x, h - 1);
  }
  for (int y = 0; y < h; ++y) {
    reach(0, y);
    reach(w - 1, y);
  }
  while (!todo.empty()) {
    const QPoint p = todo.front();
    todo.pop_front();
    reach(p.x() + 1, p.y());
    reach(p.x() - 1, p.y());
    reach(p.x(), p.y() + 1);
    reach(p.x(), p.y() - 1);
  }
  int holes_inside = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) holes_inside += white(x, y) && !outside[static_cast<std::size_t>(y * w + x)];
  }
  EXPECT_EQ(holes_inside, 0);
}

}  // namespace
}  // namespace quorvel

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
