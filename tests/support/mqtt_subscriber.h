// A client of the test's own that subscribes to everything on a broker
// (libmosquitto, as any other program would) and keeps what arrives.
#pragma once

#include <gtest/gtest.h>
#include <mosquitto.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/spin.h"

namespace quorvel::testing {

struct Received {
  std::string topic;
  std::string payload;
  bool retained = false;
};

class MqttSubscriber {
 public:
  // Subscribes to `filter` at the broker on 127.0.0.1:`port`; `ca_file`,
  // `user` and `password` for a broker that asks for them.
  MqttSubscriber(int port, const std::string& filter = "#", const std::string& ca_file = "",
                 const std::string& user = "", const std::string& password = "")
      : filter_(filter) {
    mosquitto_lib_init();
    client_ = mosquitto_new(nullptr, true, this);
    if (!user.empty()) mosquitto_username_pw_set(client_, user.c_str(), password.c_str());
    if (!ca_file.empty()) mosquitto_tls_set(client_, ca_file.c_str(), nullptr, nullptr, nullptr, nullptr);
    mosquitto_connect_callback_set(client_, [](mosquitto* c, void* self, int code) {
      if (code == 0) mosquitto_subscribe(c, nullptr, static_cast<MqttSubscriber*>(self)->filter_.c_str(), 1);
    });
    mosquitto_subscribe_callback_set(client_, [](mosquitto*, void* self, int, int, const int*) {
      auto& me = *static_cast<MqttSubscriber*>(self);
      const std::lock_guard lock(me.mutex_);
      me.subscribed_ = true;
    });
    mosquitto_message_callback_set(client_, [](mosquitto*, void* self, const mosquitto_message* m) {
      auto& me = *static_cast<MqttSubscriber*>(self);
      const std::lock_guard lock(me.mutex_);
      me.received_.push_back(
          {m->topic, std::string(static_cast<const char*>(m->payload), static_cast<std::size_t>(m->payloadlen)),
           m->retain});
    });
    mosquitto_reconnect_delay_set(client_, 1, 1, false);
    EXPECT_EQ(mosquitto_connect(client_, "127.0.0.1", port, 30), MOSQ_ERR_SUCCESS);
    mosquitto_loop_start(client_);
    EXPECT_TRUE(SpinUntil([&] {
      const std::lock_guard lock(mutex_);
      return subscribed_;
    })) << "the test's subscriber did not subscribe";
  }
  ~MqttSubscriber() {
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, false);
    mosquitto_destroy(client_);
  }

  std::vector<Received> All() {
    const std::lock_guard lock(mutex_);
    return received_;
  }
  // The last message of the topic, if any came.
  std::optional<Received> Last(const std::string& topic) {
    const std::lock_guard lock(mutex_);
    for (auto it = received_.rbegin(); it != received_.rend(); ++it) {
      if (it->topic == topic) return *it;
    }
    return std::nullopt;
  }
  std::vector<Received> Of(const std::string& topic) {
    std::vector<Received> found;
    const std::lock_guard lock(mutex_);
    for (const Received& r : received_) {
      if (r.topic == topic) found.push_back(r);
    }
    return found;
  }
  // Waits until the topic's last message says `payload`.
  bool AwaitLast(const std::string& topic, const std::string& payload, int timeout_ms = kPatienceMs) {
    return SpinUntil(
        [&] {
          const auto last = Last(topic);
          return last && last->payload == payload;
        },
        timeout_ms);
  }
  bool AwaitCount(const std::string& topic, std::size_t count, int timeout_ms = kPatienceMs) {
    return SpinUntil([&] { return Of(topic).size() >= count; }, timeout_ms);
  }

 private:
  std::string filter_;
  mosquitto* client_ = nullptr;
  std::mutex mutex_;
  bool subscribed_ = false;
  std::vector<Received> received_;
};

}  // namespace quorvel::testing
