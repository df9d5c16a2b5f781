#include "cli/output_text.h"

#include <cstdint>

namespace quorvel::cli {
namespace {

// Length of the valid UTF-8 sequence at the start of `text`, or 0.
std::size_t Utf8Length(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  std::uint32_t code = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1FU;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0FU;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07U;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0U) != 0x80U) return 0;
    code = (code << 6) | (byte(i) & 0x3FU);
  }
  // No overlong forms, no surrogates, nothing beyond U+10FFFF.
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
  return length;
}

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
