#include "pages/field_text.h"

#include <algorithm>

#include "protocol/number_text.h"

namespace quorvel {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr int kLastHour = 24;
constexpr int kLastMinute = 59;

// The length of the character a lead byte starts, 0 for a byte that starts none.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The character at `at` and its length in bytes (1 for a malformed byte).
std::pair<char32_t, std::size_t> Decode(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = SequenceLength(lead);
  if (length == 0 || at + length > text.size()) return {kReplacement, 1};
  if (length == 1) return {lead, 1};
  auto c = static_cast<char32_t>(lead & (0xFFU >> (length + 1)));
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[at + i]);
    if (!IsContinuation(byte)) return {kReplacement, 1};
    c = (c << 6) | static_cast<char32_t>(byte & 0x3FU);
  }
  // Overlong forms, surrogates and code points past U+10FFFF are malformed.
  const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < smallest[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return {kReplacement, 1};
  return {c, length};
}

}  // namespace

std::u32string Characters(std::string_view utf8) {
  std::u32string characters;
  for (std::size_t at = 0; at < utf8.size();) {
    const auto [c, length] = Decode(utf8, at);
    characters.push_back(c);
    at += length;
  }
  return characters;
}

std::string Utf8(std::u32string_view characters) {
  std::string text;
  for (char32_t c : characters) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    if (c < 0x80) {
      text.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      text.push_back(static_cast<char>(0xC0 | (c >> 6)));
      text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      text.push_back(static_cast<char>(0xE0 | (c >> 12)));
      text.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      text.push_back(static_cast<char>(0xF0 | (c >> 18)));
      text.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      text.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return text;
}

std::string FirstCharacters(std::string_view utf8, std::size_t count) {
  std::size_t at = 0;
  for (std::size_t n = 0; n < count && at < utf8.size(); ++n) at += Decode(utf8, at).second;
  return std::string(utf8.substr(0, at));
}

bool HasForm(std::string_view text, std::string_view form) {
  // The form is ASCII: a byte of a longer character never matches it.
  if (text.size() != form.size()) return false;
  for (std::size_t i = 0; i < form.size(); ++i) {
    const bool matches = form[i] == 'd' ? IsAsciiDigit(static_cast<unsigned char>(text[i])) : text[i] == form[i];
    if (!matches) return false;
  }
  return true;
}

std::optional<int> DigitsValue(std::string_view text, std::size_t max_digits) {
  if (text.empty() || text.size() > max_digits) return std::nullopt;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return IsAsciiDigit(static_cast<unsigned char>(c)); })) {
    return std::nullopt;
  }
  return ReadDecimalInteger(text);
}

std::optional<double> DecimalValue(std::string_view text) {
  std::size_t digits = 0;
  std::size_t points = 0;
  for (const char c : text) {
    if (IsAsciiDigit(static_cast<unsigned char>(c))) {
      ++digits;
    } else if (c == '.') {
      ++points;
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0 || points > 1) return std::nullopt;
  return ReadDecimalNumber(text);
}

std::optional<TimeOfDay> ReadTimeOfDay(std::string_view text) {
  if (!HasForm(text, "dd:dd")) return std::nullopt;
  const TimeOfDay time{ReadDecimalInteger(text.substr(0, 2)), ReadDecimalInteger(text.substr(3, 2))};
  if (time.hour > kLastHour || time.minute > kLastMinute) return std::nullopt;
  return time;
}

}  // namespace quorvel
