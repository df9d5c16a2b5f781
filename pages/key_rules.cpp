#include "pages/key_rules.h"

#include <algorithm>

#include "protocol/number_text.h"

namespace quorvel {
namespace {

constexpr double kPriceLimit = 1000.0;

bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

// The digit replaces the character at the caret, after the caret has
// jumped over a separator; at the end of a full field nothing changes.
KeyOutcome Overtype(const FieldEdit& field, char32_t digit, int max_length, std::initializer_list<int> separators) {
  FieldEdit edit = field;
  edit.caret = std::clamp(edit.caret, 0, static_cast<int>(edit.text.size()));
  if (std::find(separators.begin(), separators.end(), edit.caret) != separators.end()) ++edit.caret;
  edit.caret = std::min(edit.caret, static_cast<int>(edit.text.size()));
  const auto at = static_cast<std::size_t>(edit.caret);
  if (at < edit.text.size()) edit.text.erase(at, 1);
  if (static_cast<int>(edit.text.size()) < max_length) {
    edit.text.insert(at, 1, static_cast<char>(digit));
    ++edit.caret;
  } else {
    edit.text = field.text;  // a full field takes nothing more
  }
  return {KeyVerdict::kReplace, edit};
}

}  // namespace

KeyOutcome TypeIntoTimeField(const FieldEdit& field, char32_t typed, int max_length) {
  if (!IsDigit(typed)) return {KeyVerdict::kSwallow, {}};
  return Overtype(field, typed, max_length, {2});
}

KeyOutcome TypeIntoDateField(const FieldEdit& field, char32_t typed, int max_length) {
  if (typed == kBackspace) return {KeyVerdict::kSwallow, {}};
  if (!IsDigit(typed)) return {KeyVerdict::kPass, {}};
  return Overtype(field, typed, max_length, {4, 7});
}

KeyOutcome TypeIntoPriceField(const FieldEdit& field, char32_t typed) {
  if (!IsDigit(typed) && typed != U'.' && typed != kBackspace) return {KeyVerdict::kSwallow, {}};
  std::string after = field.text;
  after.insert(std::min(static_cast<std::size_t>(std::max(field.caret, 0)), after.size()), 1, static_cast<char>(typed));
  if (ReadDecimalNumber(after) >= kPriceLimit) return {KeyVerdict::kSwallow, {}};
  return {KeyVerdict::kPass, {}};
}

bool PriceTextAccepted(std::string_view text) {
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) { return IsDigit(static_cast<char32_t>(c)) || c == '.'; });
  return plain && ReadDecimalNumber(text) < kPriceLimit;
}

}  // namespace quorvel
