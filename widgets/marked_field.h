// A one-line field that turns red while its value is marked invalid, and
// back to its usual look when the mark is removed.
#pragma once

#include <QLineEdit>

namespace quorvel {

class MarkedField : public QLineEdit {
  Q_OBJECT

 public:
  explicit MarkedField(const QString& text = {}, QWidget* parent = nullptr);

  void SetMarked(bool marked);
  bool IsMarked() const { return marked_; }

 private:
  bool marked_ = false;
};

}  // namespace quorvel
