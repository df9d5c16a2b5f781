// What the timer page decides, without a widget: the day patterns of its
// lists, reading a row's time fields, and which rows a download stores in
// the outbox (with the red marks of the rows it refuses).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "device/pending_operations.h"
#include "model/device_record.h"

namespace quorvel {

// The entries of every day-pattern list, in list order. Entry i is the
// meter's mode i + 1.
inline constexpr std::array<std::string_view, 16> kDayPatterns{
    "MON",     "TUE",     "WED",         "THU",         "FRI",         "SAT",         "SUN",         "SUN-SAT",
    "MON-FRI", "SAT\\SUN", "MON-SAT", "MON\\WED\\FRI", "TUE\\THU\\SAT", "MON\\TUE\\WED", "THU\\FRI\\SAT",
    "MON\\WED\\FRI\\SUN"};

inline constexpr int kTimeFieldLength = 5;  // "08:00"
inline constexpr int kLastTimerHour = 24;   // the meter takes 24:00 as the end of the day

struct TimeOfDay {
  int hour = 0;
  int minute = 0;
};

// Hour = characters 1-2, minute = from character 4 to the end; text that is
// no number reads as 0 ("8:30" is hour 8, minute 0).
TimeOfDay ReadTimeField(std::string_view text);

bool IsTimerTime(const TimeOfDay& time);

// What a row of the page holds when "Parameter Download" is pressed.
struct TimerRow {
  bool ticked = false;
  std::string on_time;
  std::string off_time;
  int day_entry = 0;  // selected entry of the day list
};

// The on and off field of each row, by the number that the red marks hold.
int OnFieldId(int timer);
int OffFieldId(int timer);

// Forty mark slots: 2(n-1) and 2(n-1)+1 hold row n's on and off field
// while the row is refused.
class TimerMarks {
 public:
  static constexpr std::size_t kSlots = 2 * kTimerCount;
  static constexpr int kEmpty = -1;

  bool IsMarked(int field) const;
  bool RowMarked(int timer) const { return marks_.at(OnSlot(timer)) != kEmpty; }
  void MarkRow(int timer);
  void UnmarkRow(int timer);

 private:
  static std::size_t OnSlot(int timer) { return 2 * static_cast<std::size_t>(timer - 1); }
  std::array<int, kSlots> marks_ = Empty();
  static constexpr std::array<int, kSlots> Empty() {
    std::array<int, kSlots> marks{};
    marks.fill(kEmpty);
    return marks;
  }
};

// "Parameter Download": each ticked row is cut to 5 characters per field
// (in `rows` itself, for the fields to show), then either refused and
// marked, or stored as the timer's edit and its marks removed. Unticked and
// refused rows leave their outbox entries as they are.
TimerEdits CheckTimerRows(std::array<TimerRow, kTimerCount>& rows, TimerMarks& marks);

}  // namespace quorvel
