#include "publish/meter_bridge.h"

#include "model/names.h"
#include "publish/discovery.h"

namespace quorvel::publish {

MeterBridge::MeterBridge(BridgeOptions options) : options_(std::move(options)) {
  for (int slot = 1; slot <= kSlotCount; ++slot) Slot(slot).info.slot = slot;
}

Message MeterBridge::Will() const { return RetainedMessage(BridgeStatusTopic(options_.scheme), kOffline); }

Message MeterBridge::BridgeOnline() const { return RetainedMessage(BridgeStatusTopic(options_.scheme), kOnline); }

MeterBridge::Messages MeterBridge::Opened(int slot) {
  Messages out;
  SlotState& state = Slot(slot);
  state.open = true;
  if (state.published && !state.id.empty()) AppendAvailability(state.id, true, out);
  return out;
}

MeterBridge::Messages MeterBridge::Closed(int slot) {
  Messages out;
  SlotState& state = Slot(slot);
  if (state.open && state.published && !state.id.empty()) AppendAvailability(state.id, false, out);
  state.open = false;
  return out;
}

bool MeterBridge::HeldElsewhere(int slot, const std::string& id) const {
  for (int other = 1; other <= kSlotCount; ++other) {
    if (other != slot && Slot(other).id == id) return true;
  }
  return false;
}

MeterBridge::Messages MeterBridge::NumberRead(int slot, std::string_view meter_number) {
  Messages out;
  SlotState& state = Slot(slot);
  state.info.meter_number = std::string(meter_number);
  if (!state.published || meter_number.empty()) return out;
  const std::string id = NumberMeterId(meter_number);
  if (state.id == id) {
    AppendInfo(state, out);
    return out;
  }
  if (state.id == PortId(slot)) {
    AppendCleared(state.id, out);  // it went by its port only until now
  } else if (!state.id.empty() && !HeldElsewhere(slot, state.id)) {
    AppendAvailability(state.id, false, out);  // another meter is behind this port now
  }
  // The meter moved here from another port of this computer.
  for (SlotState& other : slots_) {
    if (&other != &state && other.id == id) other.id.clear();
  }
  Announce(slot, id, out);
  return out;
}

MeterBridge::Messages MeterBridge::TariffRead(int slot, const TariffInfo& tariff) {
  Messages out;
  Slot(slot).info.tariff = tariff;
  AppendInfo(Slot(slot), out);
  return out;
}

MeterBridge::Messages MeterBridge::LimitsRead(int slot, const LimitInfo& limits) {
  Messages out;
  Slot(slot).info.limits = limits;
  AppendInfo(Slot(slot), out);
  return out;
}

MeterBridge::Messages MeterBridge::Co2FactorRead(int slot, double factor) {
  Messages out;
  Slot(slot).info.co2_factor = factor;
  AppendInfo(Slot(slot), out);
  return out;
}

MeterBridge::Messages MeterBridge::ReadingTaken(StampedReading reading) {
  Messages out;
  SlotState& state = Slot(reading.slot);
  if (!state.published) return out;
  reading.co2_factor = state.info.co2_factor;
  if (!state.id.empty()) {
    AppendState(state.id, reading, out);
    return out;
  }
  state.held.push_back(reading);
  if (state.held.size() >= options_.held_readings) Announce(reading.slot, PortId(reading.slot), out);
  return out;
}

MeterBridge::Messages MeterBridge::SetPublished(int slot, bool published) {
  Messages out;
  SlotState& state = Slot(slot);
  if (state.published == published) return out;
  state.published = published;
  if (!published) {
    if (!state.id.empty()) AppendCleared(state.id, out);
    state.id.clear();
    state.held.clear();
  } else if (!state.info.meter_number.empty()) {
    Announce(slot, NumberMeterId(state.info.meter_number), out);
  }
  return out;
}

MeterBridge::Messages MeterBridge::SetDiscovery(bool on) {
  Messages out;
  if (options_.discovery == on) return out;
  options_.discovery = on;
  for (const SlotState& state : slots_) {
    if (state.id.empty()) continue;
    if (on) {
      AppendConfigs(state, out);
    } else {
      AppendClearedConfigs(state.id, out);
    }
  }
  return out;
}

MeterBridge::Messages MeterBridge::Shutdown() {
  Messages out;
  for (SlotState& state : slots_) {
    if (state.open && state.published && !state.id.empty()) AppendAvailability(state.id, false, out);
    state.open = false;
  }
  out.push_back(Will());
  return out;
}

void MeterBridge::Announce(int slot, const std::string& id, Messages& out) {
  SlotState& state = Slot(slot);
  state.id = id;
  AppendConfigs(state, out);
  AppendInfo(state, out);
  AppendAvailability(id, state.open, out);
  for (const StampedReading& reading : state.held) AppendState(state.id, reading, out);
  state.held.clear();
}

void MeterBridge::AppendConfigs(const SlotState& state, Messages& out) const {
  if (!options_.discovery) return;
  const DeviceDescription device{state.id,
                                 DeviceName(state.id == PortId(state.info.slot) ? "" : state.info.meter_number,
                                            ComName(state.info.slot) + " on " + options_.scheme.client_id),
                                 options_.sw_version};
  for (const FieldSpec& field : PublishedFields()) {
    out.push_back(RetainedMessage(DiscoveryTopic(options_.scheme, state.id, field.key),
                                  DiscoveryConfig(options_.scheme, device, field)));
  }
}

void MeterBridge::AppendClearedConfigs(const std::string& id, Messages& out) const {
  for (const FieldSpec& field : PublishedFields()) {
    out.push_back(RetainedMessage(DiscoveryTopic(options_.scheme, id, field.key), ""));
  }
}

void MeterBridge::AppendInfo(const SlotState& state, Messages& out) const {
  if (!state.published || state.id.empty()) return;
  out.push_back(RetainedMessage(InfoTopic(options_.scheme, state.id), InfoJson(state.info)));
}

void MeterBridge::AppendAvailability(const std::string& id, bool online, Messages& out) const {
  out.push_back(RetainedMessage(AvailabilityTopic(options_.scheme, id), online ? kOnline : kOffline));
}

void MeterBridge::AppendCleared(const std::string& id, Messages& out) const {
  if (options_.discovery) AppendClearedConfigs(id, out);
  out.push_back(RetainedMessage(InfoTopic(options_.scheme, id), ""));
  out.push_back(RetainedMessage(AvailabilityTopic(options_.scheme, id), ""));
}

void MeterBridge::AppendState(const std::string& id, const StampedReading& reading, Messages& out) const {
  out.push_back(StateMessage(StateTopic(options_.scheme, id), StateJson(reading)));
}

}  // namespace quorvel::publish
