#include "storage/settings_file.h"

#include <algorithm>
#include <array>

#include "model/names.h"
#include "protocol/number_text.h"

namespace quorvel {
namespace {

// Values are read as the platform's profile call reads them into a 100-byte
// buffer: at most 99 characters.
constexpr std::size_t kMaxValueLength = 99;

std::string Value(const IniFile& ini, const char* section, const char* key) {
  return ini.Get(section, key, kMaxValueLength).value_or("");
}

template <std::size_t N>
bool OneOf(std::int32_t value, const std::array<std::int32_t, N>& allowed) {
  return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

char FirstChar(const std::string& text) { return text.empty() ? '\0' : text.front(); }

}  // namespace

Settings LoadSettings(const IniFile& ini) {
  Settings s;
  const std::string device = Value(ini, "Comm", "DefaultDevice");
  s.DefaultDevice = device.empty() ? 1 : ReadDecimalInteger(device);

  const std::int32_t baud = ReadDecimalInteger(Value(ini, "Comm", "Baudrate"));
  s.Baudrate = OneOf(baud, std::array<std::int32_t, 6>{1800, 4800, 9600, 19200, 57600, 128000}) ? baud : 9600;

  switch (FirstChar(Value(ini, "Comm", "Parity"))) {
    case 'e':
    case 'E':
      s.Parity = kParityEven;
      break;
    case 'n':
    case 'N':
      s.Parity = kParityNone;
      break;
    default:
      s.Parity = kParityOdd;
      break;
  }

  const std::int32_t data_bits = ReadDecimalInteger(Value(ini, "Comm", "Databits"));
  s.Databits = static_cast<std::int8_t>(data_bits >= 4 && data_bits <= 8 ? data_bits : 8);
  const std::int32_t stop_bits = ReadDecimalInteger(Value(ini, "Comm", "Stopbits"));
  s.Stopbits = static_cast<std::int8_t>(stop_bits == 1 || stop_bits == 2 ? stop_bits : 1);

  const std::int32_t interval = ReadDecimalInteger(Value(ini, "SysSet", "Acquisition"));
  // Every interval the settings page offers, 30 and 60 seconds too, so a
  // saved choice survives a restart.
  s.Acquisition = OneOf(interval, std::array<std::int32_t, 7>{1, 2, 5, 10, 15, 30, 60}) ? interval : 1;
  const char autosave = FirstChar(Value(ini, "SysSet", "AutoSave"));
  s.AutoSave = autosave == 't' || autosave == 'T';

  s.File = Value(ini, "Path", "File");
  s.BMP = Value(ini, "Path", "BMP");
  s.Log = Value(ini, "Path", "Log");
  return s;
}

char PlatformSeparator() {
#if defined(_WIN32)
  return '\\';
#else
  return '/';
#endif
}

std::string NormaliseFolderPrefix(const std::string& path, char separator) {
  if (path.empty()) return path;  // the working folder, not the root
  // Every folder gets its separator: "logs/x" is the folder x, not a prefix
  // of the file names in logs.
  return path.back() == separator ? path : path + separator;
}

void SaveSettings(Settings& s, IniFile& ini) {
  ini.Set("Comm", "DefaultDevice", Decimal(s.DefaultDevice));
  ini.Set("Comm", "Baudrate", Decimal(s.Baudrate));
  static constexpr const char* kParityNames[] = {"even", "odd", "none"};
  if (s.Parity <= kParityNone) ini.Set("Comm", "Parity", kParityNames[s.Parity]);
  ini.Set("Comm", "Databits", Decimal(s.Databits));
  ini.Set("Comm", "Stopbits", Decimal(s.Stopbits));
  ini.Set("SysSet", "Acquisition", Decimal(s.Acquisition));
  ini.Set("SysSet", "AutoSave", s.AutoSave ? "true" : "false");
  for (std::string* path : {&s.File, &s.BMP, &s.Log}) *path = NormaliseFolderPrefix(*path, PlatformSeparator());
  ini.Set("Path", "File", s.File);
  ini.Set("Path", "BMP", s.BMP);
  ini.Set("Path", "Log", s.Log);
}

std::map<int, std::string> LoadPortAssignments(const IniFile& ini) {
  std::map<int, std::string> ports;
  for (const std::string& key : ini.Keys("Ports")) {
    const std::optional<int> slot = SlotOfComName(key);
    if (!slot) continue;
    const std::string path = ini.Get("Ports", key).value_or("");
    if (!path.empty()) ports[*slot] = path;
  }
  return ports;
}

SettingsFile::Loaded SettingsFile::Load() {
  IniFile::LoadResult loaded = IniFile::Load(path_);
  ini_ = std::move(loaded.file);
  return {LoadSettings(ini_), std::move(loaded.status)};
}

Status SettingsFile::Save(Settings& settings) {
  // Start from the file as it is now, so lines written by anyone else since
  // start-up survive; a file that cannot be read is not overwritten.
  IniFile::LoadResult current = IniFile::Load(path_);
  if (!current.status.ok()) return CannotUpdate(current.status);
  SaveSettings(settings, current.file);
  Status saved = current.file.Save(path_);
  if (saved.ok()) ini_ = std::move(current.file);
  return saved;
}

}  // namespace quorvel
