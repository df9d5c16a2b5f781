// History tables and shown dates for tests of the sums and their texts.
#pragma once

#include <cstddef>

#include "model/device_record.h"

namespace quorvel::testing {

// Each day holds month * 100 + day, so a sum tells which days were added.
inline HistoryTable NumberedHistory() {
  HistoryTable h{};
  ResetHistory(h);
  for (int m = 1; m <= 12; ++m) {
    for (int d = 1; d <= 31; ++d) {
      double& v = h[static_cast<std::size_t>(m - 1)][static_cast<std::size_t>(d - 1)];
      if (v != kNoSuchDay) v = m * 100 + d;
    }
  }
  return h;
}

// Settings whose shown date is the given one.
inline MeterSettings Shown(int year, int month, int day) {
  MeterSettings s;
  s.ShownYear = year;
  s.ShownMonth = month;
  s.ShownDay = day;
  return s;
}

}  // namespace quorvel::testing
