// From the [Publish] settings to what the client needs: the broker's
// address, this client's name, the credentials (the password read from its
// file, never from the settings or a command line) and the TLS files, each
// checked so that a mistake is told in words before anything connects.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "model/publish_settings.h"
#include "publish/topics.h"

namespace quorvel::publish {

struct BrokerConfig {
  std::string host;
  int port = 1883;
  std::string client_id;
  std::string user;
  std::string password;  // never printed
  bool tls = false;
  std::string ca_file;
  std::string cert_file;
  std::string key_file;
  int keepalive_seconds = 30;

  std::string Address() const { return host + ":" + std::to_string(port); }
};

struct PasswordRead {
  std::string password;  // the file's first line, without its line end
  std::string problem;   // why it cannot be used; empty when it can
  std::string warning;   // it can be read by others
};

// Reads a password file. The password is never part of a problem or warning.
PasswordRead ReadPasswordFile(const std::filesystem::path& path);

// "quorvel-" and the computer's name.
std::string DefaultClientId();

struct PreparedBroker {
  BrokerConfig config;
  TopicScheme scheme;
  std::vector<std::string> problems;  // publishing cannot start
  std::vector<std::string> warnings;  // it can, but the user should know
};

PreparedBroker PrepareBroker(const PublishSettings& settings);

// "host", "host:port", "[::1]:port"; false when the text is none of these.
bool ParseBrokerAddress(const std::string& text, std::string& host, int& port);

}  // namespace quorvel::publish
