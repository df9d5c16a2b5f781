// How the publisher waits between connection attempts and what it says
// about the connection: once per outage, and again only when the cause
// changes (the broker is back but refuses the password; a broker that
// dropped the connection and then does not answer is one cause: it is
// away), so a broker that is down for a day costs one line, not thousands.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace quorvel::publish {

// 1 s, then doubling up to 60 s; back to 1 s after a connection.
class ReconnectBackoff {
 public:
  static constexpr std::chrono::seconds kFirst{1};
  static constexpr std::chrono::seconds kLongest{60};

  std::chrono::seconds Next();
  void Reset() { next_ = kFirst; }

 private:
  std::chrono::seconds next_ = kFirst;
};

enum class LinkFailure {
  kUnknownHost,     // the name does not resolve
  kUnreachable,     // nothing answers there (refused, timed out, no route)
  kTls,             // the TLS handshake failed (certificate not trusted, wrong name, ...)
  kBadCredentials,  // the broker refused the user name or password
  kNotAuthorised,   // the broker refused this client
  kRefused,         // the broker refused for another reason
  kLost,            // an established connection ended
};

struct FailureReason {
  LinkFailure kind = LinkFailure::kLost;
  std::string detail;  // the library's or the system's words, if any
};

// "12 345": a count with its thousands apart.
std::string GroupDigits(std::uint64_t number);

// The sentence for a failure, with what to check; `broker` is "host:port".
std::string ExplainFailure(const FailureReason& reason, const std::string& broker);

class ConnectionReport {
 public:
  explicit ConnectionReport(std::string broker, std::size_t queue_limit)
      : broker_(std::move(broker)), queue_limit_(queue_limit) {}

  // A connection attempt failed, or the connection ended. Says why the
  // first time in an outage, and when the cause changes.
  std::optional<std::string> Failed(const FailureReason& reason);
  // The connection is up; `dropped` counts readings dropped since the start.
  std::string Connected(std::uint64_t dropped);
  // Readings are being dropped: said once per outage.
  std::optional<std::string> Overflowing();

  bool InOutage() const { return in_outage_; }

 private:
  std::string broker_;
  std::size_t queue_limit_;
  bool ever_connected_ = false;
  bool in_outage_ = false;
  bool overflow_told_ = false;
  std::optional<LinkFailure> told_;
  std::uint64_t dropped_at_outage_ = 0;
  std::uint64_t last_dropped_ = 0;
};

}  // namespace quorvel::publish
