#include "device/device_list.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(DeviceList, FindsWholeNamesOnly) {
  DeviceList list;
  list.Append("COM10", 10);
  list.Append("COM1", 1);
  list.Append("COM12", 12);
  EXPECT_EQ(list.Find("COM1"), 1);
  EXPECT_EQ(list.Find("com12"), 2);
  EXPECT_EQ(list.Find("COM"), -1);
  EXPECT_EQ(list.Find("COM2"), -1);
}

TEST(DeviceList, RemovingEntriesKeepsOrAbandonsTheSelection) {
  DeviceList list;
  for (const int slot : {3, 5, 7}) list.Append("COM" + std::to_string(slot), slot);
  EXPECT_EQ(list.SelectedSlot(), 0);  // nothing selected after listing
  ASSERT_TRUE(list.SelectSlot(7));
  list.RemoveAt(0);  // another entry: the same device stays selected
  EXPECT_EQ(list.SelectedSlot(), 7);
  list.RemoveAt(list.SelectedIndex());
  EXPECT_EQ(list.SelectedIndex(), -1);
  EXPECT_EQ(list.SelectedSlot(), 0);
  list.RemoveAt(5);  // no such entry: nothing happens
  EXPECT_EQ(list.Entries().size(), 1U);
  EXPECT_FALSE(list.SelectSlot(3));
}

TEST(DeviceList, TellsItsListenerAboutEveryChange) {
  DeviceList list;
  int changes = 0;
  list.SetChangeListener([&] { ++changes; });
  list.Append("COM3", 3);
  list.Select(0);
  list.Select(9);  // out of range clears the selection
  list.RemoveAt(0);
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(list.SelectedIndex(), -1);
}

}  // namespace
}  // namespace quorvel
