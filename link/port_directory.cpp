#include "link/port_directory.h"

#include <QSerialPortInfo>

#include <cstdio>
#include <filesystem>
#include <set>

#include "link/port_names.h"
#include "link/serial_platform.h"
#include "link/slot_rule.h"
#include "model/device_record.h"
#include "model/names.h"

namespace quorvel {
namespace {

constexpr std::uint16_t kAdapterVendor = 0x1a86;
constexpr std::uint16_t kAdapterProducts[] = {0x7523, 0x5523};

bool PathExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

bool HoldsNul(const std::string& path) { return path.find('\0') != std::string::npos; }

}  // namespace

bool IsMeterAdapter(const PresentPort& port) {
  if (port.vendor_id != kAdapterVendor || !port.product_id) return false;
  for (const std::uint16_t product : kAdapterProducts) {
    if (*port.product_id == product) return true;
  }
  return false;
}

std::optional<int> AutomaticSlot(const PresentPort& port) {
  std::optional<int> slot = SlotOfComName(port.name);  // Windows
  constexpr std::string_view kUsbSerial = "ttyUSB";
  if (!slot && port.name.starts_with(kUsbSerial)) {
    const std::string number = port.name.substr(kUsbSerial.size());
    if (!number.empty() && number.size() <= 2 && number.find_first_not_of("0123456789") == std::string::npos) {
      slot = std::stoi(number) + 1;
    }
  }
  if (!slot || !IsSlotNumber(*slot)) return std::nullopt;
  return slot;
}

SlotPorts AssignSlots(const std::vector<PresentPort>& present, const std::map<int, std::string>& assignments,
                      const std::function<bool(const std::string&)>& exists) {
  return AssignSlotsRemembering(
             present, assignments, {},
             [&](const std::string& path) { return !HoldsNul(path) && exists(path) ? path : std::string(); })
      .slots;
}

std::vector<UnusableAssignment> UnusableAssignments(const std::map<int, std::string>& assignments,
                                                    const std::function<bool(const std::string&)>& exists) {
  std::vector<UnusableAssignment> unusable;
  for (const auto& [slot, path] : assignments) {
    if (!IsSlotNumber(slot)) continue;
    if (HoldsNul(path)) {
      unusable.push_back({slot, path, true});
    } else if (!exists(path)) {
      unusable.push_back({slot, path, false});
    }
  }
  return unusable;
}

std::string DescribeUnusable(const UnusableAssignment& unusable) {
  const std::string path = ShownBytes(unusable.path);
  const std::string assigned = ComName(unusable.slot) + " is assigned to " + path;
  if (unusable.holds_nul) return assigned + ", which holds a NUL byte: no device has such a name";
  return assigned + ", and " + path + " does not exist";
}

std::vector<int> SlotChanges(const SlotPorts& before, const SlotPorts& after) {
  std::vector<int> removed;
  std::vector<int> added;
  for (const auto& [slot, port] : before) {
    const auto now = after.find(slot);
    if (now == after.end() || now->second.path != port.path) removed.push_back(-slot);
  }
  for (const auto& [slot, port] : after) {
    const auto then = before.find(slot);
    if (then == before.end() || then->second.path != port.path) added.push_back(slot);
  }
  removed.insert(removed.end(), added.begin(), added.end());
  return removed;
}

SlotAssignment PortDirectory::Assign() {
  const std::optional<long long> stamp = DeviceFolderStamp();
  if (!stamp || stamp != listed_at_stamp_) {
    present_.clear();
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
      PresentPort port{
          info.portName().toStdString(), info.systemLocation().toStdString(), std::nullopt, std::nullopt, {}};
      if (info.hasVendorIdentifier()) port.vendor_id = info.vendorIdentifier();
      if (info.hasProductIdentifier()) port.product_id = info.productIdentifier();
      if (IsMeterAdapter(port)) port.identity = lookup_.Of(port.path);
      present_.push_back(std::move(port));
    }
    listed_at_stamp_ = stamp;
  }
  return AssignSlotsRemembering(present_, assignments_, remembered_, [](const std::string& path) {
    return !HoldsNul(path) && PathExists(path) ? DeviceIdentity(path) : std::string();
  });
}

SlotPorts PortDirectory::Scan() { return Assign().slots; }

std::vector<int> PortDirectory::Refresh() {
  SlotAssignment now = Assign();
  std::vector<int> changes = SlotChanges(current_, now.slots);
  current_ = std::move(now.slots);
  remembered_ = std::move(now.remembered);
  reserved_ = std::move(now.reserved);
  return changes;
}

std::string PortDirectory::DevicePath(int slot) const {
  if (const auto found = current_.find(slot); found != current_.end()) return found->second.path;
  if (const auto assigned = assignments_.find(slot); assigned != assignments_.end()) return assigned->second;
#if defined(_WIN32)
  return WindowsComDeviceName(static_cast<unsigned>(slot));
#else
  return {};
#endif
}

std::optional<UnusableAssignment> PortDirectory::Unusable(int slot) const {
  const auto assigned = assignments_.find(slot);
  if (assigned == assignments_.end()) return std::nullopt;
  std::vector<UnusableAssignment> unusable = UnusableAssignments({*assigned}, PathExists);
  if (unusable.empty()) return std::nullopt;
  return unusable.front();
}

std::vector<UnusableAssignment> PortDirectory::Unusable() const {
  return UnusableAssignments(assignments_, PathExists);
}

}  // namespace quorvel
