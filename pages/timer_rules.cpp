#include "pages/timer_rules.h"

#include "pages/field_text.h"

namespace quorvel {
namespace {

// The time fields' numbers: on and off field of timers 1..20, in the order
// the meter's own tool numbered its controls.
constexpr std::array<std::array<int, 2>, kTimerCount> kTimeFieldIds{{
    {1040, 1041}, {1043, 1045}, {1048, 1049}, {1052, 1053}, {1056, 1057}, {1060, 1061}, {1064, 1065},
    {1068, 1069}, {1072, 1073}, {1076, 1077}, {1080, 1081}, {1120, 1121}, {1124, 1125}, {1128, 1129},
    {1132, 1133}, {1136, 1137}, {1140, 1141}, {1144, 1145}, {1148, 1149}, {1152, 1153},
}};

void CutTimeField(std::string& text) { text = FirstCharacters(text, kTimeFieldLength); }

}  // namespace

int OnFieldId(int timer) { return kTimeFieldIds.at(static_cast<std::size_t>(timer - 1))[0]; }
int OffFieldId(int timer) { return kTimeFieldIds.at(static_cast<std::size_t>(timer - 1))[1]; }

bool TimerMarks::IsMarked(int field) const {
  for (const int mark : marks_) {
    if (mark == field) return true;
  }
  return false;
}

void TimerMarks::MarkRow(int timer) {
  marks_.at(OnSlot(timer)) = OnFieldId(timer);
  marks_.at(OnSlot(timer) + 1) = OffFieldId(timer);
}

void TimerMarks::UnmarkRow(int timer) {
  marks_.at(OnSlot(timer)) = kEmpty;
  marks_.at(OnSlot(timer) + 1) = kEmpty;
  days_.at(Row(timer)) = false;
}

TimerEdits CheckTimerRows(std::array<TimerRow, kTimerCount>& rows, TimerMarks& marks) {
  TimerEdits edits;
  for (int timer = 1; timer <= kTimerCount; ++timer) {
    TimerRow& row = rows[static_cast<std::size_t>(timer - 1)];
    if (!row.ticked) continue;
    CutTimeField(row.on_time);
    CutTimeField(row.off_time);
    const std::optional<TimeOfDay> on = ReadTimeOfDay(row.on_time);
    const std::optional<TimeOfDay> off = ReadTimeOfDay(row.off_time);
    const bool has_days = row.day_entry >= 0 && row.day_entry < static_cast<int>(kDayPatterns.size());
    marks.UnmarkRow(timer);
    if (!on || !off || !has_days) {
      if (!on || !off) marks.MarkRow(timer);
      if (!has_days) marks.MarkDays(timer);
      continue;
    }
    // Times within 0..24 and 0..59 and modes 1..16 fit the entry's bytes.
    edits[static_cast<std::size_t>(timer - 1)] =
        TimerEntry{static_cast<std::uint8_t>(on->hour), static_cast<std::uint8_t>(on->minute),
                   static_cast<std::uint8_t>(off->hour), static_cast<std::uint8_t>(off->minute),
                   static_cast<std::uint8_t>(row.day_entry + 1)};
  }
  return edits;
}

}  // namespace quorvel
