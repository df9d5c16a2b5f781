// Loading and saving the dashboard's settings (model/dashboard_settings.h) in
// "Power Meter.ini" in the working folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "model/dashboard_settings.h"
#include "storage/ini_file.h"

namespace quorvel {

// Reads every key, correcting values out of range; missing keys take their
// defaults. Never fails.
Settings LoadSettings(const IniFile& ini);

// Normalises the three folder paths in `settings` itself (a folder path
// gets a final separator), then writes every key.
void SaveSettings(Settings& settings, IniFile& ini);

// A folder prefix ready to have a file name appended: an empty path stays
// empty (the working folder); otherwise a separator is appended unless one
// stands at the end.
std::string NormaliseFolderPrefix(const std::string& path, char separator);
char PlatformSeparator();

// [Ports] lines such as "COM3=/dev/ttyUSB0" or "COM5=/tmp/meters/COM5":
// slot number -> device path. Names that are not COM1..COM18 are skipped.
std::map<int, std::string> LoadPortAssignments(const IniFile& ini);

// Loads and saves the settings file. Saving rewrites only the keys it owns
// and keeps every other line of the file as it is on disk at that moment.
class SettingsFile {
 public:
  explicit SettingsFile(std::filesystem::path path = kSettingsFileName) : path_(std::move(path)) {}

  // The settings, with the Status of the file: a failure says why it could
  // not be read, and the settings are the defaults then (a file that does
  // not exist yet is no failure).
  struct Loaded {
    Settings settings;
    Status status;
  };
  Loaded Load();
  // Writes `settings` (normalising its paths); the failure says why not.
  Status Save(Settings& settings);

  const IniFile& Profile() const { return ini_; }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
  IniFile ini_;
};

}  // namespace quorvel
