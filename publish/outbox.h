// The messages waiting for the broker. Retained messages say what is true
// now (a meter's configs, info, availability): only the latest of a topic
// matters, each is kept to be said again after every reconnection (a
// restarted broker may have forgotten it), and they go before the readings.
// Readings wait in order in a bounded queue; when it is full the oldest is
// dropped and counted, so an outage costs the oldest readings, never memory
// without bound, and never a meter's state. Not thread-safe: its owner
// locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>

#include "publish/message.h"

namespace quorvel::publish {

inline constexpr std::size_t kReadingQueueLimit = 10000;

class Outbox {
 public:
  explicit Outbox(std::size_t reading_limit = kReadingQueueLimit) : reading_limit_(reading_limit) {}

  // A retained message replaces the topic's waiting one; a reading joins
  // the queue (dropping the oldest when it is full).
  void Put(Message message);
  // The next message to hand over: retained ones first, in the order their
  // topics first appeared, then readings, oldest first.
  std::optional<Message> Take();
  // A message taken but not handed over: first again (a reading when there
  // is room; else it counts as dropped). A retained one only if its topic
  // has no newer message meanwhile.
  void PutBack(Message message);
  // After a (re)connection: every retained topic goes again. A topic
  // cleared (empty payload) is forgotten once handed over, so a topic this
  // client no longer uses is never cleared twice.
  void ResendRetained();
  // Readings handed over and lost with the connection.
  void CountLost(std::uint64_t readings) { dropped_ += readings; }

  bool Empty() const { return pending_.empty() && readings_.empty(); }
  std::size_t QueuedReadings() const { return readings_.size(); }
  std::size_t ReadingLimit() const { return reading_limit_; }
  // Readings dropped since the start: the queue was full, or they were
  // lost with the connection.
  std::uint64_t Dropped() const { return dropped_; }

 private:
  struct Retained {
    std::string payload;
    int qos = 1;
    std::uint64_t order = 0;  // when the topic first appeared
    bool pending = false;
  };

  std::size_t reading_limit_;
  std::map<std::string, Retained> board_;
  std::map<std::uint64_t, std::string> pending_;  // order -> topic
  std::uint64_t next_order_ = 0;
  std::deque<Message> readings_;
  std::uint64_t dropped_ = 0;
};

}  // namespace quorvel::publish
