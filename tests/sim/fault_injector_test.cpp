#include "sim/fault_injector.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/sim/sim_test_support.h"

namespace quorvel::sim::test {
namespace {

// The meter-number answer: long enough to cut, with a 0x55 of its own.
const Bytes kAnswer{0x55, 0x0A, 0xC8, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xF6, 0xAA};

FaultOptions Only(Fault fault) {
  FaultOptions options;
  FaultRates& r = options.rates;
  switch (fault) {
    case Fault::kNoise:
      r.noise = 1.0;
      break;
    case Fault::kWrongEnd:
      r.wrong_end = 1.0;
      break;
    case Fault::kTruncated:
      r.truncate = 1.0;
      break;
    case Fault::kLost:
      r.lose = 1.0;
      break;
    case Fault::kDelayed:
      r.delay = 1.0;
      break;
    case Fault::kNone:
      break;
  }
  return options;
}

constexpr int kDraws = 2000;

TEST(FaultInjector, WithoutFaultsPassesAnswersThrough) {
  FaultInjector injector(FaultOptions{}, 1);
  for (int i = 0; i < 50; ++i) {
    const Transmission out = injector.Apply(kAnswer);
    EXPECT_EQ(out.bytes, kAnswer);
    EXPECT_EQ(out.delay.count(), 0);
    EXPECT_EQ(out.fault, Fault::kNone);
  }
  EXPECT_EQ(injector.Stats().answers, 50U);
  EXPECT_EQ(injector.Stats().intact, 50U);
}

TEST(FaultInjector, NothingToSendIsNotAnAnswer) {
  FaultInjector injector(Only(Fault::kNoise), 1);
  EXPECT_TRUE(injector.Apply({}).bytes.empty());
  EXPECT_EQ(injector.Stats().answers, 0U);
  EXPECT_TRUE(injector.Log().empty());
}

TEST(FaultInjector, NoiseGoesBeforeTheAnswerAndNeverStartsAFrame) {
  FaultOptions options = Only(Fault::kNoise);
  options.noise_min_bytes = 3;
  options.noise_max_bytes = 9;
  FaultInjector injector(options, 5);
  for (int i = 0; i < kDraws; ++i) {
    const Transmission out = injector.Apply(kAnswer);
    ASSERT_EQ(out.fault, Fault::kNoise);
    ASSERT_GE(out.bytes.size(), kAnswer.size() + 3);
    ASSERT_LE(out.bytes.size(), kAnswer.size() + 9);
    const std::size_t noise = out.bytes.size() - kAnswer.size();
    EXPECT_TRUE(std::equal(kAnswer.begin(), kAnswer.end(), out.bytes.begin() + static_cast<std::ptrdiff_t>(noise)));
    EXPECT_EQ(std::count(out.bytes.begin(), out.bytes.begin() + static_cast<std::ptrdiff_t>(noise), 0x55), 0);
  }
}

TEST(FaultInjector, NoiseMayStartAFrameWhenAllowed) {
  FaultOptions options = Only(Fault::kNoise);
  options.noise_may_contain_start = true;
  FaultInjector injector(options, 5);
  long starts = 0;
  for (int i = 0; i < kDraws; ++i) {
    const Transmission out = injector.Apply(kAnswer);
    const auto noise = static_cast<std::ptrdiff_t>(out.bytes.size() - kAnswer.size());
    starts += std::count(out.bytes.begin(), out.bytes.begin() + noise, 0x55);
  }
  EXPECT_GT(starts, 0);
}

TEST(FaultInjector, WrongEndChangesOnlyTheEndByte) {
  FaultInjector injector(Only(Fault::kWrongEnd), 5);
  for (int i = 0; i < kDraws; ++i) {
    const Transmission out = injector.Apply(kAnswer);
    ASSERT_EQ(out.bytes.size(), kAnswer.size());
    EXPECT_NE(out.bytes.back(), 0xAA);
    EXPECT_TRUE(std::equal(kAnswer.begin(), kAnswer.end() - 1, out.bytes.begin()));
  }
}

TEST(FaultInjector, TruncationKeepsAProperPrefix) {
  FaultInjector injector(Only(Fault::kTruncated), 5);
  std::size_t shortest = kAnswer.size();
  std::size_t longest = 0;
  for (int i = 0; i < kDraws; ++i) {
    const Transmission out = injector.Apply(kAnswer);
    ASSERT_GE(out.bytes.size(), 1U);
    ASSERT_LT(out.bytes.size(), kAnswer.size());
    EXPECT_TRUE(std::equal(out.bytes.begin(), out.bytes.end(), kAnswer.begin()));
    shortest = std::min(shortest, out.bytes.size());
    longest = std::max(longest, out.bytes.size());
  }
  // Every cut point turns up: from the bare start byte to all but the end byte.
  EXPECT_EQ(shortest, 1U);
  EXPECT_EQ(longest, kAnswer.size() - 1);
}

TEST(FaultInjector, LostAnswersSendNothing) {
  FaultInjector injector(Only(Fault::kLost), 5);
  for (int i = 0; i < 20; ++i) EXPECT_TRUE(injector.Apply(kAnswer).bytes.empty());
  EXPECT_EQ(injector.Stats().Count(Fault::kLost), 20U);
}

TEST(FaultInjector, TheFirstAnswerOfAChosenKindIsLostAndNoOther) {
  FaultOptions options;
  options.lose_first = {0xC8};
  FaultInjector injector(options, 7);
  Bytes other = kAnswer;
  other[2] = 0x97;
  EXPECT_EQ(injector.Apply(other).fault, Fault::kNone);
  EXPECT_EQ(injector.Apply(kAnswer).fault, Fault::kLost);
  EXPECT_EQ(injector.Apply(kAnswer).bytes, kAnswer);
  EXPECT_EQ(injector.Apply(other).fault, Fault::kNone);
}

TEST(FaultInjector, DelaysStayWithinTheirRange) {
  FaultOptions options = Only(Fault::kDelayed);
  options.delay_min = std::chrono::milliseconds{200};
  options.delay_max = std::chrono::milliseconds{1500};
  FaultInjector injector(options, 5);
  std::int64_t lowest = 10'000;
  std::int64_t highest = 0;
  for (int i = 0; i < kDraws; ++i) {
    const Transmission out = injector.Apply(kAnswer);
    EXPECT_EQ(out.bytes, kAnswer);
    lowest = std::min(lowest, static_cast<std::int64_t>(out.delay.count()));
    highest = std::max(highest, static_cast<std::int64_t>(out.delay.count()));
  }
  EXPECT_GE(lowest, 200);
  EXPECT_LE(highest, 1500);
  EXPECT_LT(lowest, 300);  // the range is used, not one value
  EXPECT_GT(highest, 1400);
}

TEST(FaultInjector, EachFaultHitsAtItsOwnRate) {
  FaultOptions options;
  options.rates = {0.05, 0.10, 0.15, 0.20, 0.25};  // noise, wrong end, truncate, lose, delay
  FaultInjector injector(options, 11);
  constexpr int kAnswers = 40'000;
  for (int i = 0; i < kAnswers; ++i) injector.Apply(kAnswer);
  const FaultStats& stats = injector.Stats();
  const std::pair<Fault, double> expected[] = {{Fault::kNoise, 0.05},     {Fault::kWrongEnd, 0.10},
                                               {Fault::kTruncated, 0.15}, {Fault::kLost, 0.20},
                                               {Fault::kDelayed, 0.25},   {Fault::kNone, 0.25}};
  for (const auto& [fault, rate] : expected) {
    // Five standard deviations and more: a fair draw never fails this.
    EXPECT_NEAR(static_cast<double>(stats.Count(fault)) / kAnswers, rate, 0.012) << FaultName(fault);
  }
  EXPECT_EQ(stats.intact, stats.Count(Fault::kNone));
  std::uint64_t total = 0;
  for (const std::uint64_t count : stats.by_fault) total += count;
  EXPECT_EQ(total, stats.answers);
}

TEST(FaultInjector, RatesAboveOneInAllStillLeaveOneFaultPerAnswer) {
  FaultOptions options;
  options.rates = {1.0, 1.0, 0.0, 0.0, 0.0};
  FaultInjector injector(options, 3);
  for (int i = 0; i < 1000; ++i) injector.Apply(kAnswer);
  EXPECT_EQ(injector.Stats().intact, 0U);
  EXPECT_NEAR(static_cast<double>(injector.Stats().Count(Fault::kNoise)), 500.0, 80.0);
  EXPECT_EQ(injector.Stats().Count(Fault::kNoise) + injector.Stats().Count(Fault::kWrongEnd), 1000U);
}

TEST(FaultInjector, SameSeedSameFaultsOtherSeedOthers) {
  FaultOptions options;
  options.rates = {0.2, 0.2, 0.2, 0.2, 0.2};
  options.noise_may_contain_start = true;
  FaultInjector a(options, 42);
  FaultInjector b(options, 42);
  FaultInjector c(options, 43);
  bool differs = false;
  for (int i = 0; i < 200; ++i) {
    const Transmission ta = a.Apply(kAnswer);
    const Transmission tb = b.Apply(kAnswer);
    const Transmission tc = c.Apply(kAnswer);
    ASSERT_EQ(ta.bytes, tb.bytes);
    ASSERT_EQ(ta.delay, tb.delay);
    ASSERT_EQ(ta.fault, tb.fault);
    differs = differs || ta.bytes != tc.bytes || ta.fault != tc.fault;
  }
  EXPECT_TRUE(differs);
}

TEST(FaultInjector, LogsKindAndFaultOfEveryAnswerInOrder) {
  FaultOptions options;
  options.rates.lose = 0.5;
  options.log_limit = 100;
  FaultInjector injector(options, 9);
  std::vector<Fault> applied;
  for (int i = 0; i < 150; ++i) {
    Bytes answer = kAnswer;
    answer.at(2) = static_cast<std::uint8_t>(i);
    applied.push_back(injector.Apply(answer).fault);
  }
  const auto& log = injector.Log();
  ASSERT_EQ(log.size(), 100U);  // the oldest fifty were dropped
  for (std::size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].sequence, 50 + i);
    EXPECT_EQ(log[i].kind, 50 + i);  // known even for answers that were lost
    EXPECT_EQ(log[i].fault, applied[50 + i]);
  }
}

}  // namespace
}  // namespace quorvel::sim::test
