#include "link/port_names.h"
#include "model/names.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(WindowsComDeviceName, NamespacePrefixFromTenOn) {
  EXPECT_EQ(WindowsComDeviceName(1), "COM1");
  EXPECT_EQ(WindowsComDeviceName(9), "COM9");
  EXPECT_EQ(WindowsComDeviceName(10), "\\\\.\\COM10");
  EXPECT_EQ(WindowsComDeviceName(18), "\\\\.\\COM18");
}

TEST(SlotOfComName, AcceptsComOneToEighteenOnly) {
  EXPECT_EQ(SlotOfComName("COM3"), 3);
  EXPECT_EQ(SlotOfComName("com18"), 18);
  for (const char* name : {"COM0", "COM19", "COM03", "COM", "COMX", "COM100", "LPT1", ""}) {
    EXPECT_FALSE(SlotOfComName(name).has_value()) << name;
  }
  EXPECT_EQ(ComName(12), "COM12");
}

}  // namespace
}  // namespace quorvel
