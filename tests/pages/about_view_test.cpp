// The About view shows our page with its images, and an "app:" link is a
// command to the program, never a page.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTextDocument>

#include "pages/about_view.h"
#include "tests/support/spin.h"

namespace quorvel {
namespace {

class RecordingAboutView : public AboutView {
 public:
  void AppCommand(const QString& command) override { commands << command; }
  QStringList commands;
};

void SendMouse(QWidget* target, QEvent::Type type, QPoint at) {
  QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

TEST(AboutView, ShowsOurPageWithItsPictures) {
  AboutView view;
  EXPECT_EQ(view.source(), AboutView::PageUrl());
  EXPECT_TRUE(view.toPlainText().contains(QStringLiteral("QUORVEL Digital Dashboard")));
  for (const char* name : {"PD.JPG", "OKUP.GIF", "OKDN.GIF"}) {
    const QVariant image = view.loadResource(QTextDocument::ImageResource, QUrl(QString::fromLatin1(name)));
    EXPECT_FALSE(QImage::fromData(image.toByteArray()).isNull()) << name;
  }
}

TEST(AboutView, TheOkLinkIsACommandAndItsImageSinksWhileHeld) {
  RecordingAboutView view;
  view.resize(520, 320);
  view.show();
  testing::Spin(50);
  QPoint ok(-1, -1);
  for (int y = 0; y < view.viewport()->height() && ok.x() < 0; y += 2) {
    for (int x = 0; x < view.viewport()->width(); x += 4) {
      if (view.anchorAt({x, y}) == QStringLiteral("app:ok")) {
        ok = {x, y};
        break;
      }
    }
  }
  ASSERT_GE(ok.x(), 0) << "the OK image is not on the page";

  SendMouse(view.viewport(), QEvent::MouseButtonPress, ok);
  EXPECT_TRUE(view.OkImagePressed());
  SendMouse(view.viewport(), QEvent::MouseButtonRelease, ok);
  EXPECT_FALSE(view.OkImagePressed());
  EXPECT_EQ(view.commands, QStringList{QStringLiteral("ok")});
  EXPECT_EQ(view.source(), AboutView::PageUrl());  // not navigated

  view.setSource(QUrl(QStringLiteral("app:help")));
  EXPECT_EQ(view.commands.back(), QStringLiteral("help"));
  EXPECT_EQ(view.source(), AboutView::PageUrl());
}

}  // namespace
}  // namespace quorvel
