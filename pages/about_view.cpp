#include "pages/about_view.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>

namespace quorvel {
namespace {

const QString kAppScheme = QStringLiteral("app:");
const QString kOkUp = QStringLiteral("OKUP.GIF");
const QString kOkDown = QStringLiteral("OKDN.GIF");

bool IsAppLink(const QString& link) { return link.startsWith(kAppScheme, Qt::CaseInsensitive); }

}  // namespace

const QUrl& AboutView::PageUrl() {
  static const QUrl url(QStringLiteral("qrc:/about/ABOUT.HTM"));
  return url;
}

AboutView::AboutView(QWidget* parent) : QTextBrowser(parent) {
  setObjectName(QStringLiteral("AboutView"));
  setAccessibleName(QStringLiteral("About"));
  // Links are followed here, not by the browser: an "app:" link must never
  // become a page.
  setOpenLinks(false);
  setOpenExternalLinks(false);
  document()->setUndoRedoEnabled(false);
  connect(this, &QTextBrowser::anchorClicked, this, &AboutView::FollowLink);
  setSource(PageUrl(), QTextDocument::HtmlResource);
}

void AboutView::AppCommand(const QString&) {}

void AboutView::doSetSource(const QUrl& url, QTextDocument::ResourceType type) {
  if (IsAppLink(url.toString())) {
    AppCommand(url.toString().mid(kAppScheme.size()));
    return;
  }
  QTextBrowser::doSetSource(url, type);
}

void AboutView::FollowLink(const QUrl& url) {
  if (IsAppLink(url.toString())) {
    AppCommand(url.toString().mid(kAppScheme.size()));
  } else {
    QDesktopServices::openUrl(url);
  }
}

void AboutView::mousePressEvent(QMouseEvent* event) {
  QTextBrowser::mousePressEvent(event);
  if (event->button() == Qt::LeftButton && IsAppLink(anchorAt(event->position().toPoint()))) ShowOkImagePressed(true);
}

void AboutView::mouseReleaseEvent(QMouseEvent* event) {
  // Released first, so that the image is up again whatever the click does.
  if (event->button() == Qt::LeftButton) ShowOkImagePressed(false);
  QTextBrowser::mouseReleaseEvent(event);
}

// Swaps the OK image's picture in the document, keeping its link and size.
void AboutView::ShowOkImagePressed(bool pressed) {
  if (pressed == ok_pressed_) return;
  ok_pressed_ = pressed;
  const QString from = pressed ? kOkUp : kOkDown;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      QTextImageFormat image = fragment.charFormat().toImageFormat();
      if (!image.isValid() || image.name() != from) continue;
      image.setName(pressed ? kOkDown : kOkUp);
      QTextCursor cursor(document());
      cursor.setPosition(fragment.position());
      cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      cursor.setCharFormat(image);
      return;
    }
  }
}

}  // namespace quorvel
