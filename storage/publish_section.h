// The [Publish] section of "Power Meter.ini": where readings go (an MQTT
// broker), read and written beside the dashboard's own keys. Writing sets
// only this section's keys and keeps every other line of the file.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "model/publish_settings.h"
#include "storage/ini_file.h"

namespace quorvel {

inline constexpr const char* kPublishSection = "Publish";

// Reads the section; a missing key keeps its default. A value that cannot
// be used keeps the default too and adds a sentence to `problems` naming
// the key, the value and what is used instead. A password written into the
// file is never used (and `problems` says so).
PublishSettings LoadPublishSettings(const IniFile& ini, std::vector<std::string>* problems = nullptr);

// Writes every key of the section into `ini`.
void SavePublishSettings(const PublishSettings& settings, IniFile& ini);

// Writes the section into the file as it is on disk now (other lines stay as
// they are); a file that cannot be read is not overwritten. The failure says
// why.
Status SavePublishSection(const std::filesystem::path& path, const PublishSettings& settings);

}  // namespace quorvel
