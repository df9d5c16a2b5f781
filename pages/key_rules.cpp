#include "pages/key_rules.h"

#include <algorithm>

#include "pages/field_text.h"
#include "protocol/number_text.h"

namespace quorvel {
namespace {

constexpr double kPriceLimit = 1000.0;

bool IsDigit(char32_t c) { return IsAsciiDigit(c); }

// Tab, Shift+Tab, shortcuts: not for the rules.
bool IsControl(char32_t c) { return c != kBackspace && (c < 0x20 || c == 0x7F); }

int Clamped(int caret, std::size_t length) { return std::clamp(caret, 0, static_cast<int>(length)); }

// The digit replaces the character at the caret, after the caret has
// jumped over a separator; at the end of a full field nothing changes.
KeyOutcome Overtype(const FieldEdit& field, char32_t digit, int max_length, std::initializer_list<int> separators) {
  std::u32string text = Characters(field.text);
  int caret = Clamped(field.caret, text.size());
  if (std::find(separators.begin(), separators.end(), caret) != separators.end()) ++caret;
  caret = Clamped(caret, text.size());
  const auto at = static_cast<std::size_t>(caret);
  if (at < text.size()) text.erase(at, 1);
  if (static_cast<int>(text.size()) >= max_length)
    return {KeyVerdict::kReplace, field};  // a full field takes nothing more
  text.insert(at, 1, digit);
  return {KeyVerdict::kReplace, {Utf8(text), caret + 1}};
}

}  // namespace

KeyOutcome TypeIntoTimeField(const FieldEdit& field, char32_t typed, int max_length) {
  if (IsControl(typed)) return {KeyVerdict::kPass, {}};
  if (!IsDigit(typed)) return {KeyVerdict::kSwallow, {}};
  return Overtype(field, typed, max_length, {2});
}

KeyOutcome TypeIntoDateField(const FieldEdit& field, char32_t typed, int max_length) {
  if (IsControl(typed)) return {KeyVerdict::kPass, {}};
  if (typed == kBackspace) return {KeyVerdict::kSwallow, {}};
  if (!IsDigit(typed)) return {KeyVerdict::kPass, {}};
  return Overtype(field, typed, max_length, {4, 7});
}

KeyOutcome TypeIntoPriceField(const FieldEdit& field, char32_t typed) {
  if (IsControl(typed)) return {KeyVerdict::kPass, {}};
  if (!IsDigit(typed) && typed != U'.' && typed != kBackspace) return {KeyVerdict::kSwallow, {}};
  std::u32string after = Characters(field.text);
  after.insert(static_cast<std::size_t>(Clamped(field.caret, after.size())), 1, typed);
  if (ReadDecimalNumber(Utf8(after)) >= kPriceLimit) return {KeyVerdict::kSwallow, {}};
  return {KeyVerdict::kPass, {}};
}

bool PriceTextAccepted(std::string_view text) {
  const bool plain =
      std::all_of(text.begin(), text.end(), [](char c) { return IsDigit(static_cast<char32_t>(c)) || c == '.'; });
  return plain && ReadDecimalNumber(text) < kPriceLimit;
}

}  // namespace quorvel
