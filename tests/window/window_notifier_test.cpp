// Message boxes of the window: opened later from the event loop, window
// modal, and never two of the same text at once.
#include "app/window_notifier.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QMessageBox>

#include "tests/support/spin.h"

namespace quorvel {
namespace {

TEST(WindowNotifier, ReturnsAtOnceAndStacksNoText) {
  QWidget owner;
  owner.show();
  WindowNotifier notifier(&owner);
  notifier.Notify({"", "Priceset success"});
  notifier.Notify({"", "Priceset success"});
  notifier.Notify({"", "Please Open Comm", NoticeIcon::kWarning});
  EXPECT_TRUE(owner.findChildren<QMessageBox*>().isEmpty());  // nothing opened inside the caller
  const auto boxes = [&] { return owner.findChildren<QMessageBox*>(); };
  ASSERT_TRUE(testing::SpinUntil([&] { return boxes().size() == 2; }));
  EXPECT_EQ(boxes().front()->windowModality(), Qt::WindowModal);
  boxes().front()->accept();
  EXPECT_TRUE(testing::SpinUntil([&] { return notifier.OpenCount() == 1; }));
  notifier.Notify({"", "Priceset success"});  // closed before: shown again
  EXPECT_EQ(notifier.OpenCount(), 2U);
}

// A box over a view whose labels are light on its dark backdrop keeps its
// own dark text.
TEST(WindowNotifier, ABoxKeepsItsDarkTextOverAViewWithLightLabels) {
  QWidget owner;
  owner.setStyleSheet(QStringLiteral("QLabel { color: #E8F3F1; background: transparent; }"));
  owner.show();
  WindowNotifier notifier(&owner);
  notifier.Notify({"", "BMP Save Success"});
  const auto boxes = [&] { return owner.findChildren<QMessageBox*>(); };
  ASSERT_TRUE(testing::SpinUntil([&] { return boxes().size() == 1 && boxes().front()->isVisible(); }));
  QLabel* text = nullptr;
  for (QLabel* label : boxes().front()->findChildren<QLabel*>()) {
    if (label->text() == QStringLiteral("BMP Save Success")) text = label;
  }
  ASSERT_NE(text, nullptr);
  const QImage picture = boxes().front()->grab(text->geometry()).toImage();
  int dark = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) dark += qGray(picture.pixel(x, y)) < 80 ? 1 : 0;
  }
  EXPECT_GT(dark, 20);
}

}  // namespace
}  // namespace quorvel
