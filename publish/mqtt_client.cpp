#include "publish/mqtt_client.h"

#include <mosquitto.h>

#include <cerrno>
#include <cstring>

#if !defined(_WIN32)
#include <netdb.h>
#endif

namespace quorvel::publish {
namespace {

// The library is set up once for the program and never torn down: the
// publisher's thread may outlive a publisher that gave up waiting for it.
void InitLibraryOnce() {
  static const int once = mosquitto_lib_init();
  (void)once;
}

// "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed"
// -> "certificate verify failed".
std::string TlsWords(const std::string& line) {
  const std::size_t at = line.rfind("::");
  if (at != std::string::npos && at + 2 < line.size()) return line.substr(at + 2);
  const std::size_t colon = line.rfind(": ");
  return colon == std::string::npos ? line : line.substr(colon + 2);
}

FailureReason Refusal(int code) {
  const std::string words = mosquitto_connack_string(code);
  switch (code) {
    case 4:  // bad user name or password
      return {LinkFailure::kBadCredentials, words};
    case 5:  // not authorised
      return {LinkFailure::kNotAuthorised, words};
    default:
      return {LinkFailure::kRefused, words};
  }
}

}  // namespace

MqttClient::MqttClient(const BrokerConfig& config, const Message& will, Events events)
    : config_(config), events_(std::move(events)) {
  InitLibraryOnce();
  client_ = mosquitto_new(config_.client_id.c_str(), true, this);
  if (client_ == nullptr) {
    setup_problem_ = std::string("cannot make an MQTT client: ") + std::strerror(errno);
    return;
  }
  mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
  // The readings of all meters go out together each tick as small messages:
  // Nagle's algorithm would hold all but the first until an acknowledgement,
  // which the broker may delay by 40 ms.
  mosquitto_int_option(client_, MOSQ_OPT_TCP_NODELAY, 1);
  // Our own window bounds what is in flight; the library holds nothing back,
  // so a DISCONNECT never overtakes a message handed over before it.
  mosquitto_max_inflight_messages_set(client_, 0);
  mosquitto_connect_callback_set(client_, &MqttClient::OnConnect);
  mosquitto_disconnect_callback_set(client_, &MqttClient::OnDisconnect);
  mosquitto_publish_callback_set(client_, &MqttClient::OnPublish);
  mosquitto_log_callback_set(client_, &MqttClient::OnLog);
  mosquitto_will_set(client_, will.topic.c_str(), static_cast<int>(will.payload.size()), will.payload.data(), will.qos,
                     will.retained);
  if (!config_.user.empty()) {
    mosquitto_username_pw_set(client_, config_.user.c_str(),
                              config_.password.empty() ? nullptr : config_.password.c_str());
  }
  // The library keeps its own copy.
  std::fill(config_.password.begin(), config_.password.end(), '\0');
  config_.password.clear();
  if (config_.tls) {
    const char* ca_file = config_.ca_file.empty() ? nullptr : config_.ca_file.c_str();
    // Without a CA file, the system's authorities.
    const char* ca_path = ca_file == nullptr ? "/etc/ssl/certs" : nullptr;
    const int code =
        mosquitto_tls_set(client_, ca_file, ca_path, config_.cert_file.empty() ? nullptr : config_.cert_file.c_str(),
                          config_.key_file.empty() ? nullptr : config_.key_file.c_str(), nullptr);
    if (code != MOSQ_ERR_SUCCESS) {
      setup_problem_ = std::string("the TLS files cannot be used (") + mosquitto_strerror(code) +
                       "): check CAFile, CertFile and KeyFile in [Publish]";
    } else {
      mosquitto_tls_opts_set(client_, 1, nullptr, nullptr);  // verify the broker's certificate
    }
  }
}

MqttClient::~MqttClient() {
  if (client_ == nullptr) return;
  if (thread_running_) {
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, true);
  }
  mosquitto_destroy(client_);
}

