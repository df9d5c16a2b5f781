#include "pages/field_keys.h"

namespace quorvel {

bool ApplyKeyRule(QLineEdit& field, const QKeyEvent& key, const KeyRule& rule) {
  char32_t typed = 0;
  if (key.key() == Qt::Key_Backspace) {
    typed = kBackspace;
  } else if (!key.text().isEmpty()) {
    typed = static_cast<char32_t>(key.text().toUcs4().value(0));
  } else {
    return false;
  }
  field.deselect();
  const KeyOutcome outcome = rule({field.text().toStdString(), field.cursorPosition()}, typed);
  if (outcome.verdict == KeyVerdict::kPass) return false;
  if (outcome.verdict == KeyVerdict::kReplace) {
    const QString text = QString::fromStdString(outcome.edit.text);
    if (field.text() != text) field.setText(text);
    field.setCursorPosition(outcome.edit.caret);
  }
  return true;
}

}  // namespace quorvel
