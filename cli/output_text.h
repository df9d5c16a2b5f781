// What the tool prints: JSON lines with keys in a fixed order and numbers as
// the dashboard shows them, and messages that quote what the user gave.
// Nothing from the input reaches the terminal raw.
#pragma once

#include <string>
#include <string_view>

namespace quorvel::cli {

// A JSON string, quotes included: quote, backslash and every control
// character escaped, invalid UTF-8 replaced by U+FFFD.
std::string JsonString(std::string_view text);

// One object, built key by key in the order given.
class JsonObject {
 public:
  // `number` is already formatted ("230.4", "-1.00").
  JsonObject& Number(const char* key, const std::string& number) { return Raw(key, number); }
  JsonObject& Integer(const char* key, long long value) { return Raw(key, std::to_string(value)); }
  JsonObject& Bool(const char* key, bool value) { return Raw(key, value ? "true" : "false"); }
  JsonObject& Text(const char* key, std::string_view text) { return Raw(key, JsonString(text)); }
  // `json` is a complete JSON value (an array, null, an object).
  JsonObject& Raw(const char* key, const std::string& json);
  std::string Done() const { return text_.empty() ? "{}" : text_ + "}"; }

 private:
  std::string text_;
};

// Text for a message on the terminal: control characters (an escape
// sequence, a carriage return) shown as \xNN; the rest as it is.
std::string Printable(std::string_view text);

}  // namespace quorvel::cli
