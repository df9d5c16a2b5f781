// A one-line field that turns red while its value is marked invalid, and
// back to its usual look when the mark is removed; and a list marked the
// same way. Black on the red reads at 5.3:1 (white would at 4:1).
#pragma once

#include <QLineEdit>

class QComboBox;

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

// The list's "marked" property says whether it is marked.
void SetListMarked(QComboBox& list, bool marked);

}  // namespace quorvel
