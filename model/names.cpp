#include "model/names.h"

#include "model/device_record.h"

namespace quorvel {

std::string ComName(int slot) { return "COM" + std::to_string(slot); }

std::optional<int> SlotOfComName(std::string_view name) {
  if (name.size() < 4 || name.size() > 5) return std::nullopt;
  if (!EqualsIgnoringCase(name.substr(0, 3), "COM")) return std::nullopt;
  int slot = 0;
  for (const char c : name.substr(3)) {
    if (c < '0' || c > '9') return std::nullopt;
    slot = slot * 10 + (c - '0');
  }
  if (name[3] == '0' || !IsSlotNumber(slot)) return std::nullopt;
  return slot;
}

}  // namespace quorvel
