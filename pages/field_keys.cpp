#include "pages/field_keys.h"

#include <algorithm>

namespace quorvel {
namespace {

// A line edit's positions count UTF-16 units; the rules count characters.
int CharactersBefore(const QString& text, int position) {
  return static_cast<int>(text.left(position).toUcs4().size());
}

int PositionAfter(const QString& text, int characters) {
  const QList<uint> all = text.toUcs4();
  const auto count = std::clamp<qsizetype>(characters, 0, all.size());
  return static_cast<int>(QString::fromUcs4(reinterpret_cast<const char32_t*>(all.constData()), count).size());
}

}  // namespace

bool ApplyKeyRule(QLineEdit& field, const QKeyEvent& key, const KeyRule& rule) {
  // Shortcuts (Ctrl+V, Alt+letter) are the field's and the window's; what
  // they put in the field is checked when a request is built.
  if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  char32_t typed = 0;
  if (key.key() == Qt::Key_Backspace) {
    typed = kBackspace;
  } else if (!key.text().isEmpty()) {
    typed = static_cast<char32_t>(key.text().toUcs4().value(0));
  } else {
    return false;
  }
  // The rule sees the character go in at the caret, so it goes in there.
  field.deselect();
  const QString before = field.text();
  const KeyOutcome outcome = rule({before.toStdString(), CharactersBefore(before, field.cursorPosition())}, typed);
  if (outcome.verdict == KeyVerdict::kPass) return false;
  if (outcome.verdict == KeyVerdict::kReplace) {
    const QString text = QString::fromStdString(outcome.edit.text);
    if (field.text() != text) field.setText(text);
    field.setCursorPosition(PositionAfter(text, outcome.edit.caret));
  }
  return true;
}

}  // namespace quorvel
