// Message boxes of the window: opened later from the event loop, window
// modal, and never two of the same text at once.
#include "app/window_notifier.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quorvel
