// Publishing readings to an MQTT broker, as the [Publish] section of the
// settings file holds it (storage/publish_section.h reads and writes it).
// The password itself is never held here: only the file it is read from.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

inline constexpr int kMqttPort = 1883;
inline constexpr int kMqttTlsPort = 8883;

struct PublishSettings {
  bool Enabled = false;
  std::string Host = "localhost";
  int Port = 0;  // 0: 1883, or 8883 with TLS
  std::string Prefix = "quorvel";
  bool Discovery = true;  // Home Assistant's MQTT discovery
  std::string DiscoveryPrefix = "homeassistant";
  std::string ClientId;  // empty: "quorvel-" and the computer's name
  std::string User;
  std::string PasswordFile;
  std::string CaFile;    // the broker's certificate authority; TLS when set
  std::string CertFile;  // this client's certificate and key, for brokers that ask
  std::string KeyFile;

  bool Tls() const { return !CaFile.empty() || !CertFile.empty(); }
  int BrokerPort() const { return Port != 0 ? Port : (Tls() ? kMqttTlsPort : kMqttPort); }
};

// Why a topic prefix cannot be used ("it contains '#', a wildcard"), or
// nothing. Levels are separated by '/'; a prefix may have several. The
// publisher and the window's Publish tab ask the same rule.
std::optional<std::string> TopicPrefixProblem(std::string_view prefix);

}  // namespace quorvel
