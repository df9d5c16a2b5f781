#include "widgets/marked_field.h"

#include <QComboBox>

namespace quorvel {

MarkedField::MarkedField(const QString& text, QWidget* parent) : QLineEdit(text, parent) {}

void MarkedField::SetMarked(bool marked) {
  if (marked == marked_) return;
  marked_ = marked;
  // The field's own style sheet wins over the page's.
  setStyleSheet(marked ? QStringLiteral("QLineEdit { background-color: rgb(255, 0, 0); color: black; }") : QString());
}

void SetListMarked(QComboBox& list, bool marked) {
  if (list.property("marked").toBool() == marked) return;
  list.setProperty("marked", marked);
  list.setStyleSheet(marked ? QStringLiteral("QComboBox { background-color: rgb(255, 0, 0); color: black; }")
                            : QString());
}

}  // namespace quorvel
