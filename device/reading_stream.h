// Every decoded real-time reading, handed to each consumer that subscribed:
// the real-time page's presenter, the chart view, the spreadsheet logger,
// the publisher. Consumers are peers: none knows another, each takes what
// it needs of a reading, and one that fails never stops the others or the
// tick. A failure is told through the notifier once per consumer, slot and
// cause; the consumer's next success for that slot forgets it.
//
// Subscribing:
//   ReadingStream::Subscription id = stream.Subscribe("my consumer", [&](const Reading& reading) -> Result<Consumed> {
//     if (!wanted(reading)) return Consumed::kSkipped;
//     if (Status s = Use(reading); !s.ok()) return s;  // s.text() is what the user is told
//     return Consumed::kDone;
//   });
//   ...
//   stream.Unsubscribe(id);  // before whatever the consumer uses goes away
// Consumers run on the thread that decodes (the user-interface thread), in
// the order they subscribed, before the next byte of that port is fed: a
// consumer that needs time (a network) hands the reading over to its own
// queue and returns.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/device_record.h"
#include "model/notifier.h"
#include "model/status.h"

namespace quorvel {

using WallClock = std::chrono::system_clock;

// What the presenter decided for a reading under the window's rules.
struct ReadingUse {
  bool page = false;   // the real-time page shows it: the selected device, the chart view closed
  bool chart = false;  // the chart view plots it: open and in real-time mode
  bool row = false;    // a spreadsheet row is due for it
};

class Reading {
 public:
  Reading() = default;
  Reading(int from_slot, const DeviceRecord& decoded, ReadingUse decided)
      : slot(from_slot), values(decoded), use(decided) {}

  int slot = 0;
  DeviceRecord values;  // the meter's clock and readings (model/reading_fields.h)
  ReadingUse use;

  // When it was decoded, by the computer's clock: read when a consumer first
  // asks, while the reading is handed out (most consumers never ask, and
  // the clock is not free), the same for every consumer after that.
  WallClock::time_point Time() const {
    if (!time_) time_ = WallClock::now();
    return *time_;
  }

 private:
  mutable std::optional<WallClock::time_point> time_;
};

// What a consumer made of a reading: not its business, or its work done.
enum class Consumed { kSkipped, kDone };

class ReadingStream {
 public:
  using Consumer = std::function<Result<Consumed>(const Reading&)>;
  using Subscription = int;

  explicit ReadingStream(Notifier& notifier) : notifier_(notifier) {}
  ReadingStream(const ReadingStream&) = delete;
  ReadingStream& operator=(const ReadingStream&) = delete;

  // `name` says which consumer failed when it throws; its failures'
  // texts are told as they are.
  Subscription Subscribe(std::string name, Consumer consumer);
  // May be called from inside a consumer, for itself or another.
  void Unsubscribe(Subscription subscription);
  std::size_t ConsumerCount() const;

  // Hands the reading to every consumer, each exactly once.
  void Publish(const Reading& reading);

 private:
  struct Entry {
    Subscription id = 0;
    std::string name;
    Consumer consume;
    bool subscribed = true;                    // false once unsubscribed, until the entry is dropped
    std::array<std::string, kSlotCount> told;  // the failure last told, per slot
  };
  void Failed(Entry& entry, int slot, const std::string& text);
  void DropUnsubscribed();

  Notifier& notifier_;
  std::vector<std::unique_ptr<Entry>> entries_;  // each where it is while its consumer runs
  Subscription next_id_ = 1;
  int publishing_ = 0;         // depth of Publish calls under way: removals wait for the end
  bool unsubscribed_ = false;  // an entry waits to be removed
};

}  // namespace quorvel
