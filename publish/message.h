// One message for the broker, as the publisher's decisions produce it.
#pragma once

#include <string>

namespace quorvel::publish {

struct Message {
  std::string topic;
  std::string payload;  // empty with `retained`: clears the topic's retained message
  bool retained = false;
  int qos = 0;

  friend bool operator==(const Message&, const Message&) = default;
};

// Readings are sent at most once; what describes a meter (its discovery
// configs, info and availability) is retained and confirmed by the broker.
inline Message StateMessage(std::string topic, std::string payload) {
  return Message{std::move(topic), std::move(payload), false, 0};
}
inline Message RetainedMessage(std::string topic, std::string payload) {
  return Message{std::move(topic), std::move(payload), true, 1};
}

}  // namespace quorvel::publish
