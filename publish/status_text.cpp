#include "publish/status_text.h"

namespace quorvel::publish {
namespace {

// A full stop unless the text ends a sentence already ("... port?").
std::string Ended(std::string text) {
  if (text.empty() || (text.back() != '.' && text.back() != '?' && text.back() != '!')) text += '.';
  return text;
}

std::string Count(std::uint64_t count, const char* one, const char* many) {
  return GroupDigits(count) + " " + (count == 1 ? one : many);
}

std::string Counts(const PublisherStatus& status) {
  return Count(status.queued, "reading", "readings") + " waiting, " + GroupDigits(status.dropped) + " dropped, " +
         Count(status.delivered, "message", "messages") + " sent.";
}

// Whole seconds to the next attempt, rounded up: "in 1 s" until it starts.
long long SecondsUntil(std::chrono::steady_clock::time_point then, std::chrono::steady_clock::time_point now) {
  if (then <= now) return 0;
  const auto left = std::chrono::ceil<std::chrono::seconds>(then - now);
  return left.count();
}

}  // namespace

bool NeedsTheUser(LinkFailure failure) {
  switch (failure) {
    case LinkFailure::kUnknownHost:
    case LinkFailure::kTls:
    case LinkFailure::kBadCredentials:
    case LinkFailure::kNotAuthorised:
    case LinkFailure::kRefused:
      return true;
    case LinkFailure::kUnreachable:
    case LinkFailure::kLost:
      break;
  }
  return false;
}

std::string StateLine(const PublisherStatus& status, std::chrono::steady_clock::time_point now) {
  std::string head;
  switch (status.link) {
    case LinkState::kStopped:
      head = "Publishing has stopped.";
      break;
    case LinkState::kConnected:
      head = "Connected to the broker at " + status.broker + ".";
      break;
    case LinkState::kConnecting:
      head = status.failure ? Ended("Reconnecting now: " + status.last_problem)
                            : "Connecting to the broker at " + status.broker + "\u2026";
      break;
    case LinkState::kWaiting: {
      const long long seconds = SecondsUntil(status.retry_at, now);
      head = Ended((seconds > 0 ? "Reconnecting in " + std::to_string(seconds) + " s: " : "Reconnecting now: ") +
                   status.last_problem);
      break;
    }
  }
  return head + "\n" + Counts(status);
}

std::string NotPublishingLine(const std::vector<std::string>& problems) {
  std::string text = "Not publishing";
  const char* separator = ": ";
  for (const std::string& problem : problems) {
    text += separator + problem;
    separator = "; ";
  }
  return Ended(text);
}

}  // namespace quorvel::publish
