#include "cli/output_text.h"

#include <cstdint>

#include "model/names.h"

namespace quorvel::cli {
namespace {

// "\u001b" for JSON, "\x1B" for the terminal.
std::string Escaped(bool json, unsigned value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  static constexpr char kUpper[] = "0123456789ABCDEF";
  std::string text = json ? "\\u00" : "\\x";
  const char* digits = json ? kDigits : kUpper;
  text += digits[(value >> 4) & 0xFU];
  text += digits[value & 0xFU];
  return text;
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<std::uint8_t>(text[i]);
    const std::size_t length = Utf8Length(text.substr(i));
    if (length == 0) {
      json += "\\ufffd";
      ++i;
      continue;
    }
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      case '\b':
        json += "\\b";
        break;
      case '\f':
        json += "\\f";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          json += Escaped(true, c);
        } else {
          json.append(text.substr(i, length));
        }
        break;
    }
    i += length;
  }
  return json + "\"";
}

JsonObject& JsonObject::Raw(const char* key, const std::string& json) {
  text_ += text_.empty() ? "{" : ",";
  text_ += JsonString(key);
  text_ += ":";
  text_ += json;
  return *this;
}

std::string Printable(std::string_view text) {
  std::string shown;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<std::uint8_t>(text[i]);
    const std::size_t length = Utf8Length(text.substr(i));
    // C0 and C1 controls (U+0080..U+009F, which some terminals obey) and
    // bytes that are not UTF-8 are shown, not sent.
    const bool c1 = length == 2 && c == 0xC2 && static_cast<std::uint8_t>(text[i + 1]) < 0xA0;
    if (length == 0 || c < 0x20 || c == 0x7F || c1) {
      for (std::size_t k = 0; k < (length == 0 ? 1 : length); ++k) {
        shown += Escaped(false, static_cast<std::uint8_t>(text[i + k]));
      }
      i += length == 0 ? 1 : length;
      continue;
    }
    shown.append(text.substr(i, length));
    i += length;
  }
  return shown;
}

}  // namespace quorvel::cli
