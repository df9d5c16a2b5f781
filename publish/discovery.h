// Home Assistant's MQTT discovery: one retained config per meter and
// field, so that every meter appears as a device with six sensors, its
// energy ready for the energy dashboard.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "publish/topics.h"

namespace quorvel::publish {

struct FieldSpec {
  const char* key;           // in the state JSON and the topics
  const char* name;          // the entity's name within its device
  const char* device_class;  // nullptr: none fits
  const char* unit;          // nullptr: no unit
  const char* state_class;
  int decimals;  // as the dashboard shows the value
};

// voltage, current, power, power_factor, energy, co2.
const std::array<FieldSpec, 6>& PublishedFields();

// What describes the device every config of a meter names.
struct DeviceDescription {
  std::string id;          // the meter's id (topics.h)
  std::string name;        // "QUORVEL meter 12345678"
  std::string sw_version;  // of this program
};

// The device's name for a meter id; `port` names the port of a meter whose
// number is not known ("COM3 on lab-pc").
std::string DeviceName(std::string_view meter_number, std::string_view port);

// The config of one field: unique_id, object_id, device block, state topic
// with its value_template, device class, unit, state class and both
// availability topics (the meter's and the bridge's; both must be online).
std::string DiscoveryConfig(const TopicScheme& scheme, const DeviceDescription& device, const FieldSpec& field);

}  // namespace quorvel::publish
