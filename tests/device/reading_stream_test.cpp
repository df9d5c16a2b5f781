// The reading stream: every consumer gets every reading, in the order they
// subscribed; a failing or throwing consumer stops neither the others nor
// the stream, and each of its causes is told once per slot until it
// succeeds for that slot again.
#include "device/reading_stream.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/recording_notifier.h"

namespace quorvel {
namespace {

Reading ReadingOf(int slot) {
  Reading reading;
  reading.slot = slot;
  reading.values.Voltage = 230.0F;
  return reading;
}

TEST(ReadingStream, EveryConsumerGetsEveryReadingInOrder) {
  testing::RecordingNotifier notices;
  ReadingStream stream(notices);
  std::vector<std::string> calls;
  for (const char* name : {"page", "chart", "rows"}) {
    stream.Subscribe(name, [&, name](const Reading& r) -> Result<Consumed> {
      calls.push_back(std::string(name) + " " + std::to_string(r.slot));
      return Consumed::kDone;
    });
  }
  stream.Publish(ReadingOf(3));
  stream.Publish(ReadingOf(7));
  EXPECT_EQ(calls, (std::vector<std::string>{"page 3", "chart 3", "rows 3", "page 7", "chart 7", "rows 7"}));
  EXPECT_TRUE(notices.texts.empty());
}

// One consumer's outcome on a run of readings (slot, outcome), and what the
// user is told; a second consumer must see every reading whatever happens.
struct FailureCase {
  const char* name;
  std::vector<std::pair<int, std::string>> steps;  // "" done, "-" skipped, "!" throws, else a failure's text
  std::vector<std::string> told;
};

class ConsumerFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ConsumerFailures, AreToldOncePerCauseAndNeverStopTheOthers) {
  const FailureCase& c = GetParam();
  testing::RecordingNotifier notices;
  ReadingStream stream(notices);
  std::size_t step = 0;
  stream.Subscribe("publisher", [&](const Reading&) -> Result<Consumed> {
    const std::string& what = c.steps.at(step).second;
    if (what.empty()) return Consumed::kDone;
    if (what == "-") return Consumed::kSkipped;
    if (what == "!") throw std::runtime_error("queue gone");
    return Status::Fail(StatusCode::kFailed, what);
  });
  int others = 0;
  stream.Subscribe("other", [&](const Reading&) -> Result<Consumed> {
    ++others;
    return Consumed::kDone;
  });
  for (step = 0; step < c.steps.size(); ++step) stream.Publish(ReadingOf(c.steps[step].first));
  EXPECT_EQ(notices.texts, c.told);
  EXPECT_EQ(others, static_cast<int>(c.steps.size()));
  for (const Notice& notice : notices.notices) EXPECT_EQ(notice.icon, NoticeIcon::kWarning);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConsumerFailures,
    ::testing::Values(
        FailureCase{"RepeatedCauseToldOnce", {{1, "down"}, {1, "down"}, {1, "down"}}, {"down"}},
        FailureCase{"NewCauseToldAgain", {{1, "down"}, {1, "refused"}, {1, "refused"}}, {"down", "refused"}},
        FailureCase{"SuccessForgetsTheCause", {{1, "down"}, {1, ""}, {1, "down"}}, {"down", "down"}},
        FailureCase{"SkippingForgetsNothing", {{1, "down"}, {1, "-"}, {1, "down"}}, {"down"}},
        FailureCase{
            "EachSlotHasItsOwnCause", {{3, "down"}, {5, "down"}, {3, "down"}, {5, ""}, {3, "down"}}, {"down", "down"}},
        FailureCase{"AnotherSlotsSuccessForgetsNothing", {{3, "down"}, {5, ""}, {3, "down"}}, {"down"}},
        FailureCase{"AThrowIsAFailureNamedByTheConsumer",
                    {{2, "!"}, {2, "!"}, {2, ""}, {2, "!"}},
                    {"publisher: queue gone", "publisher: queue gone"}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ReadingStream, UnsubscribingStopsAConsumerEvenFromInsideAReading) {
  testing::RecordingNotifier notices;
  ReadingStream stream(notices);
  int first = 0;
  int second = 0;
  ReadingStream::Subscription second_id = 0;
  stream.Subscribe("first", [&](const Reading&) -> Result<Consumed> {
    if (++first == 2) stream.Unsubscribe(second_id);  // the second is passed over from now on
    return Consumed::kDone;
  });
  second_id = stream.Subscribe("second", [&](const Reading&) -> Result<Consumed> {
    ++second;
    return Consumed::kDone;
  });
  EXPECT_EQ(stream.ConsumerCount(), 2U);
  for (int i = 0; i < 3; ++i) stream.Publish(ReadingOf(1));
  EXPECT_EQ(first, 3);
  EXPECT_EQ(second, 1);
  EXPECT_EQ(stream.ConsumerCount(), 1U);
}

// A consumer that leaves while it runs keeps what it holds until it returns.
TEST(ReadingStream, AConsumerMayUnsubscribeItselfAndGoOnUsingWhatItHolds) {
  testing::RecordingNotifier notices;
  ReadingStream stream(notices);
  ReadingStream::Subscription self = 0;
  std::string seen;
  const std::string label(64, 'x');  // held by the consumer, on the heap
  self = stream.Subscribe("once", [&stream, &self, &seen, label](const Reading&) -> Result<Consumed> {
    stream.Unsubscribe(self);
    seen = label;
    return Consumed::kDone;
  });
  stream.Publish(ReadingOf(1));
  stream.Publish(ReadingOf(1));
  EXPECT_EQ(seen, label);
  EXPECT_EQ(stream.ConsumerCount(), 0U);
  EXPECT_TRUE(notices.notices.empty());
}

TEST(ReadingStream, AConsumerSubscribedDuringAReadingStartsWithTheNext) {
  testing::RecordingNotifier notices;
  ReadingStream stream(notices);
  int late = 0;
  bool subscribed = false;
  stream.Subscribe("first", [&](const Reading&) -> Result<Consumed> {
    if (!subscribed) {
      subscribed = true;
      stream.Subscribe("late", [&](const Reading&) -> Result<Consumed> {
        ++late;
        return Consumed::kDone;
      });
    }
    return Consumed::kDone;
  });
  stream.Publish(ReadingOf(1));
  EXPECT_EQ(late, 0);
  stream.Publish(ReadingOf(1));
  EXPECT_EQ(late, 1);
}

}  // namespace
}  // namespace quorvel
