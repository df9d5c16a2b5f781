// What the publisher says about the meters, decided apart from any network:
// each event of a meter (its port opened, lost, back or closed; its number,
// tariff, limits or CO2 factor read; a reading taken) becomes the messages
// to send. A meter is announced (discovery configs, info, availability)
// under its number once that is known; its readings wait for it, up to a
// bound, and then go under its port's id. Nothing here touches a meter.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model/device_record.h"
#include "publish/message.h"
#include "publish/payloads.h"
#include "publish/topics.h"

namespace quorvel::publish {

inline constexpr const char* kOnline = "online";
inline constexpr const char* kOffline = "offline";

struct BridgeOptions {
  TopicScheme scheme;
  bool discovery = true;
  std::string sw_version;
  // Readings of a meter whose number has not come yet are kept back this
  // long (a number normally comes within the first few seconds), then the
  // meter goes by its port.
  std::size_t held_readings = 30;
};

class MeterBridge {
 public:
  using Messages = std::vector<Message>;

  explicit MeterBridge(BridgeOptions options);

  const TopicScheme& Scheme() const { return options_.scheme; }
  bool Discovery() const { return options_.discovery; }

  // The client's last will ("offline"), and what it says once connected.
  Message Will() const;
  Message BridgeOnline() const;

  // The port opened, or came back after it was lost.
  Messages Opened(int slot);
  // The device vanished, or the user closed the port.
  Messages Closed(int slot);
  Messages NumberRead(int slot, std::string_view meter_number);
  Messages TariffRead(int slot, const TariffInfo& tariff);
  Messages LimitsRead(int slot, const LimitInfo& limits);
  Messages Co2FactorRead(int slot, double factor);
  // `reading.slot` names the meter; its CO2 factor is filled in here.
  Messages ReadingTaken(StampedReading reading);

  // A meter taken out of publishing has its configs, info and availability
  // cleared (empty retained messages) and its readings left out until it is
  // put back.
  Messages SetPublished(int slot, bool published);
  // Discovery switched off clears every config; on, sends them again.
  Messages SetDiscovery(bool on);
  // The end: every meter that is online goes offline, then the bridge.
  Messages Shutdown();

  // The id the slot's meter is published under; empty until announced.
  const std::string& IdOf(int slot) const { return Slot(slot).id; }
  std::size_t HeldReadings(int slot) const { return Slot(slot).held.size(); }

 private:
  struct SlotState {
    bool open = false;
    bool published = true;
    MeterInfo info;
    std::string id;  // announced under; empty: not announced
    std::vector<StampedReading> held;
  };

  SlotState& Slot(int slot) { return slots_.at(SlotIndex(slot)); }
  const SlotState& Slot(int slot) const { return slots_.at(SlotIndex(slot)); }
  std::string PortId(int slot) const { return PortMeterId(options_.scheme.client_id, slot); }
  bool HeldElsewhere(int slot, const std::string& id) const;

  void Announce(int slot, const std::string& id, Messages& out);
  void AppendConfigs(const SlotState& state, Messages& out) const;
  void AppendClearedConfigs(const std::string& id, Messages& out) const;
  void AppendInfo(const SlotState& state, Messages& out) const;
  void AppendAvailability(const std::string& id, bool online, Messages& out) const;
  // Every retained topic of the id emptied.
  void AppendCleared(const std::string& id, Messages& out) const;
  void AppendState(const std::string& id, const StampedReading& reading, Messages& out) const;

  BridgeOptions options_;
  std::array<SlotState, kSlotCount> slots_{};
};

}  // namespace quorvel::publish
