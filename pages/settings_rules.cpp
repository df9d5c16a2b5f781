#include "pages/settings_rules.h"

#include <algorithm>

#include "model/device_record.h"
#include "model/display.h"
#include "model/names.h"
#include "pages/field_text.h"
#include "protocol/number_text.h"

namespace quorvel {
namespace {

int EntryAt(std::size_t entries, int position) {
  return position >= 0 && static_cast<std::size_t>(position) < entries ? position : kNoEntry;
}

// The text of the chosen entry, empty without a choice: its number reads 0.
std::string_view EntryText(std::span<const std::string_view> entries, int entry) {
  return EntryAt(entries.size(), entry) == kNoEntry ? std::string_view{} : entries[static_cast<std::size_t>(entry)];
}

}  // namespace

std::vector<std::string> DefaultDeviceEntries() {
  std::vector<std::string> entries;
  for (int slot = 1; slot <= kSlotCount; ++slot) entries.push_back("COMM" + Decimal(slot));
  return entries;
}

int FindEntryByPrefix(std::span<const std::string_view> entries, std::string_view prefix) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].size() >= prefix.size() && EqualsIgnoringCase(entries[i].substr(0, prefix.size()), prefix)) {
      return static_cast<int>(i);
    }
  }
  return kNoEntry;
}

SettingsChoices ChoicesFromSettings(const Settings& s) {
  SettingsChoices c;
  c.default_device = EntryAt(kSlotCount, s.DefaultDevice - 1);
  c.baudrate = FindEntryByPrefix(kBaudrateEntries, Decimal(s.Baudrate));
  c.parity = EntryAt(std::size(kParityEntries), s.Parity);
  c.databits = FindEntryByPrefix(kDatabitsEntries, Decimal(s.Databits));
  c.stopbits = FindEntryByPrefix(kStopbitsEntries, Decimal(s.Stopbits));
  c.acquisition = FindEntryByPrefix(kAcquisitionEntries, Decimal(s.Acquisition) + "S");
  c.auto_save = s.AutoSave ? 1 : 0;
  c.file = s.File;
  c.bmp = s.BMP;
  c.log = s.Log;
  return c;
}

Settings SettingsFromChoices(const SettingsChoices& c) {
  Settings s;
  s.DefaultDevice = c.default_device + 1;
  s.Baudrate = ReadDecimalInteger(EntryText(kBaudrateEntries, c.baudrate));
  // No parity chosen stores a code that the file does not write: the file
  // keeps the parity it had.
  s.Parity = static_cast<std::uint8_t>(c.parity);
  s.Databits = static_cast<std::int8_t>(ReadDecimalInteger(EntryText(kDatabitsEntries, c.databits)));
  s.Stopbits = static_cast<std::int8_t>(ReadDecimalInteger(EntryText(kStopbitsEntries, c.stopbits)));
  s.Acquisition = ReadDecimalInteger(EntryText(kAcquisitionEntries, c.acquisition));
  s.AutoSave = c.auto_save == 1;
  s.File = c.file;
  s.BMP = c.bmp;
  s.Log = c.log;
  return s;
}

bool LimitTextAccepted(std::string_view text) {
  return text.size() <= kLimitFieldLength &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

LimitCheck CheckLimitFields(const LimitFields& fields) {
  const std::optional<int> energy = DigitsValue(fields.energy, kLimitFieldLength);
  const std::optional<int> cost = DigitsValue(fields.cost, kLimitFieldLength);
  LimitCheck check{std::nullopt, !energy, !cost};
  if (energy && cost) check.values = LimitValues{*energy, *cost, !fields.no_shutdown};
  return check;
}

std::filesystem::path FolderChooserStart(std::string_view field, const std::filesystem::path& working_folder) {
  if (field.empty()) return working_folder;
  const std::filesystem::path folder = working_folder / std::filesystem::path(field);
  std::error_code error;
  return std::filesystem::is_directory(folder, error) ? folder.lexically_normal() : working_folder;
}

}  // namespace quorvel
