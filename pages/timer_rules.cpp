#include "pages/timer_rules.h"

#include "protocol/number_text.h"

namespace quorvel {
namespace {

// The time fields' numbers: on and off field of timers 1..20, in the order
// the meter's own tool numbered its controls.
constexpr std::array<std::array<int, 2>, kTimerCount> kTimeFieldIds{{
    {1040, 1041}, {1043, 1045}, {1048, 1049}, {1052, 1053}, {1056, 1057}, {1060, 1061}, {1064, 1065},
    {1068, 1069}, {1072, 1073}, {1076, 1077}, {1080, 1081}, {1120, 1121}, {1124, 1125}, {1128, 1129},
    {1132, 1133}, {1136, 1137}, {1140, 1141}, {1144, 1145}, {1148, 1149}, {1152, 1153},
}};

std::string_view From(std::string_view text, std::size_t position) {
  return position < text.size() ? text.substr(position) : std::string_view{};
}

void CutTimeField(std::string& text) {
  if (text.size() > kTimeFieldLength) text.resize(kTimeFieldLength);
}

}  // namespace

TimeOfDay ReadTimeField(std::string_view text) {
  return {ReadDecimalInteger(text.substr(0, 2)), ReadDecimalInteger(From(text, 3))};
}

bool IsTimerTime(const TimeOfDay& time) {
  return time.hour >= 0 && time.hour <= kLastTimerHour && time.minute >= 0 && time.minute <= 59;
}

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
}

TimerEdits CheckTimerRows(std::array<TimerRow, kTimerCount>& rows, TimerMarks& marks) {
  TimerEdits edits;
  for (int timer = 1; timer <= kTimerCount; ++timer) {
    TimerRow& row = rows[static_cast<std::size_t>(timer - 1)];
    if (!row.ticked) continue;
    CutTimeField(row.on_time);
    CutTimeField(row.off_time);
    const TimeOfDay on = ReadTimeField(row.on_time);
    const TimeOfDay off = ReadTimeField(row.off_time);
    if (!IsTimerTime(on) || !IsTimerTime(off)) {
      marks.MarkRow(timer);
      continue;
    }
    marks.UnmarkRow(timer);
    // Times within 0..24 and 0..59 fit the entry's bytes.
    edits[static_cast<std::size_t>(timer - 1)] =
        TimerEntry{static_cast<std::uint8_t>(on.hour), static_cast<std::uint8_t>(on.minute),
                   static_cast<std::uint8_t>(off.hour), static_cast<std::uint8_t>(off.minute),
                   static_cast<std::uint8_t>(row.day_entry + 1)};
  }
  return edits;
}

}  // namespace quorvel
