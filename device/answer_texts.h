// The texts a view shows of what the meters answered, made from the device
// table: every number with the decimals the dashboard writes it with, and
// without the C locale. Pure functions; the presenter and the scheduler hand
// the results to the Display.
#pragma once

#include <string>

#include "model/device_record.h"
#include "model/display.h"
#include "model/reading_fields.h"

namespace quorvel {

// The current box turns red from this many amperes on.
inline constexpr float kCurrentAlarmAmperes = 15.0F;
inline constexpr const char* kLimitReachedTip = "Limit Go";

// A reading as every output writes it: "%0.Nf" with the table's decimals.
std::string ReadingText(const DeviceRecord& record, const ReadingFieldRow& entry);

// A clock answer: the week day as the meter counts it (1 = Sunday); a day it
// cannot have selects nothing.
ClockTexts ClockAnswerTexts(const DeviceRecord& record);
// The clock of a real-time answer: the week day worked out from the date.
ClockTexts RealTimeClockTexts(const DeviceRecord& record);

// The page's reading boxes: every field of the table, the CO2 figure (the
// slot's factor times the energy), the current alarm and the limit tip.
ReadingTexts ReadingBoxTexts(const DeviceRecord& record, float co2_factor, bool limit_reached);

TariffTexts TariffBoxTexts(const MeterSettings& settings);
TimerTexts TimerRowTexts(const TimerEntry& timer);
LimitTexts LimitBoxTexts(const MeterSettings& settings);
std::string Co2FactorText(float factor);

// The texts of the Day, Week and Month boxes after a history read; a box
// that needs a month the meter never answered for shows kUnknownHistoryText.
HistoryTexts HistoryBoxTexts(const SlotData& slot, const MeterSettings& settings);

}  // namespace quorvel
