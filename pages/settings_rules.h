// What the system settings page shows of the settings and stores back,
// without a widget: the entries of its lists, which entry a setting
// selects, the settings a page's choices make, and the limit fields' rule.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/dashboard_settings.h"
#include "protocol/commands.h"

namespace quorvel {

inline constexpr std::string_view kAcquisitionEntries[] = {"1S", "2S", "5S", "10S", "15S", "30S", "60S"};
inline constexpr std::string_view kAutoSaveEntries[] = {"NO", "YES"};
inline constexpr std::string_view kBaudrateEntries[] = {"1800", "4800", "9600", "19200", "57600", "128000"};
inline constexpr std::string_view kParityEntries[] = {"EVEN", "ODD", "NONE"};  // entry = parity code
inline constexpr std::string_view kDatabitsEntries[] = {"4", "5", "6", "7", "8"};
inline constexpr std::string_view kStopbitsEntries[] = {"1", "2"};
// "COMM1" .. "COMM18".
std::vector<std::string> DefaultDeviceEntries();

// The first entry that begins with `prefix`, regardless of ASCII case, as a
// list finds an entry; kNoEntry when none does.
int FindEntryByPrefix(std::span<const std::string_view> entries, std::string_view prefix);

// The selected entry of each list (kNoEntry: none) and the folder fields.
struct SettingsChoices {
  int default_device = 0;
  int baudrate = 0;
  int parity = 0;
  int databits = 0;
  int stopbits = 0;
  int acquisition = 0;
  int auto_save = 0;
  std::string file;
  std::string bmp;
  std::string log;
};

// The page filled from the settings; a value that no entry shows leaves
// that list without a selection.
SettingsChoices ChoicesFromSettings(const Settings& settings);

// "Save To INI": the numbers at the start of the chosen entries ("15S" is
// 15), the positions of the parity, auto-save and default-device lists,
// the folder fields as typed. Nothing is checked here; the settings file
// corrects what it cannot take when it is read.
Settings SettingsFromChoices(const SettingsChoices& choices);

// The cost and energy limit fields while they are edited: digits only, at
// most 4 (empty too, on the way to a number).
inline constexpr int kLimitFieldLength = 4;
bool LimitTextAccepted(std::string_view text);

// The limits a write carries: each field 1 to 4 ASCII digits. An empty
// field is refused, never sent as 0 (a kWh limit of 0 with shutdown would
// cut the load at once).
struct LimitFields {
  std::string energy;  // kWh
  std::string cost;    // dollars
  bool no_shutdown = true;
};
struct LimitCheck {
  std::optional<LimitValues> values;  // nothing when a field breaks its rule
  bool energy_refused = false;
  bool cost_refused = false;
};
LimitCheck CheckLimitFields(const LimitFields& fields);

// Where the folder chooser opens: the field's folder when it is one (a
// relative one taken from the working folder), else the working folder.
std::filesystem::path FolderChooserStart(std::string_view field, const std::filesystem::path& working_folder);

}  // namespace quorvel
