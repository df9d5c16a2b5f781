#include "link/port_directory.h"

#include <gtest/gtest.h>

#include <set>

namespace quorvel {
namespace {

PresentPort Adapter(const std::string& name, std::uint16_t product = 0x7523) {
  return {name, "/dev/" + name, 0x1a86, product};
}

PresentPort Other(const std::string& name) { return {name, "/dev/" + name, 0x0403, 0x6001}; }

auto ExistsAmong(std::set<std::string> paths) {
  return [paths = std::move(paths)](const std::string& path) { return paths.count(path) != 0; };
}

TEST(AssignSlots, AdaptersTakeTheirOwnNumberPlusOne) {
  const SlotPorts slots = AssignSlots({Adapter("ttyUSB2"), Adapter("ttyUSB11", 0x5523), Other("ttyUSB0"),
                                       Adapter("ttyUSB18"), Adapter("ttyS0"), Adapter("ttyACM0")},
                                      {}, ExistsAmong({}));
  ASSERT_EQ(slots.size(), 5U);
  EXPECT_EQ(slots.at(3).path, "/dev/ttyUSB2");
  EXPECT_TRUE(slots.at(3).adapter);
  EXPECT_EQ(slots.at(3).usb_id, "1a86:7523");
  EXPECT_EQ(slots.at(12).usb_id, "1a86:5523");
  // ttyUSB18 would be slot 19, and the names without a number have none of
  // their own: they take the lowest free slots, in name order.
  EXPECT_EQ(slots.at(1).path, "/dev/ttyACM0");
  EXPECT_EQ(slots.at(2).path, "/dev/ttyS0");
  EXPECT_EQ(slots.at(4).path, "/dev/ttyUSB18");
}

TEST(AssignSlots, WindowsNamesAreTheirSlots) {
  const SlotPorts slots =
      AssignSlots({{"COM3", "COM3", 0x1a86, 0x7523}, {"COM19", "COM19", 0x1a86, 0x7523}}, {}, ExistsAmong({}));
  ASSERT_EQ(slots.size(), 2U);
  EXPECT_EQ(slots.at(3).path, "COM3");
  EXPECT_EQ(slots.at(1).path, "COM19");  // beyond the slots: the lowest free one
}

TEST(AssignSlots, AssignmentsOverrideTheAutomaticSlots) {
  const std::map<int, std::string> assignments{{5, "/dev/ttyUSB0"},      // an adapter moved to another slot
                                               {1, "/tmp/meters/COM1"},  // a simulator link over the adapter's own slot
                                               {7, "/tmp/meters/missing"}};  // not there (yet)
  const SlotPorts slots = AssignSlots({Adapter("ttyUSB0"), Adapter("ttyUSB1")}, assignments,
                                      ExistsAmong({"/dev/ttyUSB0", "/tmp/meters/COM1"}));
  ASSERT_EQ(slots.size(), 3U);
  EXPECT_EQ(slots.at(5).path, "/dev/ttyUSB0");
  EXPECT_TRUE(slots.at(5).assigned);
  EXPECT_TRUE(slots.at(5).adapter);
  EXPECT_EQ(slots.at(1).path, "/tmp/meters/COM1");
  EXPECT_FALSE(slots.at(1).adapter);
  EXPECT_EQ(slots.at(2).path, "/dev/ttyUSB1");
  EXPECT_EQ(slots.count(7), 0U);
}

TEST(UnusableAssignments, AreTheAssignmentsNotOfferedAndSayWhy) {
  const auto exists = ExistsAmong({"/dev/ttyUSB0", "/tmp/meters/COM5"});
  struct Case {
    int slot;
    std::string path;
    bool offered;
    std::string told;
  };
  const Case cases[] = {
      {3, "/dev/ttyUSB0", true, ""},
      {4, "/dev/ttyUSB9", false, "COM4 is assigned to /dev/ttyUSB9, and /dev/ttyUSB9 does not exist"},
      // The system would open /dev/ttyUSB0 for it.
      {6, std::string("/dev/ttyUSB0\0x", 14), false,
       "COM6 is assigned to /dev/ttyUSB0\\x00x, which holds a NUL byte: no device has such a name"},
      {7, "/tmp/Z\xE4hler\x1B[2J", false,
       "COM7 is assigned to /tmp/Z\\xE4hler\\x1B[2J, and /tmp/Z\\xE4hler\\x1B[2J does not exist"},
      {19, "/dev/ttyUSB5", false, ""},  // no such slot: neither
  };
  std::map<int, std::string> assignments;
  for (const Case& c : cases) assignments[c.slot] = c.path;
  const SlotPorts slots = AssignSlots({}, assignments, exists);
  std::map<int, std::string> told;
  for (const UnusableAssignment& u : UnusableAssignments(assignments, exists)) told[u.slot] = DescribeUnusable(u);
  for (const Case& c : cases) {
    EXPECT_EQ(slots.count(c.slot), c.offered ? 1U : 0U) << c.slot;
    EXPECT_EQ(told.count(c.slot) ? told[c.slot] : "", c.told) << c.slot;
  }
}

TEST(SlotChanges, RemovalsComeFirstAndAMovedDeviceGivesBoth) {
  const SlotPorts before{{3, {"/dev/ttyUSB2", true, false, ""}}, {4, {"/dev/ttyUSB3", true, false, ""}}};
  const SlotPorts after{{4, {"/dev/other", false, true, ""}}, {10, {"/dev/ttyUSB9", true, false, ""}}};
  EXPECT_EQ(SlotChanges(before, after), (std::vector<int>{-3, -4, 4, 10}));
  EXPECT_TRUE(SlotChanges(after, after).empty());
}

}  // namespace
}  // namespace quorvel
