// What a typed character does to the filtered fields of the pages,
// decided before the field sees it: the time and date fields overtype
// their digits and skip their separators, the price fields refuse a price
// of 1000 or more. Texts are UTF-8 and carets count characters. Control
// characters other than backspace (Tab, Shift+Tab, Ctrl+V...) always pass:
// a filtered field never keeps the keyboard's focus to itself.
#pragma once

#include <string>
#include <string_view>

namespace quorvel {

inline constexpr char32_t kBackspace = 0x08;

struct FieldEdit {
  std::string text;
  int caret = 0;  // 0-based position, in characters, before which the next character goes
};

enum class KeyVerdict {
  kPass,     // the field handles the character as usual
  kSwallow,  // the character is dropped
  kReplace,  // the field takes `edit` instead
};

struct KeyOutcome {
  KeyVerdict verdict = KeyVerdict::kPass;
  FieldEdit edit;  // for kReplace
};

// "09:30": digits overtype, the colon at position 2 is skipped; every other
// character, backspace too, is dropped.
KeyOutcome TypeIntoTimeField(const FieldEdit& field, char32_t typed, int max_length = 5);

// "2009/06/23": digits overtype, the separators at 4 and 7 are skipped;
// backspace is dropped; other characters pass.
KeyOutcome TypeIntoDateField(const FieldEdit& field, char32_t typed, int max_length = 10);

// Prices: digits, "." and backspace only, and only while the text with the
// character inserted at the caret reads as a number below 1000.
KeyOutcome TypeIntoPriceField(const FieldEdit& field, char32_t typed);

// A whole price text (pasted, dropped): digits and "." reading below 1000.
bool PriceTextAccepted(std::string_view text);

}  // namespace quorvel
