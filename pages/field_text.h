// Reading what a field holds, by characters and never by bytes: the texts
// are UTF-8, and a field is cut, counted and checked in characters (code
// points). Only the ASCII digits 0-9 count as digits: a full-width or any
// other digit breaks a field's rule as a letter does.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// The code points of UTF-8 text; a byte that is no part of a well-formed
// character reads as U+FFFD.
std::u32string Characters(std::string_view utf8);
std::string Utf8(std::u32string_view characters);

// The first `count` characters of the text, whole.
std::string FirstCharacters(std::string_view utf8, std::size_t count);

constexpr bool IsAsciiDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

// Whether the text has the shape of `form`, character for character: a 'd'
// of the form takes one ASCII digit, any other character itself
// ("dddd/dd/dd" takes "2009/06/23").
bool HasForm(std::string_view text, std::string_view form);

// One to `max_digits` ASCII digits, as a number.
std::optional<int> DigitsValue(std::string_view text, std::size_t max_digits);

// ASCII digits with at most one "." among them, at least one digit, as a
// number: "30", "30.5", ".5" and "30." are numbers; "", ".", "-5", "3,5",
// "1e3" and " 30" are not.
std::optional<double> DecimalValue(std::string_view text);

// "HH:MM" with hour 0..24 (the meter takes 24:00 as the end of the day)
// and minute 0..59.
struct TimeOfDay {
  int hour = 0;
  int minute = 0;
};
std::optional<TimeOfDay> ReadTimeOfDay(std::string_view text);

}  // namespace quorvel
