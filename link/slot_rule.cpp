#include "link/slot_rule.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>

#include "model/device_record.h"

namespace quorvel {
namespace {

std::string UsbId(const PresentPort& port) {
  if (!port.vendor_id || !port.product_id) return {};
  char text[16];
  std::snprintf(text, sizeof text, "%04x:%04x", *port.vendor_id, *port.product_id);
  return text;
}

struct Candidate {
  const PresentPort* port;
  AdapterIdentity identity;
  std::optional<int> automatic;
};

// The kernel's order: ttyUSB2 before ttyUSB10, unnumbered names last.
bool KernelOrder(const Candidate& a, const Candidate& b) {
  const int an = a.automatic.value_or(1 << 20);
  const int bn = b.automatic.value_or(1 << 20);
  return an != bn ? an < bn : a.port->name < b.port->name;
}

}  // namespace

SlotAssignment AssignSlotsRemembering(const std::vector<PresentPort>& present,
                                      const std::map<int, std::string>& assignments,
                                      const std::map<int, std::string>& remembered, const DeviceOf& device_of) {
  SlotAssignment result;
  SlotPorts& slots = result.slots;

  std::set<int> users;  // assigned slots, present or not
  std::set<std::string> assigned_devices;
  std::set<std::string> assigned_paths;
  for (const auto& [slot, path] : assignments) {
    if (!IsSlotNumber(slot)) continue;
    users.insert(slot);
    assigned_paths.insert(path);
    const std::string device = device_of(path);
    if (device.empty()) continue;
    assigned_devices.insert(device);
    SlotPort entry{path, false, true, {}, {}, false};
    for (const PresentPort& port : present) {
      if (port.path == path || device_of(port.path) == device) {
        entry.adapter = IsMeterAdapter(port);
        entry.usb_id = UsbId(port);
      }
    }
    slots[slot] = entry;
  }

  std::vector<Candidate> candidates;
  std::map<std::string, int> serial_count;
  for (const PresentPort& port : present) {
    if (!IsMeterAdapter(port) || assigned_paths.count(port.path) != 0) continue;
    if (assigned_devices.count(device_of(port.path)) != 0) continue;
    candidates.push_back({&port, port.identity, AutomaticSlot(port)});
    if (!port.identity.usb_serial.empty()) ++serial_count[port.identity.usb_serial];
  }
  // Copies that report one serial number cannot be told apart by it.
  for (Candidate& c : candidates) {
    if (c.identity.HasSerial() && serial_count[c.identity.usb_serial] > 1) c.identity = c.identity.PlaceOnly();
  }
  std::sort(candidates.begin(), candidates.end(), KernelOrder);

  std::vector<bool> placed(candidates.size(), false);
  auto place = [&](std::size_t i, int slot, bool was_remembered) {
    const Candidate& c = candidates[i];
    slots[slot] = SlotPort{c.port->path, true, false, UsbId(*c.port), c.identity.Preferred(), was_remembered};
    if (!c.identity.Empty()) result.remembered[slot] = c.identity.Preferred();
    placed[i] = true;
  };

  // Remembered adapters take their slots. An entry whose adapter is present
  // but cannot have the slot (the user assigned it), or that repeats an
  // adapter already placed, is dropped: the adapter goes where the rule puts
  // it now.
  for (const auto& [slot, identity] : remembered) {
    if (!IsSlotNumber(slot)) continue;
    std::optional<std::size_t> match;
    for (std::size_t i = 0; i < candidates.size() && !match; ++i) {
      if (candidates[i].identity.Matches(identity)) match = i;
    }
    if (!match) {
      result.remembered[slot] = identity;
      if (users.count(slot) == 0) result.reserved[slot] = identity;
      continue;
    }
    if (users.count(slot) != 0 || placed[*match]) continue;
    place(*match, slot, true);
    result.remembered[slot] = identity;  // as remembered, even when another of its names is preferred now
  }

  auto free = [&](int slot) {
    return IsSlotNumber(slot) && users.count(slot) == 0 && slots.count(slot) == 0 && result.remembered.count(slot) == 0;
  };
  // Adapters seen the first time: their own number first, then the lowest
  // free slot, in the kernel's order.
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (!placed[i] && candidates[i].automatic && free(*candidates[i].automatic)) {
      place(i, *candidates[i].automatic, false);
    }
  }
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (placed[i]) continue;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      if (free(slot)) {
        place(i, slot, false);
        break;
      }
    }
  }
  return result;
}

}  // namespace quorvel
