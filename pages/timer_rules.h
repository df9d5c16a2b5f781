// What the timer page decides, without a widget: the day patterns of its
// lists and which rows a download stores in the outbox (with the red marks
// of the rows it refuses). A row's times are read as field_text reads a
// time of day.
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
    "MON",           "TUE",           "WED",           "THU",
    "FRI",           "SAT",           "SUN",           "SUN-SAT",
    "MON-FRI",       "SAT\\SUN",      "MON-SAT",       "MON\\WED\\FRI",
    "TUE\\THU\\SAT", "MON\\TUE\\WED", "THU\\FRI\\SAT", "MON\\WED\\FRI\\SUN"};

inline constexpr int kTimeFieldLength = 5;  // "08:00"

// What a row of the page holds when "Parameter Download" is pressed.
struct TimerRow {
  bool ticked = false;
  std::string on_time;
  std::string off_time;
  int day_entry = 0;  // selected entry of the day list; kNoEntry when the list shows none
};

// The on and off field of each row, by the number that the red marks hold.
int OnFieldId(int timer);
int OffFieldId(int timer);

// Forty mark slots: 2(n-1) and 2(n-1)+1 hold row n's on and off field
// while the row's times are refused; and row n's day list, marked while it
// shows no day pattern.
class TimerMarks {
 public:
  static constexpr std::size_t kSlots = 2 * kTimerCount;
  static constexpr int kEmpty = -1;

  bool IsMarked(int field) const;
  bool RowMarked(int timer) const { return marks_.at(OnSlot(timer)) != kEmpty || DaysMarked(timer); }
  bool DaysMarked(int timer) const { return days_.at(Row(timer)); }
  void MarkRow(int timer);
  void MarkDays(int timer) { days_.at(Row(timer)) = true; }
  void UnmarkRow(int timer);

 private:
  static std::size_t Row(int timer) { return static_cast<std::size_t>(timer - 1); }
  static std::size_t OnSlot(int timer) { return 2 * Row(timer); }
  std::array<int, kSlots> marks_ = Empty();
  std::array<bool, kTimerCount> days_{};
  static constexpr std::array<int, kSlots> Empty() {
    std::array<int, kSlots> marks{};
    marks.fill(kEmpty);
    return marks;
  }
};

// "Parameter Download": each ticked row's fields are cut to 5 characters
// (in `rows` itself, for the fields to show), then the row is either
// refused and marked (a time that is not "HH:MM" with hour 0..24 and
// minute 0..59 marks both time fields, no day pattern marks the day list),
// or stored as the timer's edit and its marks removed. Unticked and refused
// rows leave their outbox entries as they are.
TimerEdits CheckTimerRows(std::array<TimerRow, kTimerCount>& rows, TimerMarks& marks);

}  // namespace quorvel
