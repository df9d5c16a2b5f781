#include "publish/topics.h"

#include "model/names.h"

namespace quorvel::publish {

std::string TopicLevel(std::string_view text) {
  std::string level;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unfit = c == '/' || c == '+' || c == '#' || byte <= 0x20 || byte == 0x7F;
    level += unfit ? '_' : c;
  }
  return level.empty() ? "_" : level;
}

std::string DiscoveryName(std::string_view text) {
  std::string name;
  for (const char c : text) {
    const bool fit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    name += fit ? c : '_';
  }
  return name.empty() ? "_" : name;
}

std::string NumberMeterId(std::string_view meter_number) { return TopicLevel(meter_number); }

std::string PortMeterId(std::string_view client_id, int slot) {
  return TopicLevel(std::string(client_id) + "-" + ComName(slot));
}

std::string StateTopic(const TopicScheme& scheme, std::string_view id) {
  return scheme.prefix + "/" + std::string(id) + "/state";
}

std::string InfoTopic(const TopicScheme& scheme, std::string_view id) {
  return scheme.prefix + "/" + std::string(id) + "/info";
}

std::string AvailabilityTopic(const TopicScheme& scheme, std::string_view id) {
  return scheme.prefix + "/" + std::string(id) + "/availability";
}

std::string BridgeStatusTopic(const TopicScheme& scheme) {
  return scheme.prefix + "/bridge/" + TopicLevel(scheme.client_id) + "/status";
}

std::string DiscoveryNode(std::string_view id) { return "quorvel_" + DiscoveryName(id); }

std::string DiscoveryTopic(const TopicScheme& scheme, std::string_view id, std::string_view field) {
  return scheme.discovery_prefix + "/sensor/" + DiscoveryNode(id) + "/" + std::string(field) + "/config";
}

}  // namespace quorvel::publish
