// Where each meter's messages go. A meter is known by its number (read
// when its port opens), so it keeps its topics when it moves to another
// adapter or computer; until the number is known it goes by its port,
// qualified by the client, since COM3 of one computer is not COM3 of
// another.
//
//   <prefix>/<id>/state                  one JSON object per reading
//   <prefix>/<id>/info                   retained: what was read of the meter
//   <prefix>/<id>/availability           retained: online / offline
//   <prefix>/bridge/<client id>/status   retained, and the client's last will
//   <discovery prefix>/sensor/quorvel_<id>/<field>/config   retained
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/publish_settings.h"

namespace quorvel::publish {

struct TopicScheme {
  std::string prefix = "quorvel";
  std::string discovery_prefix = "homeassistant";
  std::string client_id;
};

// One topic level from any text: '/', '+', '#', blanks and control
// characters become '_'; an empty text becomes "_".
std::string TopicLevel(std::string_view text);

// A name Home Assistant accepts in a discovery topic, a unique_id or an
// object_id: letters, digits, '_' and '-'; everything else becomes '_'.
std::string DiscoveryName(std::string_view text);

// The meter's id from its number.
std::string NumberMeterId(std::string_view meter_number);
// The id of a meter whose number is not known: "<client id>-COM3".
std::string PortMeterId(std::string_view client_id, int slot);

std::string StateTopic(const TopicScheme& scheme, std::string_view id);
std::string InfoTopic(const TopicScheme& scheme, std::string_view id);
std::string AvailabilityTopic(const TopicScheme& scheme, std::string_view id);
std::string BridgeStatusTopic(const TopicScheme& scheme);
// "quorvel_<id>": the discovery node, and the device's identifier.
std::string DiscoveryNode(std::string_view id);
std::string DiscoveryTopic(const TopicScheme& scheme, std::string_view id, std::string_view field);

// Why a topic prefix cannot be used, or nothing (model/publish_settings.h).
using ::quorvel::TopicPrefixProblem;

}  // namespace quorvel::publish
