#include "publish/outbox.h"

namespace quorvel::publish {

void Outbox::Put(Message message) {
  if (!message.retained) {
    if (reading_limit_ == 0) {
      ++dropped_;
      return;
    }
    if (readings_.size() >= reading_limit_) {
      readings_.pop_front();
      ++dropped_;
    }
    readings_.push_back(std::move(message));
    return;
  }
  auto [entry, added] = board_.try_emplace(message.topic);
  Retained& retained = entry->second;
  if (added) retained.order = next_order_++;
  retained.payload = std::move(message.payload);
  retained.qos = message.qos;
  retained.pending = true;
  pending_[retained.order] = entry->first;
}

std::optional<Message> Outbox::Take() {
  if (!pending_.empty()) {
    const auto next = pending_.begin();
    const auto entry = board_.find(next->second);
    pending_.erase(next);
    Message message{entry->first, entry->second.payload, true, entry->second.qos};
    if (message.payload.empty()) {
      board_.erase(entry);
    } else {
      entry->second.pending = false;
    }
    return message;
  }
  if (readings_.empty()) return std::nullopt;
  Message message = std::move(readings_.front());
  readings_.pop_front();
  return message;
}

void Outbox::PutBack(Message message) {
  if (!message.retained) {
    if (readings_.size() >= reading_limit_) {
      ++dropped_;
      return;
    }
    readings_.push_front(std::move(message));
    return;
  }
  const auto entry = board_.find(message.topic);
  if (entry == board_.end()) {
    Put(std::move(message));  // a clearing message, forgotten when taken
  } else if (!entry->second.pending) {
    entry->second.pending = true;
    pending_[entry->second.order] = entry->first;
  }
}

void Outbox::ResendRetained() {
  for (auto& [topic, retained] : board_) {
    retained.pending = true;
    pending_[retained.order] = topic;
  }
}

}  // namespace quorvel::publish
