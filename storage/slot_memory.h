// What the dashboard remembers of each slot from one run to the next, in a
// section of "Power Meter.ini" of its own:
//   [Slots]
//   COM3=by-path/pci-0000:00:14.0-usb-0:2:1.0-port0
//   COM3.Meter=12345678
// COMn is the adapter that took slot n the first time it was seen (its
// identity, link/adapter_identity.h); COMn.Meter the meter number last read
// on slot n. The user's [Ports] assignments are read elsewhere and never
// written here.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "storage/ini_file.h"

namespace quorvel {

inline constexpr const char* kSlotSection = "Slots";

struct SlotMemory {
  std::map<int, std::string> adapters;  // slot -> adapter identity
  std::map<int, std::string> meters;    // slot -> meter number
  friend bool operator==(const SlotMemory&, const SlotMemory&) = default;
};

// Lines that are not COM1..COM18 (with ".Meter"), identities holding
// control characters and meter numbers that are not digits are skipped.
SlotMemory LoadSlotMemory(const IniFile& ini);

// Writes only what differs between `before` and `after`: a changed or new
// entry is set, a dropped one removed. Every other line stays, so a line
// the user deleted by hand is not written back unless its entry changed.
void WriteSlotMemoryChanges(const SlotMemory& before, const SlotMemory& after, IniFile& ini);

// The same on the file as it is on disk now (a file that cannot be read is
// not overwritten). The failure says why.
Status SaveSlotMemoryChanges(const std::filesystem::path& path, const SlotMemory& before, const SlotMemory& after);

// Forgets what is remembered of `slot` (its adapter and its meter) in the
// file. The failure says why not.
Status ForgetSlot(const std::filesystem::path& path, int slot);

}  // namespace quorvel
