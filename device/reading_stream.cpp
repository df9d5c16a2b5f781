#include "device/reading_stream.h"

#include <algorithm>
#include <exception>

namespace quorvel {

ReadingStream::Subscription ReadingStream::Subscribe(std::string name, Consumer consumer) {
  auto entry = std::make_unique<Entry>();
  entry->id = next_id_++;
  entry->name = std::move(name);
  entry->consume = std::move(consumer);
  entries_.push_back(std::move(entry));
  return entries_.back()->id;
}

void ReadingStream::Unsubscribe(Subscription subscription) {
  for (const auto& entry : entries_) {
    if (entry->id == subscription) {
      // Its function may be running now: it is dropped once no reading is
      // being handed out.
      entry->subscribed = false;
      unsubscribed_ = true;
    }
  }
  if (publishing_ == 0) DropUnsubscribed();
}

std::size_t ReadingStream::ConsumerCount() const {
  return static_cast<std::size_t>(
      std::count_if(entries_.begin(), entries_.end(), [](const auto& entry) { return entry->subscribed; }));
}

void ReadingStream::Publish(const Reading& reading) {
  ++publishing_;
  // By index: a consumer may subscribe another (it starts with the next
  // reading) or unsubscribe one (it is passed over from now on).
  const std::size_t count = entries_.size();
  for (std::size_t i = 0; i < count; ++i) {
    Entry& entry = *entries_[i];
    if (!entry.subscribed) continue;
    try {
      const Result<Consumed> result = entry.consume(reading);
      if (!result.ok()) {
        Failed(entry, reading.slot, result.status().text());
      } else if (result.value() == Consumed::kDone && IsSlotNumber(reading.slot)) {
        std::string& told = entry.told[SlotIndex(reading.slot)];
        if (!told.empty()) told.clear();
      }
    } catch (const std::exception& error) {
      Failed(entry, reading.slot, entry.name + ": " + error.what());
    } catch (...) {
      Failed(entry, reading.slot, entry.name + " failed on a reading");
    }
  }
  if (--publishing_ == 0) DropUnsubscribed();
}

void ReadingStream::DropUnsubscribed() {
  if (!unsubscribed_) return;
  unsubscribed_ = false;
  std::erase_if(entries_, [](const std::unique_ptr<Entry>& entry) { return !entry->subscribed; });
}

void ReadingStream::Failed(Entry& entry, int slot, const std::string& text) {
  if (IsSlotNumber(slot)) {
    std::string& told = entry.told[SlotIndex(slot)];
    if (told == text) return;
    told = text;
  }
  notifier_.Notify(Notice{"", text, NoticeIcon::kWarning});
}

}  // namespace quorvel
