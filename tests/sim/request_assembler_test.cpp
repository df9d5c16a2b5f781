#include "sim/request_assembler.h"

#include <gtest/gtest.h>

#include "tests/sim/sim_test_support.h"

namespace quorvel::sim::test {
namespace {

const RequestFrame kRealTime = Request(0x97);
// Parameters holding the frame's own marker bytes.
const RequestFrame kTricky = Request(0x8B, {0x55, 0xAA, 0x0D, 0x55, 0xAA, 0x0D, 0x55, 0x55});

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Of(const RequestFrame& frame) { return Bytes(frame.begin(), frame.end()); }

struct StreamCase {
  const char* name;
  Bytes stream;
  std::vector<RequestFrame> frames;
  std::uint64_t skipped;
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class Assembler : public ::testing::TestWithParam<StreamCase> {};

TEST_P(Assembler, FindsTheRealFrames) {
  const StreamCase& c = GetParam();
  RequestAssembler whole;
  EXPECT_EQ(whole.Feed(c.stream), c.frames);
  EXPECT_EQ(whole.SkippedBytes(), c.skipped);

  // Byte by byte, as a serial line may deliver them.
  RequestAssembler trickle;
  std::vector<RequestFrame> found;
  for (const std::uint8_t b : c.stream) {
    for (const RequestFrame& f : trickle.Feed(std::span(&b, 1))) found.push_back(f);
  }
  EXPECT_EQ(found, c.frames);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, Assembler,
    ::testing::Values(
        StreamCase{"one_frame", Of(kRealTime), {kRealTime}, 0},
        StreamCase{"markers_inside_parameters", Of(kTricky), {kTricky}, 0},
        StreamCase{"back_to_back", Join({Of(kRealTime), Of(kTricky)}), {kRealTime, kTricky}, 0},
        StreamCase{"leading_garbage", Join({{0x12, 0xAA, 0x0D, 0x34}, Of(kRealTime)}), {kRealTime}, 4},
        // A stray 0x55 starts a false frame; the real one starts inside it.
        StreamCase{"stray_start_byte", Join({{0x55, 0x01, 0x02}, Of(kRealTime)}), {kRealTime}, 3},
        StreamCase{"two_stray_starts", Join({{0x55, 0x55}, Of(kTricky)}), {kTricky}, 2},
        // A frame cut short by a new request: its bytes are given up.
        StreamCase{"cut_short", Join({Bytes(kRealTime.begin(), kRealTime.begin() + 7), Of(kRealTime)}), {kRealTime}, 7},
        StreamCase{
            "wrong_tail", Join({{0x55, 0x97, 0, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0x0A}, Of(kRealTime)}), {kRealTime}, 12},
        StreamCase{"only_garbage", Bytes{0x00, 0xAA, 0x0D, 0xFF}, {}, 4}),
    CaseName{});

TEST(Assembler, HoldsAnIncompleteFrameUntilTheRestArrives) {
  RequestAssembler assembler;
  const Bytes first(kRealTime.begin(), kRealTime.begin() + 5);
  const Bytes rest(kRealTime.begin() + 5, kRealTime.end());
  EXPECT_TRUE(assembler.Feed(first).empty());
  EXPECT_EQ(assembler.PendingBytes(), 5U);
  EXPECT_EQ(assembler.Feed(rest), std::vector<RequestFrame>{kRealTime});
  EXPECT_EQ(assembler.PendingBytes(), 0U);
}

}  // namespace
}  // namespace quorvel::sim::test
