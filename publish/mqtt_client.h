// The one place that speaks to libmosquitto: a client with its will, its
// credentials and TLS, started per connection attempt on the library's own
// network thread (mosquitto_loop_start). The library does the protocol; this
// wrapper only turns its return codes, callbacks and log lines into
// FailureReasons. It never reconnects by itself: the publisher decides
// when to try again.
//
// Callbacks come on the library's network thread.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "publish/broker_config.h"
#include "publish/connection_report.h"
#include "publish/message.h"

struct mosquitto;

namespace quorvel::publish {

class MqttClient {
 public:
  struct Events {
    std::function<void()> connected;  // the broker accepted the connection
    // The session ended, or the attempt failed after it started: once per
    // Connect() that succeeded.
    std::function<void(const FailureReason&)> ended;
    std::function<void(int message_id)> delivered;  // written (QoS 0) or acknowledged (QoS 1)
  };

  MqttClient(const BrokerConfig& config, const Message& will, Events events);
  ~MqttClient();
  MqttClient(const MqttClient&) = delete;
  MqttClient& operator=(const MqttClient&) = delete;

  // Why the client cannot work at all (a TLS file the library refuses);
  // empty when it can.
  const std::string& SetupProblem() const { return setup_problem_; }

  // Starts a connection attempt and the network thread. Looks the host up
  // first, which may take a while: never call it on the user's thread.
  // A failure known at once is returned (and no thread runs).
  std::optional<FailureReason> Connect();
  // Hands a message to the library.
  struct Handed {
    enum Outcome { kHandedOver, kNoConnection, kRefused } outcome = kHandedOver;
    int id = 0;          // with kHandedOver
    std::string reason;  // with kRefused: the message itself cannot be sent
  };
  Handed Publish(const Message& message);
  // Asks for a clean end: a DISCONNECT after everything handed over.
  void Disconnect();
  // Waits for the network thread to end; `force` cancels it (when it does
  // not end in time).
  void StopNetworkThread(bool force);

 private:
  static void OnConnect(mosquitto* client, void* self, int code);
  static void OnDisconnect(mosquitto* client, void* self, int code);
  static void OnPublish(mosquitto* client, void* self, int message_id);
  static void OnLog(mosquitto* client, void* self, int level, const char* text);
  void End(const FailureReason& reason);

  BrokerConfig config_;
  Events events_;
  mosquitto* client_ = nullptr;
  std::string setup_problem_;
  bool thread_running_ = false;  // the publisher's thread only
  // Inside mosquitto_connect_async: a failure there is returned, not ended.
  std::atomic<bool> connecting_{false};

  // Of the current attempt, written on the network thread.
  std::mutex session_mutex_;
  bool session_connected_ = false;
  bool session_ended_ = false;
  std::optional<FailureReason> refusal_;
  std::string last_error_;
};

}  // namespace quorvel::publish
