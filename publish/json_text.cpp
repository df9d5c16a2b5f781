#include "publish/json_text.h"

#include <cmath>
#include <cstdint>

#include "model/names.h"
#include "protocol/number_text.h"

namespace quorvel::publish {
std::string JsonString(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string json = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<std::uint8_t>(text[i]);
    const std::size_t length = Utf8Length(text.substr(i));
    if (length == 0) {
      json += "\\ufffd";
      ++i;
    } else if (length > 1) {
      json.append(text.substr(i, length));
      i += length;
    } else {
      if (c == '"' || c == '\\') {
        json += '\\';
        json += static_cast<char>(c);
      } else if (c < 0x20 || c == 0x7F) {
        json += "\\u00";
        json += kHex[c >> 4];
        json += kHex[c & 0xFU];
      } else {
        json += static_cast<char>(c);
      }
      ++i;
    }
  }
  return json + "\"";
}

std::string JsonNumber(double value, int decimals) {
  if (!std::isfinite(value)) return "null";
  std::string text = Fixed(value, decimals);
  // "-0.0" is a number in JSON, but not one a reader expects.
  if (text.starts_with('-') && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

JsonObject& JsonObject::Raw(std::string_view key, const std::string& json) {
  text_ += text_.empty() ? "{" : ",";
  text_ += JsonString(key);
  text_ += ':';
  text_ += json;
  return *this;
}

std::string JsonArray(std::initializer_list<std::string> json_values) {
  std::string text = "[";
  for (const std::string& value : json_values) {
    if (text.size() > 1) text += ',';
    text += value;
  }
  return text + "]";
}

}  // namespace quorvel::publish
