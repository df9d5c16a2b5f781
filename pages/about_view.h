// The About view: our page "ABOUT.HTM", compiled into the program with its
// images, in a light HTML view. Links that begin with "app:" are commands
// to the program, never pages: the view hands the text after "app:" to
// AppCommand. Every other link opens in the desktop's browser. The page's
// OK image shows itself pressed while the mouse button is held on it.
#pragma once

#include <QTextBrowser>

namespace quorvel {

class AboutView : public QTextBrowser {
  Q_OBJECT

 public:
  static const QUrl& PageUrl();  // qrc:/about/ABOUT.HTM

  explicit AboutView(QWidget* parent = nullptr);

  // What an "app:" link asks for ("ok" for the OK image). Nothing needs
  // doing in this program.
  virtual void AppCommand(const QString& command);

  bool OkImagePressed() const { return ok_pressed_; }

 protected:
  void doSetSource(const QUrl& url, QTextDocument::ResourceType type) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void FollowLink(const QUrl& url);
  void ShowOkImagePressed(bool pressed);

  bool ok_pressed_ = false;
};

}  // namespace quorvel
