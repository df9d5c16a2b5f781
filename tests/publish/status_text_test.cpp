// The words of the window's state line, and which failures the user is told
// about because only the user can mend them.
#include <gtest/gtest.h>

#include "publish/status_text.h"

namespace quorvel::publish {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(StatusText, TheStateLineSaysHowTheConnectionStands) {
  const Clock::time_point now = Clock::now();
  const std::string refused = ExplainFailure({LinkFailure::kBadCredentials, ""}, "broker:1883");
  const std::string away = ExplainFailure({LinkFailure::kUnreachable, "Connection refused"}, "broker:1883");
  const struct {
    const char* what;
    LinkState link;
    std::optional<LinkFailure> failure;
    std::string problem;
    Clock::time_point retry_at;
    std::string expected;
  } cases[] = {
      {"connected", LinkState::kConnected, std::nullopt, "", {}, "Connected to the broker at broker:1883."},
      {"first attempt", LinkState::kConnecting, std::nullopt, "", {}, "Connecting to the broker at broker:1883\u2026"},
      {"waiting, broker away", LinkState::kWaiting, LinkFailure::kUnreachable, away, now + 7s,
       "Reconnecting in 7 s: " + away},  // ends in '?': no full stop after it
      {"waiting, rounded up", LinkState::kWaiting, LinkFailure::kUnreachable, away, now + 1500ms,
       "Reconnecting in 2 s: " + away},
      {"waiting, time up", LinkState::kWaiting, LinkFailure::kUnreachable, away, now - 1s, "Reconnecting now: " + away},
      {"refused credentials", LinkState::kWaiting, LinkFailure::kBadCredentials, refused, now + 60s,
       "Reconnecting in 60 s: " + refused + "."},
      {"trying again", LinkState::kConnecting, LinkFailure::kBadCredentials, refused, now - 1s,
       "Reconnecting now: " + refused + "."},
      {"stopped", LinkState::kStopped, std::nullopt, "", {}, "Publishing has stopped."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PublisherStatus status;
    status.link = c.link;
    status.broker = "broker:1883";
    status.failure = c.failure;
    status.last_problem = c.problem;
    status.retry_at = c.retry_at;
    status.queued = 1234;
    status.dropped = 5;
    status.delivered = 67890;
    EXPECT_EQ(StateLine(status, now), c.expected + "\n1 234 readings waiting, 5 dropped, 67 890 messages sent.");
  }
}

TEST(StatusText, OneOfAKindIsSaidSo) {
  PublisherStatus status;
  status.link = LinkState::kConnected;
  status.broker = "b:1";
  status.queued = 1;
  status.delivered = 1;
  EXPECT_EQ(StateLine(status, Clock::now()),
            "Connected to the broker at b:1.\n1 reading waiting, 0 dropped, 1 message sent.");
}

TEST(StatusText, OnlyWhatTheUserCanMendNeedsTheUser) {
  const struct {
    LinkFailure failure;
    bool needs_user;
  } cases[] = {{LinkFailure::kUnknownHost, true},   {LinkFailure::kTls, true},     {LinkFailure::kBadCredentials, true},
               {LinkFailure::kNotAuthorised, true}, {LinkFailure::kRefused, true}, {LinkFailure::kUnreachable, false},
               {LinkFailure::kLost, false}};
  for (const auto& c : cases) EXPECT_EQ(NeedsTheUser(c.failure), c.needs_user) << static_cast<int>(c.failure);
}

TEST(StatusText, SettingsThatCannotBeUsedAreNamed) {
  EXPECT_EQ(NotPublishingLine(
                {"[Publish] Host is empty: name the broker's host", "[Publish] CAFile=/x: No such file or directory"}),
            "Not publishing: [Publish] Host is empty: name the broker's host; [Publish] CAFile=/x: No such file or "
            "directory.");
}

}  // namespace
}  // namespace quorvel::publish
