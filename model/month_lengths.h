// Month lengths in the meters' calendar.
#pragma once

namespace quorvel {

// The meters know no century rule: every year divisible by 4 has a 29th of
// February.
constexpr bool IsLeapYear(int full_year) { return full_year % 4 == 0; }

// Days of month 1..12; February has 29 days when `leap_february`.
constexpr int DaysOfMonth(int month, bool leap_february) {
  switch (month) {
    case 2:
      return leap_february ? 29 : 28;
    case 4:
    case 6:
    case 9:
    case 11:
      return 30;
    default:
      return 31;
  }
}

constexpr int MonthLength(int month, int full_year) { return DaysOfMonth(month, IsLeapYear(full_year)); }

}  // namespace quorvel
