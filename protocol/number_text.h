// Numbers to and from the texts the pages show and the user types.
// Independent of the C locale: a meter's 230.4 V never becomes "230,4".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

// A decimal integer from the start of the text, as atoi reads it: leading
// blanks, an optional sign, digits; stops at the first other character.
// Text that does not start with a number reads as 0. Saturates at the
// 32-bit range.
std::int32_t ReadDecimalInteger(std::string_view text);

// A decimal number from the start of the text, as atof reads it: leading
// blanks, optional sign, digits with an optional fraction and exponent.
// Text that does not start with a number reads as 0.
double ReadDecimalNumber(std::string_view text);

// Truncates toward zero like a C cast to int, but saturates instead of
// leaving the 32-bit range (and reads NaN as 0).
std::int32_t TruncateToInt32(double value);

// "%0.Nf": fixed notation with `decimals` digits after the point.
std::string Fixed(double value, int decimals);

// "%d".
std::string Decimal(long long value);

// "%0.2d": at least two digits, zero padded, sign in front.
std::string TwoDigits(long long value);

// Texts of the clock fields: "%d/%0.2d/%.2d" and "%0.2d:%0.2d".
std::string DateText(int full_year, int month, int day);
std::string TimeText(int hour, int minute);

}  // namespace quorvel
