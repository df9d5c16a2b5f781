#include "storage/slot_memory.h"

#include <algorithm>

#include "model/names.h"

namespace quorvel {
namespace {

constexpr std::string_view kMeterSuffix = ".Meter";
// Longer than any device link name; a longer value is not ours.
constexpr std::size_t kMaxIdentityLength = 255;
// Eight bytes of up to three digits each.
constexpr std::size_t kMaxMeterNumberLength = 24;

bool Printable(const std::string& text) {
  return std::none_of(text.begin(), text.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

bool MeterNumber(const std::string& text) {
  return !text.empty() && text.size() <= kMaxMeterNumberLength &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string MeterKey(int slot) { return ComName(slot) + std::string(kMeterSuffix); }

void WriteChanges(const std::map<int, std::string>& before, const std::map<int, std::string>& after,
                  std::string (*key)(int), IniFile& ini) {
  for (const auto& [slot, value] : before) {
    if (after.count(slot) == 0) ini.Remove(kSlotSection, key(slot));
  }
  for (const auto& [slot, value] : after) {
    const auto then = before.find(slot);
    if (then == before.end() || then->second != value) ini.Set(kSlotSection, key(slot), value);
  }
}

}  // namespace

SlotMemory LoadSlotMemory(const IniFile& ini) {
  SlotMemory memory;
  for (const std::string& key : ini.Keys(kSlotSection)) {
    const std::string value = ini.Get(kSlotSection, key).value_or("");
    const std::string_view name = key;
    const bool meter = name.size() > kMeterSuffix.size() &&
                       EqualsIgnoringCase(name.substr(name.size() - kMeterSuffix.size()), kMeterSuffix);
    const std::optional<int> slot = SlotOfComName(meter ? name.substr(0, name.size() - kMeterSuffix.size()) : name);
    if (!slot) continue;
    if (meter) {
      if (MeterNumber(value)) memory.meters[*slot] = value;
    } else if (!value.empty() && value.size() <= kMaxIdentityLength && Printable(value)) {
      memory.adapters[*slot] = value;
    }
  }
  return memory;
}

void WriteSlotMemoryChanges(const SlotMemory& before, const SlotMemory& after, IniFile& ini) {
  WriteChanges(before.adapters, after.adapters, &ComName, ini);
  WriteChanges(before.meters, after.meters, &MeterKey, ini);
}

Status SaveSlotMemoryChanges(const std::filesystem::path& path, const SlotMemory& before, const SlotMemory& after) {
  if (before == after) return Status::Ok();
  IniFile::LoadResult current = IniFile::Load(path);
  if (!current.status.ok()) return CannotUpdate(current.status);
  WriteSlotMemoryChanges(before, after, current.file);
  return current.file.Save(path);
}

Status ForgetSlot(const std::filesystem::path& path, int slot) {
  IniFile::LoadResult current = IniFile::Load(path);
  if (!current.status.ok()) return CannotUpdate(current.status);
  const bool adapter = current.file.Remove(kSlotSection, ComName(slot));
  const bool meter = current.file.Remove(kSlotSection, MeterKey(slot));
  if (!adapter && !meter) return Status::Ok();
  return current.file.Save(path);
}

}  // namespace quorvel
