#include "app/window_notifier.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

namespace quorvel {
namespace {

QMessageBox::Icon BoxIcon(NoticeIcon icon) {
  switch (icon) {
    case NoticeIcon::kWarning:
      return QMessageBox::Warning;
    case NoticeIcon::kStop:
      return QMessageBox::Critical;
    case NoticeIcon::kInformation:
      break;
  }
  return QMessageBox::Information;
}

}  // namespace

void WindowNotifier::Notify(const Notice& notice) {
  if (!owner_) {
    std::fprintf(stderr, "%s\n", notice.text.c_str());
    return;
  }
  if (!open_.emplace(notice.text, nullptr).second) return;  // already on screen
  // Opened from the event loop, after the caller's hand-off has returned.
  QTimer::singleShot(0, owner_.data(), [this, notice] { Open(notice); });
}

void WindowNotifier::Withdraw(const std::string& text) {
  const auto found = open_.find(text);
  if (found == open_.end()) return;
  const QPointer<QMessageBox> box = found->second;
  open_.erase(found);
  if (box) box->done(QMessageBox::Ok);
}

void WindowNotifier::Open(const Notice& notice) {
  const auto entry = open_.find(notice.text);
  if (entry == open_.end() || entry->second) return;  // withdrawn before it opened
  const QString title =
      notice.title.empty() ? QGuiApplication::applicationDisplayName() : QString::fromStdString(notice.title);
  auto* box =
      new QMessageBox(BoxIcon(notice.icon), title, QString::fromStdString(notice.text), QMessageBox::Ok, owner_.data());
  box->setWindowModality(Qt::WindowModal);
  // Its own ink: a view's style for its labels (light on its dark backdrop)
  // would otherwise reach the box's text, light on light.
  box->setStyleSheet(QStringLiteral("QLabel { color: #0F2C38; background: transparent; }"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setAccessibleName(QString::fromStdString(notice.text));
  entry->second = box;
  QObject::connect(box, &QMessageBox::finished, box, [this, box, text = notice.text] {
    // Only its own entry: a withdrawn text may be on screen again in a new box.
    const auto found = open_.find(text);
    if (found != open_.end() && found->second == box) open_.erase(found);
  });
  box->open();
}

}  // namespace quorvel
