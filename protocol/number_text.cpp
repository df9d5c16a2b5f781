#include "protocol/number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace quorvel {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view SkipBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return text.substr(i);
}

}  // namespace

std::int32_t ReadDecimalInteger(std::string_view text) {
  text = SkipBlanks(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  std::int64_t value = 0;
  constexpr std::int64_t kCap = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (const char c : text) {
    if (!IsDigit(c)) break;
    value = value * 10 + (c - '0');
    if (value > kCap) value = kCap;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) value = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

double ReadDecimalNumber(std::string_view text) {
  text = SkipBlanks(text);
  // Copy the longest prefix that has the shape of a decimal number, then
  // let from_chars (locale-free) convert it.
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t number_start = i;
  std::size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) {
    ++i;
    ++digits;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) {
      ++i;
      ++digits;
    }
  }
  if (digits == 0) return 0.0;
  std::size_t end = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) ++j;
      end = j;
    }
  }
  double value = 0.0;
  const std::string_view number = text.substr(number_start, end - number_start);
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: atof gives HUGE_VAL or 0.
    const bool huge =
        number.find_first_of("eE") == std::string_view::npos || number[number.find_first_of("eE") + 1] != '-';
    value = huge ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return negative ? -value : value;
}

std::int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

namespace {

// Exact "%.Nf" for the values a meter sends (well below 2^53 once scaled):
// the product with 10^N is rounded to nearest, ties to even, on the exact
// binary value, as printf does. The product's rounding error comes from an
// FMA, so the decision needs no big-number arithmetic.
// Writes the text so that it ends at `end`; returns its first character, or
// nullptr when the value is outside the quick path.
char* FixedFast(double value, int decimals, char* end) {
  static constexpr double kPowers[] = {1.0, 10.0, 100.0, 1000.0, 10000.0, 100000.0, 1000000.0};
  if (decimals < 0 || decimals > 6 || !std::isfinite(value)) return nullptr;
  const bool negative = std::signbit(value);
  const double magnitude = std::fabs(value);
  const double scale = kPowers[decimals];
  const double product = magnitude * scale;
  if (product >= 4503599627370496.0) return nullptr;          // 2^52: the fraction bits run out
  const double error = std::fma(magnitude, scale, -product);  // exact: product + error == magnitude * scale
  const double whole = std::floor(product);
  const double above_half = (product - whole) - 0.5;  // exact below 2^52
  auto digits = static_cast<std::uint64_t>(whole);
  if (above_half > -error || (above_half == -error && (digits & 1U) != 0)) ++digits;

  char* p = end;
  for (int i = 0; i < decimals; ++i) {
    *--p = static_cast<char>('0' + digits % 10);
    digits /= 10;
  }
  if (decimals > 0) *--p = '.';
  do {
    *--p = static_cast<char>('0' + digits % 10);
    digits /= 10;
  } while (digits != 0);
  if (negative) *--p = '-';
  return p;
}

}  // namespace

std::string Fixed(double value, int decimals) {
  char quick[32];  // 2^52 has 16 digits; with sign, point and 6 decimals it fits
  if (char* begin = FixedFast(value, decimals, quick + sizeof quick)) {
    return std::string(begin, quick + sizeof quick);
  }
  std::array<char, 400> buffer;
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, decimals);
  return std::string(buffer.data(), result.ptr);
}

namespace {

// Writes the digits of `value`, at least `min_digits` of them, sign in
// front, so that the text ends at `end`; returns its first character.
char* PutNumber(long long value, int min_digits, char* end) {
  const bool negative = value < 0;
  auto magnitude = negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  char* p = end;
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  while (end - p < min_digits) *--p = '0';
  if (negative) *--p = '-';
  return p;
}

// Numbers joined by a separator, each with its least number of digits.
std::string JoinNumbers(std::initializer_list<std::pair<long long, int>> parts, char separator) {
  char buffer[80];
  char* out = buffer;
  for (const auto& [value, min_digits] : parts) {
    if (out != buffer) *out++ = separator;
    char digits[24];
    const char* begin = PutNumber(value, min_digits, digits + sizeof digits);
    out = std::copy(begin, static_cast<const char*>(digits + sizeof digits), out);
  }
  return std::string(buffer, out);
}

}  // namespace

std::string Decimal(long long value) { return std::to_string(value); }

std::string TwoDigits(long long value) { return JoinNumbers({{value, 2}}, ' '); }

std::string DateText(int full_year, int month, int day) {
  return JoinNumbers({{full_year, 1}, {month, 2}, {day, 2}}, '/');
}

std::string TimeText(int hour, int minute) { return JoinNumbers({{hour, 2}, {minute, 2}}, ':'); }

}  // namespace quorvel
