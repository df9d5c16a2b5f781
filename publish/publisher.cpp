#include "publish/publisher.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "publish/connection_report.h"
#include "publish/mqtt_client.h"

#if defined(__linux__)
#include <pthread.h>
#endif

namespace quorvel::publish {

using SteadyClock = std::chrono::steady_clock;

// What the caller's thread, the publisher's thread and libmosquitto's
// network thread share. The publisher's thread holds it too, so that a
// thread stuck in a name lookup at the end can be left to finish alone.
struct Publisher::Core {
  explicit Core(PublisherOptions o)
      : options(std::move(o)), outbox(options.queue_limit), report(options.broker.Address(), options.queue_limit) {}

  // Sentences are told outside the lock: a listener may ask for the status.
  void Tell(const std::vector<std::string>& sentences) {
    const std::lock_guard lock(tell_mutex);
    if (!options.tell) return;
    for (const std::string& sentence : sentences) options.tell(sentence);
  }

  PublisherOptions options;  // `tell` guarded by tell_mutex
  std::mutex tell_mutex;

  mutable std::mutex mutex;
  std::condition_variable wake;
  Outbox outbox;
  ConnectionReport report;
  ReconnectBackoff backoff;
  LinkState link = LinkState::kStopped;
  std::string last_problem;
  std::optional<LinkFailure> failure;
  SteadyClock::time_point retry_at;
  bool stopping = false;
  SteadyClock::time_point stop_deadline;
  bool finished = false;
  bool connected = false;
  bool session_over = false;
  std::optional<FailureReason> end_reason;
  // Message ids handed to the library and not yet delivered: true for a
  // reading (lost if the connection ends), false for a retained message
  // (said again on the next connection anyway).
  std::map<int, bool> in_flight;
  std::set<int> delivered_early;  // delivered before Publish() returned its id
  std::uint64_t delivered = 0;
  std::uint64_t dropped_told = 0;
  // Said on the publisher's thread: a listener that blocks (a full pipe on
  // standard error) never holds up the caller.
  std::vector<std::string> to_tell;
  std::set<std::string> refusals_told;  // each cause once
};

namespace {

// How long a started attempt may take to be accepted or refused.
constexpr std::chrono::seconds kConnectTimeout{30};

}  // namespace

Publisher::Publisher(PublisherOptions options)
    : bridge_(options.bridge), core_(std::make_shared<Core>(std::move(options))) {
  // The first retained topic: said first on every connection.
  core_->outbox.Put(bridge_.BridgeOnline());
}

Publisher::~Publisher() { Stop(); }

void Publisher::Start() {
  if (thread_.joinable() || stopped_) return;
  {
    const std::lock_guard lock(core_->mutex);
    core_->link = LinkState::kConnecting;
  }
  thread_ = std::thread([core = core_] { Run(core); });
}

void Publisher::Stop(std::chrono::milliseconds grace) {
  if (stopped_) return;
  stopped_ = true;
  if (!thread_.joinable()) return;
  Send(bridge_.Shutdown());
  std::unique_lock lock(core_->mutex);
  core_->stopping = true;
  core_->stop_deadline = SteadyClock::now() + grace;
  core_->wake.notify_all();
  // The thread keeps to the deadline itself, unless a name lookup holds it.
  const bool finished = core_->wake.wait_until(lock, core_->stop_deadline + std::chrono::milliseconds{500},
                                               [&] { return core_->finished; });
  lock.unlock();
  if (finished) {
    thread_.join();
    return;
  }
  {
    const std::lock_guard tell_lock(core_->tell_mutex);
    core_->options.tell = nullptr;  // its listener may be gone when it ends
  }
  thread_.detach();
}

void Publisher::ReadingTaken(int slot, const MeterReading& values, WallClock::time_point time) {
  StampedReading reading;
  reading.slot = slot;
  reading.values = values;
  reading.time = time;
  reading.utc_offset_seconds = LocalUtcOffsetSeconds(time);
  Send(bridge_.ReadingTaken(reading));
}

void Publisher::Send(MeterBridge::Messages messages) {
  if (messages.empty()) return;
  {
    const std::lock_guard lock(core_->mutex);
    for (Message& message : messages) core_->outbox.Put(std::move(message));
    if (core_->outbox.Dropped() > core_->dropped_told) {
      core_->dropped_told = core_->outbox.Dropped();
      if (auto sentence = core_->report.Overflowing()) core_->to_tell.push_back(*sentence);
    }
  }
  core_->wake.notify_all();
}

PublisherStatus Publisher::Status() const {
  const std::lock_guard lock(core_->mutex);
  PublisherStatus status;
  status.link = core_->link;
  status.broker = core_->options.broker.Address();
  status.last_problem = core_->last_problem;
  status.failure = core_->failure;
  status.retry_at = core_->retry_at;
  status.queued = core_->outbox.QueuedReadings();
  status.dropped = core_->outbox.Dropped();
  status.delivered = core_->delivered;
  return status;
}

void Publisher::Run(const std::shared_ptr<Core>& core) {
#if defined(__linux__)
  // Named for top -H and the benchmark; libmosquitto's network thread,
  // started from here, inherits the name.
  pthread_setname_np(pthread_self(), "quorvel-publish");
#endif
  Core& c = *core;
  MqttClient::Events events;
  events.connected = [&c] {
    {
      const std::lock_guard lock(c.mutex);
      c.connected = true;
      c.link = LinkState::kConnected;
      c.failure.reset();
      c.backoff.Reset();
      c.outbox.ResendRetained();
      c.to_tell.push_back(c.report.Connected(c.outbox.Dropped()));
    }
    c.wake.notify_all();
  };
  events.ended = [&c](const FailureReason& reason) {
    {
      const std::lock_guard lock(c.mutex);
      c.connected = false;
      c.session_over = true;
      c.end_reason = reason;
      std::uint64_t lost = 0;
      for (const auto& [id, reading] : c.in_flight) lost += reading ? 1 : 0;
      c.outbox.CountLost(lost);
      c.in_flight.clear();
      c.delivered_early.clear();
    }
    c.wake.notify_all();
  };
  events.delivered = [&c](int id) {
    bool wanted = false;
    {
      const std::lock_guard lock(c.mutex);
      wanted = c.in_flight.size() >= c.options.in_flight_limit;
      if (c.in_flight.erase(id) == 0) c.delivered_early.insert(id);
      ++c.delivered;
      wanted = wanted || (c.stopping && c.in_flight.empty());
    }
    if (wanted) c.wake.notify_all();
  };

  const Message will = MeterBridge(c.options.bridge).Will();
  MqttClient client(c.options.broker, will, events);
  std::unique_lock lock(c.mutex);
  // Tells what the caller's thread left to be told.
  const auto flush_told = [&] {
    if (c.to_tell.empty()) return;
    std::vector<std::string> told;
    told.swap(c.to_tell);
    lock.unlock();
    c.Tell(told);
    lock.lock();
  };
  // Says why the connection failed (once per outage), then waits before the next try.
  const auto fail_and_wait = [&](const FailureReason& reason) {
    c.link = LinkState::kWaiting;
    c.last_problem = ExplainFailure(reason, c.options.broker.Address());
    c.failure = reason.kind;
    const SteadyClock::time_point until = SteadyClock::now() + c.backoff.Next();
    c.retry_at = until;
    if (std::optional<std::string> sentence = c.report.Failed(reason)) c.to_tell.push_back(*sentence);
    flush_told();
    while (c.wake.wait_until(lock, until, [&] { return c.stopping || !c.to_tell.empty(); }) && !c.stopping) {
      flush_told();
    }
  };

  while (!c.stopping) {
    c.link = LinkState::kConnecting;
    c.session_over = false;
    c.connected = false;
    c.end_reason.reset();
    lock.unlock();
    const std::optional<FailureReason> failed = client.Connect();
    lock.lock();
    if (failed) {
      if (!c.stopping) fail_and_wait(*failed);
      continue;
    }
    const SteadyClock::time_point attempt_deadline = SteadyClock::now() + kConnectTimeout;
    bool force_stop = false;
    bool stalled = false;  // the library has no connection, though it has not said so yet
    while (!c.session_over) {
      flush_told();
      if (c.session_over) break;
      if (c.stopping && !c.connected) {
        force_stop = true;  // an attempt still under way: nothing to say goodbye on
        break;
      }
      if (!c.connected) {
        const bool answered = c.wake.wait_until(
            lock, attempt_deadline, [&] { return c.stopping || c.session_over || c.connected || !c.to_tell.empty(); });
        if (!answered) {
          c.end_reason = FailureReason{LinkFailure::kUnreachable, "no answer within 30 s"};
          force_stop = true;
          break;
        }
        continue;
      }
      // At the end everything waiting goes, the window aside: the last
      // readings and every meter's "offline" before the DISCONNECT.
      const std::size_t window = c.stopping ? SIZE_MAX : c.options.in_flight_limit;
      std::vector<std::string> refused;
      while (!stalled && c.in_flight.size() < window) {
        std::optional<Message> message = c.outbox.Take();
        if (!message) break;
        lock.unlock();
        const MqttClient::Handed handed = client.Publish(*message);
        lock.lock();
        if (handed.outcome == MqttClient::Handed::kNoConnection) {
          c.outbox.PutBack(std::move(*message));
          stalled = true;
        } else if (handed.outcome == MqttClient::Handed::kRefused) {
          if (!message->retained) c.outbox.CountLost(1);
          if (c.refusals_told.insert(handed.reason).second) {
            refused.push_back("a message to " + message->topic + " cannot be sent (" + handed.reason + ")");
          }
        } else if (c.delivered_early.erase(handed.id) == 0) {
          c.in_flight[handed.id] = !message->retained;
        }
      }
      c.to_tell.insert(c.to_tell.end(), refused.begin(), refused.end());
      if (c.stopping) {
        // The broker confirms the last messages before the goodbye: a socket
        // closed while its confirmations arrive is reset, and a reset can
        // take unread messages with it on the broker's side.
        c.wake.wait_until(lock, c.stop_deadline, [&] { return c.session_over || c.in_flight.empty(); });
        lock.unlock();
        client.Disconnect();
        lock.lock();
        force_stop = !c.wake.wait_until(lock, c.stop_deadline, [&] { return c.session_over; });
        break;
      }
      c.wake.wait(lock, [&] {
        return c.stopping || c.session_over || !c.to_tell.empty() ||
               (!stalled && !c.outbox.Empty() && c.in_flight.size() < c.options.in_flight_limit);
      });
    }
    const std::optional<FailureReason> reason = c.end_reason;
    lock.unlock();
    client.StopNetworkThread(force_stop);
    lock.lock();
    c.connected = false;
    if (c.stopping) break;
    fail_and_wait(reason.value_or(FailureReason{}));
  }
  c.link = LinkState::kStopped;
  c.finished = true;
  lock.unlock();
  c.wake.notify_all();
}

std::unique_ptr<Publisher> MakePublisher(const PublishSettings& settings, const std::string& version,
                                         std::function<void(const std::string&)> tell,
                                         std::vector<std::string>* problems, std::vector<std::string>* warnings) {
  PreparedBroker prepared = PrepareBroker(settings);
  if (warnings) warnings->insert(warnings->end(), prepared.warnings.begin(), prepared.warnings.end());
  if (problems) problems->insert(problems->end(), prepared.problems.begin(), prepared.problems.end());
  if (!prepared.problems.empty()) return nullptr;
  PublisherOptions options;
  options.broker = std::move(prepared.config);
  options.bridge.scheme = std::move(prepared.scheme);
  options.bridge.discovery = settings.Discovery;
  options.bridge.sw_version = version;
  options.tell = std::move(tell);
  return std::make_unique<Publisher>(std::move(options));
}

}  // namespace quorvel::publish
