// Runs a key rule of key_rules.h on a line edit: the typed character goes to
// the rule before the field sees it, and the field takes what the rule
// decides.
#pragma once

#include <QKeyEvent>
#include <QLineEdit>

#include <functional>

#include "pages/key_rules.h"

namespace quorvel {

using KeyRule = std::function<KeyOutcome(const FieldEdit& edit, char32_t typed)>;

// True when the key was handled (dropped or applied by the rule); false lets
// the field have it: keys without a character (arrows, Home, Delete) and
// characters the rule passes.
bool ApplyKeyRule(QLineEdit& field, const QKeyEvent& key, const KeyRule& rule);

}  // namespace quorvel
