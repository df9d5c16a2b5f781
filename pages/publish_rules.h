// The Publish tab's rules, without a widget: the fields filled from the
// [Publish] settings, and the settings a save stores, each field checked
// then by its rule. A field that breaks it is marked and named with the
// reason, and nothing is stored; whatever put the text there (a key, a
// paste, a screen reader) makes no difference.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/publish_settings.h"

namespace quorvel {

struct PublishFields {
  bool enabled = false;
  std::string host;
  std::string port;  // empty: the usual port (1883, or 8883 with TLS)
  std::string prefix;
  bool discovery = true;
  std::string discovery_prefix;
  std::string client_id;  // empty: the computer's own
  std::string user;
  std::string password_file;
  std::string ca_file;
  std::string cert_file;
  std::string key_file;
};

PublishFields FieldsFromPublishSettings(const PublishSettings& settings);

// The fields a rule may refuse, in the tab's reading order.
enum class PublishField {
  kHost,
  kPort,
  kPrefix,
  kDiscoveryPrefix,
  kClientId,
  kUser,
  kPasswordFile,
  kCaFile,
  kCertFile,
  kKeyFile,
};
inline constexpr std::size_t kPublishFieldCount = 10;

// The field's caption, as the tab shows it.
std::string_view PublishFieldCaption(PublishField field);

struct PublishCheck {
  std::optional<PublishSettings> settings;  // nothing when a field breaks its rule
  std::array<bool, kPublishFieldCount> refused{};
  std::vector<std::string> reasons;  // "Port: ...", one per refused field, in reading order

  bool Refused(PublishField field) const { return refused[static_cast<std::size_t>(field)]; }
};

// The rules, for every field whatever its state:
// - no field holds a control character (a line break would end the
//   settings file's line);
// - Broker: a host name, without blanks and without a ":port" (the port
//   has its own field); needed when publishing is on;
// - Port: empty (the usual port) or 1 to 65535;
// - the prefixes: MQTT topic levels without the wildcards + and #, without
//   empty levels, not starting with '$'; needed when publishing (and, for
//   the discovery prefix, discovery) is on;
// - Client id: at most 128 bytes;
// - User: needed with a password file;
// - the files: existing, readable files (relative to the working folder);
//   a client certificate and its key go together.
// A field left empty while publishing is off takes its default.
PublishCheck CheckPublishFields(const PublishFields& fields);

// The port field while it is edited: up to five digits (or nothing).
inline constexpr int kPortFieldLength = 5;
bool PortTextAccepted(std::string_view text);

// Where a file chooser opens: the folder of the field's file, or the folder
// the field names, when that folder exists (a relative one taken from the
// working folder); else the working folder.
std::filesystem::path FileChooserStart(std::string_view field, const std::filesystem::path& working_folder);

}  // namespace quorvel
