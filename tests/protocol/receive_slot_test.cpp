#include "protocol/receive_slot.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvel {
namespace {

struct Frame {
  int slot;
  std::vector<std::uint8_t> data;  // D0..D(L-2)
  bool operator==(const Frame&) const = default;
};

class RecordingHandler : public FrameHandler {
 public:
  void HandleFrame(int slot, const ReceiveSlot& frame) override {
    EXPECT_EQ(frame.EndMarker, kFrameEnd);
    const auto data_bytes = static_cast<std::size_t>(frame.Length - 1);
    frames.push_back(
        {slot, std::vector<std::uint8_t>(frame.Data.begin(), frame.Data.begin() + static_cast<long>(data_bytes))});
  }
  std::vector<Frame> frames;
};

std::vector<Frame> Receive(const std::vector<std::uint8_t>& stream, int slot = 1) {
  RecordingHandler handler;
  Receiver receiver(handler);
  for (const auto b : stream) receiver.FeedByte(slot, b);
  EXPECT_EQ(receiver.Slot(slot).StartMarker == 0, true) << "slot should end idle";
  return handler.frames;
}

struct StreamCase {
  const char* name;
  std::vector<std::uint8_t> stream;
  std::vector<std::vector<std::uint8_t>> frames;
};

class ReceiveStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(ReceiveStream, YieldsTheExpectedFrames) {
  const StreamCase& c = GetParam();
  RecordingHandler handler;
  Receiver receiver(handler);
  for (const auto b : c.stream) receiver.FeedByte(7, b);
  std::vector<std::vector<std::uint8_t>> got;
  for (const auto& f : handler.frames) {
    EXPECT_EQ(f.slot, 7);
    got.push_back(f.data);
  }
  EXPECT_EQ(got, c.frames);
}

// Batches give what single bytes give, wherever the stream is cut in two.
TEST_P(ReceiveStream, YieldsTheSameFramesInBatchesCutAnywhere) {
  const StreamCase& c = GetParam();
  for (std::size_t cut = 0; cut <= c.stream.size(); ++cut) {
    RecordingHandler handler;
    Receiver receiver(handler);
    const std::span<const std::uint8_t> stream(c.stream);
    receiver.FeedBytes(7, stream.first(cut));
    receiver.FeedBytes(7, stream.subspan(cut));
    std::vector<std::vector<std::uint8_t>> got;
    for (const auto& f : handler.frames) got.push_back(f.data);
    EXPECT_EQ(got, c.frames) << "cut at " << cut;
    EXPECT_EQ(receiver.Slot(7).StartMarker, 0) << "cut at " << cut;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ReceiveStream,
    ::testing::Values(
        StreamCase{"Simple", {0x55, 0x03, 0x81, 0x07, 0x00, 0xAA}, {{0x81, 0x07}}},
        StreamCase{"LeadingNoise", {0x12, 0xAA, 0x34, 0x55, 0x03, 0x81, 0x07, 0x00, 0xAA}, {{0x81, 0x07}}},
        StreamCase{"ZeroLengthIsSkipped", {0x55, 0x00, 0x03, 0x81, 0x07, 0x00, 0xAA}, {{0x81, 0x07}}},
        StreamCase{"WrongEndDropsThenRecovers",
                   {0x55, 0x03, 0x81, 0x07, 0x00, 0x13, 0x55, 0x03, 0x81, 0x08, 0x00, 0xAA},
                   {{0x81, 0x08}}},
        // The wrong end byte is not looked at again as a start byte.
        StreamCase{"WrongEndByteIsNotAStart", {0x55, 0x02, 0x01, 0x00, 0x55, 0x02, 0x06, 0x00, 0xAA}, {}},
        StreamCase{"StartAndEndValuesInsideData",
                   {0x55, 0x05, 0x97, 0x55, 0xAA, 0x55, 0x00, 0xAA},
                   {{0x97, 0x55, 0xAA, 0x55}}},
        StreamCase{"TrailerIsNeverExamined", {0x55, 0x02, 0x06, 0xAA, 0xAA}, {{0x06}}},
        StreamCase{"LengthOneCarriesNoData", {0x55, 0x01, 0x42, 0xAA}, {{}}},
        StreamCase{"BackToBack", {0x55, 0x02, 0x01, 0x00, 0xAA, 0x55, 0x02, 0x06, 0x00, 0xAA}, {{0x01}, {0x06}}},
        // 152 is the largest length whose data fits; 153 drops the frame at once.
        StreamCase{
            "LengthAboveTheDataAreaIsDropped", {0x55, 153, 0x97, 0x00, 0xAA, 0x55, 0x02, 0x47, 0x00, 0xAA}, {{0x47}}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ReceiveSlot, BatchesAreFedByteByByte) {
  // A frame that completes in the middle of a batch is handled before the
  // rest of the batch is looked at.
  struct Ordered : FrameHandler {
    void HandleFrame(int, const ReceiveSlot& frame) override {
      kinds.push_back(frame.Data[0]);
      EXPECT_EQ(frame.Length, 2);
    }
    std::vector<std::uint8_t> kinds;
  } handler;
  Receiver receiver(handler);
  const std::vector<std::uint8_t> batch{0x12, 0x55, 0x02, 0x01, 0x00, 0xAA, 0x55, 0x02, 0x06, 0x00, 0xAA, 0x55, 0x02};
  receiver.FeedBytes(4, batch);
  receiver.FeedBytes(4, std::vector<std::uint8_t>{0x18, 0x00, 0xAA});
  receiver.FeedBytes(19, batch);  // no such slot
  EXPECT_EQ(handler.kinds, (std::vector<std::uint8_t>{0x01, 0x06, 0x18}));
}

TEST(ReceiveSlot, LargestLengthFillsTheWholeDataArea) {
  std::vector<std::uint8_t> stream{0x55, 152};
  for (int i = 0; i < 151; ++i) stream.push_back(static_cast<std::uint8_t>(i + 1));
  stream.push_back(0x00);
  stream.push_back(0xAA);
  const auto frames = Receive(stream);
  ASSERT_EQ(frames.size(), 1U);
  ASSERT_EQ(frames[0].data.size(), 151U);
  EXPECT_EQ(frames[0].data.back(), 151);
}

TEST(ReceiveSlot, BytesNeverWrittenReadAsZero) {
  // A short frame after a long one must not see the long one's bytes.
  struct LastData : FrameHandler {
    void HandleFrame(int, const ReceiveSlot& frame) override { data = frame.Data; }
    std::array<std::uint8_t, kReceiveDataSize> data{};
  } handler;
  Receiver receiver(handler);
  for (const auto b : {0x55, 0x05, 0x97, 0x11, 0x22, 0x33, 0x00, 0xAA})
    receiver.FeedByte(1, static_cast<std::uint8_t>(b));
  for (const auto b : {0x55, 0x02, 0x97, 0x00, 0xAA}) receiver.FeedByte(1, static_cast<std::uint8_t>(b));
  EXPECT_EQ(handler.data[0], 0x97);
  EXPECT_EQ(handler.data[1], 0);
  EXPECT_EQ(handler.data[2], 0);
}

TEST(ReceiveSlot, InterleavedSlotsAssembleIndependently) {
  RecordingHandler handler;
  Receiver receiver(handler);
  const std::vector<std::uint8_t> a{0x55, 0x03, 0x81, 0x07, 0x00, 0xAA};
  const std::vector<std::uint8_t> b{0x55, 0x04, 0xC7, 0x07, 0x55, 0x00, 0xAA};
  for (std::size_t i = 0; i < b.size(); ++i) {
    if (i < a.size()) receiver.FeedByte(3, a[i]);
    receiver.FeedByte(18, b[i]);
  }
  ASSERT_EQ(handler.frames.size(), 2U);
  EXPECT_EQ(handler.frames[0], (Frame{3, {0x81, 0x07}}));
  EXPECT_EQ(handler.frames[1], (Frame{18, {0xC7, 0x07, 0x55}}));
}

TEST(ReceiveSlot, UnhandledFramesNeverBlockTheSlot) {
  // Whatever the handler makes of a frame, the next frame is received.
  struct Ignoring : FrameHandler {
    void HandleFrame(int, const ReceiveSlot&) override { ++count; }
    int count = 0;
  } handler;
  Receiver receiver(handler);
  for (int round = 0; round < 3; ++round) {
    for (const auto b : {0x55, 0x02, 0xEE, 0x00, 0xAA}) receiver.FeedByte(2, static_cast<std::uint8_t>(b));
  }
  EXPECT_EQ(handler.count, 3);
  EXPECT_EQ(receiver.Slot(2).StartMarker, 0);
}

TEST(ReceiveSlot, SlotNumbersOutsideOneToEighteenAreDropped) {
  RecordingHandler handler;
  Receiver receiver(handler);
  for (const int slot : {0, 19, -1, 1000}) {
    for (const auto b : {0x55, 0x02, 0x01, 0x00, 0xAA}) receiver.FeedByte(slot, static_cast<std::uint8_t>(b));
  }
  EXPECT_TRUE(handler.frames.empty());
}

TEST(ReceiveSlot, PartialFrameWaitsWithoutTimeOut) {
  ReceiveSlot slot;
  for (const auto b : {0x55, 0x05, 0x97, 0x01})
    EXPECT_EQ(FeedByte(slot, static_cast<std::uint8_t>(b)), FeedResult::kPending);
  EXPECT_EQ(slot.StartMarker, kFrameStart);
  EXPECT_EQ(slot.Length, 5);
  EXPECT_EQ(slot.Remaining, 3);
  EXPECT_EQ(slot.Data[1], 0x01);
}

}  // namespace
}  // namespace quorvel
