#include "model/device_record.h"

namespace quorvel {

void ResetHistory(HistoryTable& history) {
  for (auto& month : history) month.fill(0.0);
  // Month indexes: 1 February, 3 April, 5 June, 8 September, 10 November.
  for (const int day : {29, 30, 31}) history[1][static_cast<std::size_t>(day - 1)] = kNoSuchDay;
  for (const std::size_t month : {3U, 5U, 8U, 10U}) history[month][30] = kNoSuchDay;
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
  data.HistoryLoaded = 0;
}

double CostOf(double energy_kwh, const MeterSettings& settings) {
  const double price = energy_kwh <= settings.TierLimit ? settings.Price1 : settings.Price2;
  return energy_kwh * price / 1000.0;
}

}  // namespace quorvel
