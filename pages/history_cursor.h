// The history position of the real-time page: the day, week and month
// whose energy the Day, Week and Month boxes show, moved by their arrows
// within the year of the shown date and never past it.
#pragma once

#include <optional>
#include <string>

#include "model/device_record.h"

namespace quorvel {

// The date of the device shown on the real-time page (its last real-time
// answer); day 0 means no answer yet.
struct ShownDate {
  int year = 0;  // full year
  int month = 0;
  int day = 0;
};

// Week of the year, Sunday first, as the meters' history counts it: with
// w0 the week day of 1 January (0 = Sunday) and D the day of the year,
// W = (D - w0) / 7 rounded up (toward zero, then one more unless exact).
// Week W is taken to span days of the year 7W + w0 - 6 .. 7W + w0.
int WeekNumber(int year, int month, int day);

struct HistoryCursor {
  int day = 0;  // 0: no position yet, the arrows do nothing
  int day_month = 0;
  int week = 0;
  int month = 0;
};

// The position a history load starts from: the shown date and its week.
HistoryCursor CursorAt(const ShownDate& shown);

// "%d.%d/%dWeek/%dMonth": "6.23/25Week/6Month".
std::string PositionText(const HistoryCursor& cursor);

// An arrow of the Day, Week or Month box. `change` is what the arrow
// reports: 0 or less moves forward, above 0 back. Returns the box's new
// text ("%0.2f" kWh) when the position moved or was refreshed, nullopt when
// nothing happens (no position yet, or the step would pass the shown date
// or leave the year).
std::optional<std::string> StepDay(HistoryCursor& cursor, int change, const ShownDate& shown,
                                   const HistoryTable& history);
std::optional<std::string> StepWeek(HistoryCursor& cursor, int change, const ShownDate& shown,
                                    const HistoryTable& history);
std::optional<std::string> StepMonth(HistoryCursor& cursor, int change, const ShownDate& shown,
                                     const HistoryTable& history);

}  // namespace quorvel
