// The JSON the publisher writes: objects built key by key in a fixed order,
// numbers with the decimals the dashboard shows them with.
#pragma once

#include <string>
#include <string_view>

namespace quorvel::publish {

// A JSON string, quotes included: quote, backslash and control characters
// escaped, bytes that are not UTF-8 replaced by U+FFFD.
std::string JsonString(std::string_view text);

// A number with `decimals` digits after the point ("230.4"); null when the
// value is not finite.
std::string JsonNumber(double value, int decimals);

class JsonObject {
 public:
  JsonObject& Number(std::string_view key, double value, int decimals) { return Raw(key, JsonNumber(value, decimals)); }
  JsonObject& Integer(std::string_view key, long long value) { return Raw(key, std::to_string(value)); }
  JsonObject& Bool(std::string_view key, bool value) { return Raw(key, value ? "true" : "false"); }
  JsonObject& Text(std::string_view key, std::string_view text) { return Raw(key, JsonString(text)); }
  JsonObject& Null(std::string_view key) { return Raw(key, "null"); }
  // `json` is a complete JSON value (an object, an array).
  JsonObject& Raw(std::string_view key, const std::string& json);
  std::string Done() const { return text_.empty() ? "{}" : text_ + "}"; }

 private:
  std::string text_;
};

// ["a","b"]
std::string JsonArray(std::initializer_list<std::string> json_values);

}  // namespace quorvel::publish
