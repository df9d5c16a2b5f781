// Publishes the meters to an MQTT broker. The caller (the engine's thread)
// hands in what happens to the meters; each call decides the messages
// (MeterBridge), puts them in the outbox and returns at once, never waiting
// for the network. A thread of the publisher's own connects, hands the
// messages to libmosquitto's network thread and, when the broker is away,
// tries again after 1 s, doubling up to 60 s, while readings wait in the
// bounded outbox. Nothing that arrives from the broker reaches a meter: the
// client subscribes to nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "model/publish_settings.h"
#include "publish/broker_config.h"
#include "publish/connection_report.h"
#include "publish/meter_bridge.h"
#include "publish/outbox.h"
#include "publish/payloads.h"

namespace quorvel::publish {

struct PublisherOptions {
  BrokerConfig broker;
  BridgeOptions bridge;
  std::size_t queue_limit = kReadingQueueLimit;
  // Messages handed to the library and not yet written or acknowledged.
  std::size_t in_flight_limit = 100;
  // Each sentence worth telling the user (connected, lost once per outage,
  // refused, readings dropped), from the publisher's thread or the caller's.
  std::function<void(const std::string&)> tell;
};

enum class LinkState { kStopped, kConnecting, kConnected, kWaiting };

struct PublisherStatus {
  LinkState link = LinkState::kStopped;
  std::string broker;        // host:port
  std::string last_problem;  // the last failure, explained
  // Why the broker is not reached now: from a failure until the next
  // connection (a retry under way keeps it).
  std::optional<LinkFailure> failure;
  // While waiting: when the next attempt starts.
  std::chrono::steady_clock::time_point retry_at;
  std::size_t queued = 0;  // readings waiting
  std::uint64_t dropped = 0;
  std::uint64_t delivered = 0;  // messages written or acknowledged
};

class Publisher {
 public:
  explicit Publisher(PublisherOptions options);
  ~Publisher();
  Publisher(const Publisher&) = delete;
  Publisher& operator=(const Publisher&) = delete;

  // Starts the publisher's thread; returns at once.
  void Start();
  // Every meter offline, then the bridge, then a clean disconnect. Waits up
  // to `grace` for that; a broker that is away costs no more than this.
  void Stop(std::chrono::milliseconds grace = std::chrono::milliseconds{2000});

  // What happened to the meters (the caller's thread, returns at once).
  void MeterOpened(int slot) { Send(bridge_.Opened(slot)); }
  void MeterClosed(int slot) { Send(bridge_.Closed(slot)); }
  void NumberRead(int slot, const std::string& number) { Send(bridge_.NumberRead(slot, number)); }
  void TariffRead(int slot, const TariffInfo& tariff) { Send(bridge_.TariffRead(slot, tariff)); }
  void LimitsRead(int slot, const LimitInfo& limits) { Send(bridge_.LimitsRead(slot, limits)); }
  void Co2FactorRead(int slot, double factor) { Send(bridge_.Co2FactorRead(slot, factor)); }
  void ReadingTaken(int slot, const MeterReading& values, WallClock::time_point time);
  void SetPublished(int slot, bool published) { Send(bridge_.SetPublished(slot, published)); }
  void SetDiscovery(bool on) { Send(bridge_.SetDiscovery(on)); }

  PublisherStatus Status() const;
  const MeterBridge& Bridge() const { return bridge_; }

 private:
  struct Core;
  static void Run(const std::shared_ptr<Core>& core);
  void Send(MeterBridge::Messages messages);

  MeterBridge bridge_;
  std::shared_ptr<Core> core_;
  std::thread thread_;
  bool stopped_ = false;
};

// A publisher for the [Publish] settings, not started; nothing when they
// cannot be used (`problems` says why). `warnings` gets what the user
// should know all the same (a password file others can read).
std::unique_ptr<Publisher> MakePublisher(const PublishSettings& settings, const std::string& version,
                                         std::function<void(const std::string&)> tell,
                                         std::vector<std::string>* problems, std::vector<std::string>* warnings);

}  // namespace quorvel::publish
