#include "model/device_record.h"

#include "model/month_lengths.h"

namespace quorvel {

void ResetHistory(HistoryTable& history) {
  // February starts without its 29th: a real-time answer of a leap year adds it.
  for (int month = 1; month <= kMonths; ++month) {
    auto& days = history[static_cast<std::size_t>(month - 1)];
    for (int day = 1; day <= kDaysPerMonthRow; ++day) {
      days[static_cast<std::size_t>(day - 1)] = day <= DaysOfMonth(month, false) ? 0.0 : kNoSuchDay;
    }
  }
}

DeviceTable::DeviceTable() { ResetAll(); }

void DeviceTable::ResetAll() {
  for (auto& slot : slots_) {
    slot = SlotData{};
    ResetHistory(slot.History);
  }
  settings_ = MeterSettings{};
}

void DeviceTable::ResetSlotHistory(int slot) {
  SlotData& data = Slot(slot);
  ResetHistory(data.History);
  data.MonthsRead = {};
  data.HistoryLoaded = 0;
  data.HistoryReadEnded = 0;
}

double CostOf(double energy_kwh, const MeterSettings& settings) {
  const double price = energy_kwh <= settings.TierLimit ? settings.Price1 : settings.Price2;
  return energy_kwh * price / 1000.0;
}

bool LimitReached(double energy_kwh, const MeterSettings& settings) {
  if (settings.EnergyLimit <= energy_kwh) return true;
  if (energy_kwh <= settings.TierLimit) return CostOf(energy_kwh, settings) >= settings.CostLimit;
  return CostOf(energy_kwh, settings) > settings.CostLimit;
}

}  // namespace quorvel
