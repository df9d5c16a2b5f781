#include "publish/discovery.h"

#include "publish/json_text.h"

namespace quorvel::publish {

const std::array<FieldSpec, 6>& PublishedFields() {
  static const std::array<FieldSpec, 6> fields{{
      {"voltage", "Voltage", "voltage", "V", "measurement", 1},
      {"current", "Current", "current", "A", "measurement", 2},
      {"power", "Power", "power", "W", "measurement", 1},
      {"power_factor", "Power factor", "power_factor", nullptr, "measurement", 2},
      // The meter's own count: it only grows, or starts again from 0.
      {"energy", "Energy", "energy", "kWh", "total_increasing", 2},
      // The energy times the meter's CO2 factor, which may be changed: a
      // measurement, not a count Home Assistant would sum.
      {"co2", "CO2", nullptr, "kg", "measurement", 3},
  }};
  return fields;
}

std::string DeviceName(std::string_view meter_number, std::string_view port) {
  if (!meter_number.empty()) return "QUORVEL meter " + std::string(meter_number);
  return "QUORVEL meter on " + std::string(port);
}

std::string DiscoveryConfig(const TopicScheme& scheme, const DeviceDescription& device, const FieldSpec& field) {
  const std::string node = DiscoveryNode(device.id);
  const std::string unique_id = node + "_" + field.key;
  const std::string device_block = JsonObject()
                                       .Raw("identifiers", JsonArray({JsonString(node)}))
                                       .Text("name", device.name)
                                       .Text("manufacturer", "QUORVEL")
                                       .Text("model", "Plug-in power meter")
                                       .Text("sw_version", device.sw_version)
                                       .Done();
  const std::string availability = JsonArray({JsonObject().Text("topic", AvailabilityTopic(scheme, device.id)).Done(),
                                              JsonObject().Text("topic", BridgeStatusTopic(scheme)).Done()});
  JsonObject json;
  json.Text("name", field.name)
      .Bool("has_entity_name", true)
      .Text("unique_id", unique_id)
      .Text("object_id", unique_id)
      .Text("state_topic", StateTopic(scheme, device.id))
      .Text("value_template", std::string("{{ value_json.") + field.key + " }}");
  if (field.device_class) json.Text("device_class", field.device_class);
  if (field.unit) json.Text("unit_of_measurement", field.unit);
  json.Text("state_class", field.state_class)
      .Integer("suggested_display_precision", field.decimals)
      .Raw("availability", availability)
      .Text("availability_mode", "all")
      .Text("payload_available", "online")
      .Text("payload_not_available", "offline")
      .Raw("device", device_block);
  return json.Done();
}

}  // namespace quorvel::publish
