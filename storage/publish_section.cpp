#include "storage/publish_section.h"

#include <charconv>
#include <optional>

#include "model/names.h"

namespace quorvel {
namespace {

std::optional<bool> ReadSwitch(const std::string& text) {
  for (const char* yes : {"true", "yes", "on", "1"}) {
    if (EqualsIgnoringCase(text, yes)) return true;
  }
  for (const char* no : {"false", "no", "off", "0"}) {
    if (EqualsIgnoringCase(text, no)) return false;
  }
  return std::nullopt;
}

class SectionReader {
 public:
  SectionReader(const IniFile& ini, std::vector<std::string>* problems) : ini_(ini), problems_(problems) {}

  void Text(const char* key, std::string& value) {
    if (auto text = ini_.Get(kPublishSection, key)) value = *text;
  }
  // A text that must not be empty: an empty value keeps the default.
  void Name(const char* key, std::string& value) {
    const auto text = ini_.Get(kPublishSection, key);
    if (!text) return;
    if (text->empty()) {
      Tell(key, *text, "it is empty; \"" + value + "\" is used");
      return;
    }
    value = *text;
  }
  void Switch(const char* key, bool& value) {
    const auto text = ini_.Get(kPublishSection, key);
    if (!text || text->empty()) return;
    if (const auto on = ReadSwitch(*text)) {
      value = *on;
    } else {
      Tell(key, *text, std::string("it takes true or false; ") + (value ? "true" : "false") + " is used");
    }
  }
  void Port(const char* key, int& value) {
    const auto text = ini_.Get(kPublishSection, key);
    if (!text || text->empty()) return;
    int number = 0;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, number);
    if (error != std::errc{} || stop != end || number < 1 || number > 65535) {
      Tell(key, *text, "it takes a port number from 1 to 65535; the default port is used");
      return;
    }
    value = number;
  }
  void Refuse(const char* key, const std::string& why) {
    if (ini_.Get(kPublishSection, key)) Say(std::string("[") + kPublishSection + "] " + key + ": " + why);
  }

 private:
  void Tell(const char* key, const std::string& text, const std::string& why) {
    Say(std::string("[") + kPublishSection + "] " + key + "=" + text + " cannot be used: " + why + ".");
  }
  void Say(const std::string& sentence) {
    if (problems_) problems_->push_back(sentence);
  }

  const IniFile& ini_;
  std::vector<std::string>* problems_;
};

}  // namespace

PublishSettings LoadPublishSettings(const IniFile& ini, std::vector<std::string>* problems) {
  PublishSettings s;
  SectionReader read(ini, problems);
  read.Switch("Enabled", s.Enabled);
  read.Name("Host", s.Host);
  read.Port("Port", s.Port);
  read.Name("Prefix", s.Prefix);
  read.Switch("Discovery", s.Discovery);
  read.Name("DiscoveryPrefix", s.DiscoveryPrefix);
  read.Text("ClientId", s.ClientId);
  read.Text("User", s.User);
  read.Text("PasswordFile", s.PasswordFile);
  read.Text("CAFile", s.CaFile);
  read.Text("CertFile", s.CertFile);
  read.Text("KeyFile", s.KeyFile);
  read.Refuse("Password",
              "a password is never read from the settings file; put it alone in a file that only you can read "
              "and name that file with PasswordFile.");
  return s;
}

void SavePublishSettings(const PublishSettings& s, IniFile& ini) {
  const auto flag = [](bool on) { return on ? "true" : "false"; };
  ini.Set(kPublishSection, "Enabled", flag(s.Enabled));
  ini.Set(kPublishSection, "Host", s.Host);
  ini.Set(kPublishSection, "Port", s.Port == 0 ? std::string() : std::to_string(s.Port));
  ini.Set(kPublishSection, "Prefix", s.Prefix);
  ini.Set(kPublishSection, "Discovery", flag(s.Discovery));
  ini.Set(kPublishSection, "DiscoveryPrefix", s.DiscoveryPrefix);
  ini.Set(kPublishSection, "ClientId", s.ClientId);
  ini.Set(kPublishSection, "User", s.User);
  ini.Set(kPublishSection, "PasswordFile", s.PasswordFile);
  ini.Set(kPublishSection, "CAFile", s.CaFile);
  ini.Set(kPublishSection, "CertFile", s.CertFile);
  ini.Set(kPublishSection, "KeyFile", s.KeyFile);
}

Status SavePublishSection(const std::filesystem::path& path, const PublishSettings& settings) {
  IniFile::LoadResult current = IniFile::Load(path);
  if (!current.status.ok()) return CannotUpdate(current.status);
  SavePublishSettings(settings, current.file);
  return current.file.Save(path);
}

}  // namespace quorvel
