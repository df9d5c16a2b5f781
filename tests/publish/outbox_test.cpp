// The outbox, the reconnection schedule and what is said about the
// connection, by table.
#include "publish/outbox.h"

#include <gtest/gtest.h>

#include "publish/connection_report.h"

namespace quorvel::publish {
namespace {

std::vector<std::string> TakeAll(Outbox& outbox) {
  std::vector<std::string> taken;
  while (auto m = outbox.Take()) taken.push_back(m->topic + "=" + m->payload);
  return taken;
}

TEST(Outbox, RetainedTopicsFirstInTheOrderTheyAppearedWithTheirLatestValue) {
  Outbox outbox;
  outbox.Put(RetainedMessage("bridge", "online"));
  outbox.Put(StateMessage("m/state", "1"));
  outbox.Put(RetainedMessage("m/availability", "online"));
  outbox.Put(RetainedMessage("m/info", "a"));
  outbox.Put(StateMessage("m/state", "2"));
  outbox.Put(RetainedMessage("m/availability", "offline"));
  EXPECT_EQ(TakeAll(outbox), (std::vector<std::string>{"bridge=online", "m/availability=offline", "m/info=a",
                                                       "m/state=1", "m/state=2"}));
  EXPECT_TRUE(outbox.Empty());

  // After a reconnection everything retained goes again, nothing else.
  outbox.ResendRetained();
  EXPECT_EQ(TakeAll(outbox), (std::vector<std::string>{"bridge=online", "m/availability=offline", "m/info=a"}));
}

TEST(Outbox, AClearedTopicIsSaidOnceAndForgotten) {
  Outbox outbox;
  outbox.Put(RetainedMessage("old/config", "{}"));
  outbox.Put(RetainedMessage("new/config", "{}"));
  TakeAll(outbox);
  outbox.Put(RetainedMessage("old/config", ""));
  EXPECT_EQ(TakeAll(outbox), std::vector<std::string>{"old/config="});
  outbox.ResendRetained();
  EXPECT_EQ(TakeAll(outbox), std::vector<std::string>{"new/config={}"});
}

struct BoundCase {
  std::size_t limit;
  int readings;
  std::uint64_t dropped;
  std::vector<std::string> kept;
};

TEST(Outbox, ReadingsBeyondTheBoundDropTheOldestAndAreCounted) {
  for (const BoundCase& c :
       {BoundCase{3, 2, 0, {"r=1", "r=2"}}, BoundCase{3, 3, 0, {"r=1", "r=2", "r=3"}},
        BoundCase{3, 5, 2, {"r=3", "r=4", "r=5"}}, BoundCase{1, 4, 3, {"r=4"}}, BoundCase{0, 2, 2, {}}}) {
    Outbox outbox(c.limit);
    outbox.Put(RetainedMessage("m/availability", "online"));  // never dropped
    for (int i = 1; i <= c.readings; ++i) outbox.Put(StateMessage("r", std::to_string(i)));
    EXPECT_LE(outbox.QueuedReadings(), c.limit);
    EXPECT_EQ(outbox.Dropped(), c.dropped) << c.limit << " " << c.readings;
    std::vector<std::string> expected{"m/availability=online"};
    expected.insert(expected.end(), c.kept.begin(), c.kept.end());
    EXPECT_EQ(TakeAll(outbox), expected);
  }
}

TEST(Outbox, AMessageNotHandedOverGoesFirstAgain) {
  Outbox outbox(2);
  outbox.Put(StateMessage("r", "1"));
  outbox.Put(StateMessage("r", "2"));
  std::optional<Message> first = outbox.Take();
  outbox.PutBack(*first);
  EXPECT_EQ(TakeAll(outbox), (std::vector<std::string>{"r=1", "r=2"}));

  // With the queue full again a reading put back counts as dropped.
  outbox.Put(StateMessage("r", "3"));
  first = outbox.Take();
  outbox.Put(StateMessage("r", "4"));
  outbox.Put(StateMessage("r", "5"));
  outbox.PutBack(*first);
  EXPECT_EQ(outbox.Dropped(), 1U);
  EXPECT_EQ(TakeAll(outbox), (std::vector<std::string>{"r=4", "r=5"}));

  // A retained message put back yields to a newer value of its topic.
  outbox.Put(RetainedMessage("a", "online"));
  const std::optional<Message> online = outbox.Take();
  outbox.Put(RetainedMessage("a", "offline"));
  outbox.PutBack(*online);
  EXPECT_EQ(TakeAll(outbox), std::vector<std::string>{"a=offline"});
  outbox.CountLost(4);
  EXPECT_EQ(outbox.Dropped(), 5U);
}

TEST(ReconnectBackoff, OneSecondDoublingToSixty) {
  ReconnectBackoff backoff;
  std::vector<long> delays;
  for (int i = 0; i < 9; ++i) delays.push_back(static_cast<long>(backoff.Next().count()));
  EXPECT_EQ(delays, (std::vector<long>{1, 2, 4, 8, 16, 32, 60, 60, 60}));
  backoff.Reset();
  EXPECT_EQ(backoff.Next().count(), 1);
}

struct ReportStep {
  const char* event;  // "fail:<kind>", "connected:<dropped>", "overflow"
  const char* said;   // part of what is said; nullptr: nothing
};

LinkFailure Kind(const std::string& name) {
  if (name == "host") return LinkFailure::kUnknownHost;
  if (name == "down") return LinkFailure::kUnreachable;
  if (name == "password") return LinkFailure::kBadCredentials;
  if (name == "tls") return LinkFailure::kTls;
  return LinkFailure::kLost;
}

TEST(ConnectionReport, EachOutageIsToldOnceAndAgainOnlyWhenItsCauseChanges) {
  ConnectionReport report("broker.lan:1883", 10000);
  const std::vector<ReportStep> steps{
      {"fail:down", "cannot reach the broker at broker.lan:1883 (Connection refused): is the broker running"},
      {"fail:down", nullptr},
      {"overflow", "the queue of 10 000 readings waiting for the broker is full"},
      {"overflow", nullptr},
      {"fail:down", nullptr},
      {"fail:password", "refused the user name or password (why): check User and the password file"},
      {"fail:password", nullptr},
      {"connected:0", "publishing to the broker at broker.lan:1883"},
      {"fail:lost", "lost the connection to the broker at broker.lan:1883 (why); readings wait (up to 10 000)"},
      {"fail:down", nullptr},  // the broker is away: one trouble
      {"fail:password", "refused the user name or password"},
      {"fail:down", "cannot reach"},
      {"overflow", "is full"},
      {"connected:12345", "again; 12 345 readings were dropped meanwhile (12 345 since the start)"},
      {"fail:tls", "TLS connection to the broker at broker.lan:1883 failed (why): CAFile must hold"},
      {"connected:12345", "again"},
  };
  for (const ReportStep& step : steps) {
    const std::string event = step.event;
    std::optional<std::string> said;
    if (event.starts_with("fail:")) {
      const LinkFailure kind = Kind(event.substr(5));
      said = report.Failed({kind, kind == LinkFailure::kUnreachable ? "Connection refused" : "why"});
    } else if (event.starts_with("connected:")) {
      said = report.Connected(std::stoull(event.substr(10)));
    } else {
      said = report.Overflowing();
    }
    if (step.said == nullptr) {
      EXPECT_FALSE(said) << event << ": " << said.value_or("");
    } else {
      ASSERT_TRUE(said) << event;
      EXPECT_NE(said->find(step.said), std::string::npos) << event << ": " << *said;
    }
  }
  // The first failure of an outage says what happens next; later ones do not.
  EXPECT_NE(report.Failed({LinkFailure::kLost, ""})->find("tried again after 1 s, then doubling up to every 60 s"),
            std::string::npos);
  EXPECT_EQ(report.Failed({LinkFailure::kUnknownHost, "Name or service not known"})->find("tried again"),
            std::string::npos);
}

TEST(ConnectionReport, EveryFailureNamesWhatToCheck) {
  struct Case {
    LinkFailure kind;
    const char* words;
  };
  for (const Case& c :
       {Case{LinkFailure::kUnknownHost, "cannot find the broker's host nowhere.invalid:1883 (x): check Host"},
        Case{LinkFailure::kUnreachable, "is the broker running"},
        Case{LinkFailure::kTls, "CAFile must hold the authority"},
        Case{LinkFailure::kBadCredentials, "check User and the password file"},
        Case{LinkFailure::kNotAuthorised, "refused this client (x): check User, the password file"},
        Case{LinkFailure::kRefused, "refused the connection (x)"}, Case{LinkFailure::kLost, "lost the connection"}}) {
    const std::string text = ExplainFailure({c.kind, "x"}, "nowhere.invalid:1883");
    EXPECT_NE(text.find(c.words), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace quorvel::publish
