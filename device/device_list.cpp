#include "device/device_list.h"

#include "model/names.h"

namespace quorvel {
int DeviceList::SelectedSlot() const {
  return selected_ >= 0 && selected_ < static_cast<int>(entries_.size())
             ? entries_[static_cast<std::size_t>(selected_)].slot
             : 0;
}

void DeviceList::Append(std::string name, int slot) {
  entries_.push_back({std::move(name), slot});
  Changed();
}

int DeviceList::Find(std::string_view name) const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (EqualsIgnoringCase(entries_[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

void DeviceList::RemoveAt(int index) {
  if (index < 0 || index >= static_cast<int>(entries_.size())) return;
  entries_.erase(entries_.begin() + index);
  if (selected_ == index) {
    selected_ = -1;
  } else if (selected_ > index) {
    --selected_;  // the same entry stays selected
  }
  Changed();
}

void DeviceList::Select(int index) {
  selected_ = index >= 0 && index < static_cast<int>(entries_.size()) ? index : -1;
  Changed();
}

bool DeviceList::SelectSlot(int slot) {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].slot == slot) {
      Select(static_cast<int>(i));
      return true;
    }
  }
  return false;
}

}  // namespace quorvel