std::optional<FailureReason> MqttClient::Connect() {
  if (!setup_problem_.empty()) return FailureReason{LinkFailure::kTls, setup_problem_};
  {
    const std::lock_guard lock(session_mutex_);
    session_connected_ = false;
    session_ended_ = false;
    refusal_.reset();
    last_error_.clear();
  }
  errno = 0;
  connecting_ = true;
  const int code = mosquitto_connect_async(client_, config_.host.c_str(), config_.port, config_.keepalive_seconds);
  const int error = errno;
  connecting_ = false;
  switch (code) {
    case MOSQ_ERR_SUCCESS:
      break;
    case MOSQ_ERR_EAI:
#if defined(_WIN32)
      return FailureReason{LinkFailure::kUnknownHost, "the name does not resolve"};
#else
      // The library leaves getaddrinfo's code in errno.
      return FailureReason{LinkFailure::kUnknownHost, gai_strerror(error)};
#endif
    case MOSQ_ERR_ERRNO:
      return FailureReason{LinkFailure::kUnreachable, std::strerror(error)};
    case MOSQ_ERR_TLS: {
      const std::lock_guard lock(session_mutex_);
      return FailureReason{LinkFailure::kTls, last_error_.empty() ? "TLS error" : TlsWords(last_error_)};
    }
    default:
      return FailureReason{LinkFailure::kUnreachable, mosquitto_strerror(code)};
  }
  const int started = mosquitto_loop_start(client_);
  if (started != MOSQ_ERR_SUCCESS) {
    mosquitto_disconnect(client_);
    return FailureReason{LinkFailure::kUnreachable, std::string("no network thread: ") + mosquitto_strerror(started)};
  }
  thread_running_ = true;
  return std::nullopt;
}

MqttClient::Handed MqttClient::Publish(const Message& message) {
  Handed handed;
  const int code =
      mosquitto_publish(client_, &handed.id, message.topic.c_str(), static_cast<int>(message.payload.size()),
                        message.payload.data(), message.qos, message.retained);
  switch (code) {
    case MOSQ_ERR_SUCCESS:
      break;
    case MOSQ_ERR_NO_CONN:
    case MOSQ_ERR_CONN_LOST:
    case MOSQ_ERR_NOMEM:
    case MOSQ_ERR_ERRNO:
      handed.outcome = Handed::kNoConnection;
      break;
    default:  // a topic that is not UTF-8, a payload too large, ...
      handed.outcome = Handed::kRefused;
      handed.reason = mosquitto_strerror(code);
      break;
  }
  return handed;
}

void MqttClient::Disconnect() { mosquitto_disconnect(client_); }

void MqttClient::StopNetworkThread(bool force) {
  if (!thread_running_) return;
  // A thread that has ended by itself (after a TLS failure) is joined as well.
  mosquitto_disconnect(client_);
  mosquitto_loop_stop(client_, force);
  thread_running_ = false;
}

void MqttClient::End(const FailureReason& reason) {
  {
    const std::lock_guard lock(session_mutex_);
    if (session_ended_) return;
    session_ended_ = true;
  }
  if (events_.ended) events_.ended(reason);
}

void MqttClient::OnConnect(mosquitto*, void* self, int code) {
  auto& client = *static_cast<MqttClient*>(self);
  if (code != 0) {
    const std::lock_guard lock(client.session_mutex_);
    client.refusal_ = Refusal(code);
    return;  // the library ends the session next
  }
  {
    const std::lock_guard lock(client.session_mutex_);
    client.session_connected_ = true;
  }
  if (client.events_.connected) client.events_.connected();
}

void MqttClient::OnDisconnect(mosquitto* handle, void* self, int code) {
  auto& client = *static_cast<MqttClient*>(self);
  // The library would try again on its own schedule; the publisher decides.
  mosquitto_disconnect(handle);
  FailureReason reason;
  {
    const std::lock_guard lock(client.session_mutex_);
    if (client.refusal_) {
      reason = *client.refusal_;
    } else if (client.session_connected_) {
      reason = {LinkFailure::kLost, code == 0 ? "" : mosquitto_strerror(code)};
    } else if (client.last_error_.starts_with("OpenSSL")) {
      reason = {LinkFailure::kTls, TlsWords(client.last_error_)};
    } else {
      reason = {LinkFailure::kUnreachable, code == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(code)};
    }
  }
  client.End(reason);
}

void MqttClient::OnPublish(mosquitto*, void* self, int message_id) {
  auto& client = *static_cast<MqttClient*>(self);
  if (client.events_.delivered) client.events_.delivered(message_id);
}

void MqttClient::OnLog(mosquitto*, void* self, int level, const char* text) {
  if (level != MOSQ_LOG_ERR || text == nullptr) return;
  auto& client = *static_cast<MqttClient*>(self);
  bool tls_failed = false;
  std::string words;
  {
    const std::lock_guard lock(client.session_mutex_);
    client.last_error_ = text;
    // A failed TLS handshake ends the library's thread without a disconnect
    // callback: this line is the only word of it.
    tls_failed = !client.connecting_ && !client.session_connected_ && client.last_error_.starts_with("OpenSSL");
    words = TlsWords(client.last_error_);
  }
  if (tls_failed) client.End({LinkFailure::kTls, words});
}

}  // namespace quorvel::publish
