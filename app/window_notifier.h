// Messages of the dashboard window: a message box with an OK button, modal
// for the window, opened without a nested event loop. Notify returns at
// once, so the decoder and the tick that call it from within a port's
// hand-off go on, and the ticks and other ports keep running while the box
// is open. A text already on screen is not opened a second time.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <map>
#include <string>

#include "model/notifier.h"

namespace quorvel {

class WindowNotifier : public Notifier {
 public:
  explicit WindowNotifier(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }

  void Notify(const Notice& notice) override;
  // Closes the box of that text, or keeps it from opening.
  void Withdraw(const std::string& text) override;

  // Texts on screen or about to be.
  std::size_t OpenCount() const { return open_.size(); }

 private:
  void Open(const Notice& notice);

  QPointer<QWidget> owner_;
  // Each text on screen, with its box once it is open.
  std::map<std::string, QPointer<QMessageBox>> open_;
};

}  // namespace quorvel
