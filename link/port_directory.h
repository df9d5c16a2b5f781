// Which device stands behind each slot. A port is offered when it is one of
// the meters' USB adapters (USB id 1a86:7523 or 1a86:5523) or when the
// settings file assigns it to a slot:
//   [Ports]
//   COM3=/dev/ttyUSB0
//   COM5=/tmp/meters/COM5
// An assignment always wins. An adapter keeps the slot it took the first
// time it was seen, by its identity (link/adapter_identity.h), whatever
// number the kernel gives it; the rule is in link/slot_rule.h.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/adapter_identity.h"

namespace quorvel {

struct PresentPort {
  std::string name;  // "ttyUSB0", "COM3"
  std::string path;  // "/dev/ttyUSB0", "COM3"
  std::optional<std::uint16_t> vendor_id;
  std::optional<std::uint16_t> product_id;
  AdapterIdentity identity = {};  // looked up for the meters' adapters only
};

struct SlotPort {
  std::string path;
  bool adapter = false;       // one of the meters' own USB adapters
  bool assigned = false;      // named in the settings file
  std::string usb_id;         // "1a86:7523", empty when unknown
  std::string identity = {};  // the adapter's remembered name; empty for an assigned port
  bool remembered = false;    // the slot its adapter took before (not seen the first time now)
};

using SlotPorts = std::map<int, SlotPort>;

// An assignment that names no device to open: its path is not there (a
// typo, a meter unplugged), or holds a NUL byte, which no device name can.
struct UnusableAssignment {
  int slot = 0;
  std::string path;
  bool holds_nul = false;  // else: the path does not exist
};

// "COM3 is assigned to /dev/ttyUSB9, and /dev/ttyUSB9 does not exist";
// the path with anything unprintable shown as \xNN.
std::string DescribeUnusable(const UnusableAssignment& unusable);

bool IsMeterAdapter(const PresentPort& port);
// The slot an adapter takes by itself, if its number fits 1..18.
std::optional<int> AutomaticSlot(const PresentPort& port);

// A path with a NUL byte is never there: the system would take the bytes
// before it for the whole name.
SlotPorts AssignSlots(const std::vector<PresentPort>& present, const std::map<int, std::string>& assignments,
                      const std::function<bool(const std::string&)>& exists);
// The assignments of slots 1..18 that AssignSlots could not use.
std::vector<UnusableAssignment> UnusableAssignments(const std::map<int, std::string>& assignments,
                                                    const std::function<bool(const std::string&)>& exists);

// Signed slot numbers for what changed: +n plugged in, -n removed (a slot
// whose device changed gives both), removals first.
std::vector<int> SlotChanges(const SlotPorts& before, const SlotPorts& after);

struct SlotAssignment;

class PortDirectory {
 public:
  // `remembered`: slot -> identity of the adapters that took the slots
  // before (storage/slot_memory.h); `lookup` finds the identities.
  explicit PortDirectory(std::map<int, std::string> assignments = {}, std::map<int, std::string> remembered = {},
                         IdentityLookup lookup = {})
      : assignments_(std::move(assignments)), remembered_(std::move(remembered)), lookup_(std::move(lookup)) {}

  // Looks at the ports present now. Listing the system's serial ports takes
  // milliseconds, so the list is taken again only when the device folder
  // changed (where the platform can tell).
  SlotPorts Scan();
  // Scans and remembers, the adapters seen the first time included; returns
  // the changes since the last refresh.
  std::vector<int> Refresh();

  const SlotPorts& Current() const { return current_; }
  // Slot -> identity of every adapter remembered after the last refresh.
  const std::map<int, std::string>& Remembered() const { return remembered_; }
  // The remembered adapters that were not plugged in at the last refresh.
  const std::map<int, std::string>& Reserved() const { return reserved_; }
  // Whether slot n is offered: the stand-in for asking the adapter library
  // whether a device is one of its adapters.
  bool Accepts(int slot) const { return current_.count(slot) != 0; }
  // The device to open for a slot; falls back to the assignment so that a
  // port can be opened before the next scan has seen it.
  std::string DevicePath(int slot) const;
  // The slot's assignment, when it has one and it names no device now.
  std::optional<UnusableAssignment> Unusable(int slot) const;
  std::vector<UnusableAssignment> Unusable() const;

 private:
  SlotAssignment Assign();

  std::map<int, std::string> assignments_;
  std::map<int, std::string> remembered_;
  std::map<int, std::string> reserved_;
  IdentityLookup lookup_;
  SlotPorts current_;
  std::vector<PresentPort> present_;
  std::optional<long long> listed_at_stamp_;
};

}  // namespace quorvel
