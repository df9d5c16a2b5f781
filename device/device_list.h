// The list of devices the user can pick from: one entry "COMn" per port
// found, in the order found, and the selected entry that every user
// operation addresses. Windows show it; it knows no widgets.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class DeviceList {
 public:
  struct Entry {
    std::string name;  // "COM3"
    int slot;          // 3
  };

  const std::vector<Entry>& Entries() const { return entries_; }
  int SelectedIndex() const { return selected_; }
  // The selected entry's slot, 0 when nothing is selected.
  int SelectedSlot() const;

  void Append(std::string name, int slot);
  // The entry with exactly this name (any case), or -1. Whole names only:
  // "COM1" never finds "COM10".
  int Find(std::string_view name) const;
  void RemoveAt(int index);
  // -1 clears the selection; an index outside the list clears it too.
  void Select(int index);
  bool SelectSlot(int slot);

  // Called after every change of entries or selection.
  void SetChangeListener(std::function<void()> listener) { listener_ = std::move(listener); }

 private:
  void Changed() const {
    if (listener_) listener_();
  }

  std::vector<Entry> entries_;
  int selected_ = -1;
  std::function<void()> listener_;
};

}  // namespace quorvel
