// The computer's local date and time: the one reader of the system clock.
#pragma once

namespace quorvel {

struct LocalClock {
  int year = 2000;  // full year
  int month = 1;
  int day = 1;
  int weekday = 0;  // 0 = Sunday
  int hour = 0;
  int minute = 0;
  int second = 0;
};

LocalClock CurrentLocalClock();

}  // namespace quorvel
