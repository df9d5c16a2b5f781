#include "pages/publish_rules.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "pages/field_text.h"

namespace quorvel {
namespace {

constexpr std::size_t kMaxClientIdBytes = 128;

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029; }

bool HasControl(std::string_view text) {
  const std::u32string characters = Characters(text);
  return std::any_of(characters.begin(), characters.end(), IsControl);
}

bool HasBlank(std::string_view text) {
  const std::u32string characters = Characters(text);
  return std::any_of(characters.begin(), characters.end(),
                     [](char32_t c) { return c == U' ' || c == 0xA0 || c == 0x3000 || (c >= 0x2000 && c <= 0x200B); });
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// "name:1883": one colon and digits after it (an IPv6 address has several).
bool EndsInPort(std::string_view host) {
  const std::size_t colon = host.find(':');
  if (colon == std::string_view::npos || host.find(':', colon + 1) != std::string_view::npos) return false;
  const std::string_view digits = host.substr(colon + 1);
  return !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::string> FileProblem(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) {
    if (error && error != std::errc::no_such_file_or_directory)
      return path + " cannot be reached (" + error.message() + ")";
    return "there is no file " + path;
  }
  if (std::filesystem::is_directory(status)) return path + " is a folder, not a file";
  std::ifstream in(path, std::ios::binary);
  if (!in) return path + " cannot be read (" + std::strerror(errno) + ")";
  return std::nullopt;
}

class Checker {
 public:
  void Refuse(PublishField field, const std::string& why) {
    bool& refused = check_.refused[static_cast<std::size_t>(field)];
    if (refused) return;  // the first reason is enough
    refused = true;
    reasons_[static_cast<std::size_t>(field)] = std::string(PublishFieldCaption(field)) + ": " + why;
  }
  // The fields' own rule after the control characters.
  void Text(PublishField field, std::string_view text) {
    if (HasControl(text)) Refuse(field, "it holds a control character (a line break, a tab)");
  }
  void File(PublishField field, const std::string& path) {
    Text(field, path);
    if (path.empty() || Refused(field)) return;
    if (const auto why = FileProblem(path)) Refuse(field, *why);
  }
  // A topic prefix; empty takes `fallback` when it is not `needed`.
  std::string Prefix(PublishField field, const std::string& text, bool needed, const std::string& fallback) {
    Text(field, text);
    if (text.empty() && !needed) return fallback;
    if (Refused(field)) return text;
    if (const auto why = TopicPrefixProblem(text)) Refuse(field, *why);
    return text;
  }
  bool Refused(PublishField field) const { return check_.refused[static_cast<std::size_t>(field)]; }

  PublishCheck Result(PublishSettings settings) {
    for (std::string& reason : reasons_) {
      if (!reason.empty()) check_.reasons.push_back(std::move(reason));
    }
    if (check_.reasons.empty()) check_.settings = std::move(settings);
    return std::move(check_);
  }

 private:
  PublishCheck check_;
  std::array<std::string, kPublishFieldCount> reasons_;
};

}  // namespace

PublishFields FieldsFromPublishSettings(const PublishSettings& s) {
  PublishFields f;
  f.enabled = s.Enabled;
  f.host = s.Host;
  f.port = s.Port == 0 ? std::string() : std::to_string(s.Port);
  f.prefix = s.Prefix;
  f.discovery = s.Discovery;
  f.discovery_prefix = s.DiscoveryPrefix;
  f.client_id = s.ClientId;
  f.user = s.User;
  f.password_file = s.PasswordFile;
  f.ca_file = s.CaFile;
  f.cert_file = s.CertFile;
  f.key_file = s.KeyFile;
  return f;
}

std::string_view PublishFieldCaption(PublishField field) {
  switch (field) {
    case PublishField::kHost:
      return "Broker";
    case PublishField::kPort:
      return "Port";
    case PublishField::kPrefix:
      return "Topic prefix";
    case PublishField::kDiscoveryPrefix:
      return "Discovery prefix";
    case PublishField::kClientId:
      return "Client id";
    case PublishField::kUser:
      return "User";
    case PublishField::kPasswordFile:
      return "Password file";
    case PublishField::kCaFile:
      return "CA file";
    case PublishField::kCertFile:
      return "Client certificate";
    case PublishField::kKeyFile:
      return "Client key";
  }
  return "";
}

PublishCheck CheckPublishFields(const PublishFields& f) {
  const PublishSettings defaults;
  Checker check;
  PublishSettings s;
  s.Enabled = f.enabled;
  s.Discovery = f.discovery;

  check.Text(PublishField::kHost, f.host);
  s.Host = std::string(Trimmed(f.host));
  if (s.Host.empty()) {
    if (f.enabled) check.Refuse(PublishField::kHost, "name the broker's host; publishing needs it");
    s.Host = defaults.Host;
  } else if (HasBlank(s.Host)) {
    check.Refuse(PublishField::kHost, "a host name has no blanks");
  } else if (EndsInPort(s.Host)) {
    check.Refuse(PublishField::kHost, "put the port in the Port field");
  }

  if (!f.port.empty()) {
    const std::optional<int> port = DigitsValue(f.port, kPortFieldLength);
    if (!port || *port < 1 || *port > 65535) {
      check.Refuse(PublishField::kPort, "a port number from 1 to 65535, or empty for the usual port");
    } else {
      s.Port = *port;
    }
  }

  s.Prefix = check.Prefix(PublishField::kPrefix, f.prefix, f.enabled, defaults.Prefix);
  s.DiscoveryPrefix = check.Prefix(PublishField::kDiscoveryPrefix, f.discovery_prefix, f.enabled && f.discovery,
                                   defaults.DiscoveryPrefix);

  check.Text(PublishField::kClientId, f.client_id);
  if (f.client_id.size() > kMaxClientIdBytes) {
    check.Refuse(PublishField::kClientId, "at most 128 bytes long (an accented letter takes two)");
  }
  s.ClientId = f.client_id;

  check.Text(PublishField::kUser, f.user);
  if (f.user.empty() && !f.password_file.empty()) check.Refuse(PublishField::kUser, "a password file needs its user");
  s.User = f.user;

  check.File(PublishField::kPasswordFile, f.password_file);
  check.File(PublishField::kCaFile, f.ca_file);
  check.File(PublishField::kCertFile, f.cert_file);
  check.File(PublishField::kKeyFile, f.key_file);
  if (f.cert_file.empty() && !f.key_file.empty()) {
    check.Refuse(PublishField::kCertFile, "a client key needs its certificate");
  }
  if (f.key_file.empty() && !f.cert_file.empty()) {
    check.Refuse(PublishField::kKeyFile, "a client certificate needs its key");
  }
  s.PasswordFile = f.password_file;
  s.CaFile = f.ca_file;
  s.CertFile = f.cert_file;
  s.KeyFile = f.key_file;
  return check.Result(std::move(s));
}

bool PortTextAccepted(std::string_view text) {
  return text.size() <= static_cast<std::size_t>(kPortFieldLength) &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::filesystem::path FileChooserStart(std::string_view field, const std::filesystem::path& working_folder) {
  if (field.empty()) return working_folder;
  const std::filesystem::path named = working_folder / std::filesystem::path(field);
  std::error_code error;
  if (std::filesystem::is_directory(named, error)) return named.lexically_normal();
  const std::filesystem::path folder = named.parent_path();
  if (std::filesystem::path(field).has_parent_path() && std::filesystem::is_directory(folder, error)) {
    return folder.lexically_normal();
  }
  return working_folder;
}

}  // namespace quorvel
