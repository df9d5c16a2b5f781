#include "publish/connection_report.h"

#include <algorithm>

namespace quorvel::publish {
namespace {

std::string Because(const std::string& detail) { return detail.empty() ? "" : " (" + detail + ")"; }

// A connection that ended and a broker that does not answer are one
// trouble: the broker is away. A refusal or a TLS failure is news.
bool SameTrouble(LinkFailure a, LinkFailure b) {
  const auto away = [](LinkFailure kind) { return kind == LinkFailure::kLost || kind == LinkFailure::kUnreachable; };
  return a == b || (away(a) && away(b));
}

}  // namespace

std::string GroupDigits(std::uint64_t number) {
  std::string digits = std::to_string(number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<std::size_t>(at), " ");
  }
  return digits;
}

std::chrono::seconds ReconnectBackoff::Next() {
  const std::chrono::seconds now = next_;
  next_ = std::min(next_ * 2, kLongest);
  return now;
}

std::string ExplainFailure(const FailureReason& reason, const std::string& broker) {
  switch (reason.kind) {
    case LinkFailure::kUnknownHost:
      return "cannot find the broker's host " + broker + Because(reason.detail) +
             ": check Host in [Publish] (or --broker)";
    case LinkFailure::kUnreachable:
      return "cannot reach the broker at " + broker + Because(reason.detail) +
             ": is the broker running, and is this its address and port?";
    case LinkFailure::kTls:
      return "the TLS connection to the broker at " + broker + " failed" + Because(reason.detail) +
             ": CAFile must hold the authority that signed the broker's certificate, Host must be a name in that "
             "certificate, and the port must be the broker's TLS port";
    case LinkFailure::kBadCredentials:
      return "the broker at " + broker + " refused the user name or password" + Because(reason.detail) +
             ": check User and the password file";
    case LinkFailure::kNotAuthorised:
      return "the broker at " + broker + " refused this client" + Because(reason.detail) +
             ": check User, the password file and the broker's access rules";
    case LinkFailure::kRefused:
      return "the broker at " + broker + " refused the connection" + Because(reason.detail);
    case LinkFailure::kLost:
      break;
  }
  return "lost the connection to the broker at " + broker + Because(reason.detail);
}

std::optional<std::string> ConnectionReport::Failed(const FailureReason& reason) {
  const bool new_outage = !in_outage_;
  if (new_outage) {
    in_outage_ = true;
    overflow_told_ = false;
    dropped_at_outage_ = last_dropped_;
  } else if (told_ && SameTrouble(*told_, reason.kind)) {
    return std::nullopt;
  }
  told_ = reason.kind;
  std::string text = ExplainFailure(reason, broker_);
  if (new_outage) {
    text += "; readings wait (up to " + GroupDigits(queue_limit_) +
            ") and the connection is tried again after 1 s, then doubling up to every 60 s";
  }
  return text;
}

std::string ConnectionReport::Connected(std::uint64_t dropped) {
  last_dropped_ = dropped;
  std::string text;
  if (!ever_connected_) {
    text = "publishing to the broker at " + broker_;
  } else {
    text = "connected to the broker at " + broker_ + " again";
  }
  if (in_outage_ && dropped > dropped_at_outage_) {
    text += "; " + GroupDigits(dropped - dropped_at_outage_) + " readings were dropped meanwhile (" +
            GroupDigits(dropped) + " since the start)";
  }
  ever_connected_ = true;
  in_outage_ = false;
  told_.reset();
  return text;
}

std::optional<std::string> ConnectionReport::Overflowing() {
  if (overflow_told_) return std::nullopt;
  overflow_told_ = true;
  return "the queue of " + GroupDigits(queue_limit_) +
         " readings waiting for the broker is full; the oldest are dropped (and counted) until it is back";
}

}  // namespace quorvel::publish
