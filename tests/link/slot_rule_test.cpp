// The rule that gives out the slots, on lists of present ports with their
// identities, as two scans or two starts of the dashboard see them.
#include "link/slot_rule.h"

#include <gtest/gtest.h>

#include "model/device_record.h"
#include "storage/settings_file.h"
#include "storage/slot_memory.h"

namespace quorvel {
namespace {

using Names = std::map<int, std::string>;

// A meter adapter /dev/NAME in the USB socket PLACE ("" for none, as a
// pseudo-terminal or a Windows port); with a serial number, its by-id name.
PresentPort Adapter(const std::string& name, const std::string& place, const std::string& serial = "") {
  PresentPort port{name, "/dev/" + name, 0x1a86, 0x7523, {}};
  if (!place.empty()) {
    port.identity.by_path = "by-path/" + place;
    port.identity.sysfs_path = "sysfs/" + place;
  }
  if (!serial.empty()) {
    port.identity.by_id = "by-id/" + serial;
    port.identity.usb_serial = "1a86:7523:" + serial;
  }
  return port;
}

struct Case {
  const char* name;
  std::vector<PresentPort> present;
  Names assignments;  // [Ports]
  Names remembered;   // before the scan
  Names slots;        // slot -> device path
  Names remembered_after;
  Names reserved;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// Paths reach themselves; "/dev/serial/by-path/socket-5" reaches ttyUSB0;
// "/tmp/absent" reaches nothing.
std::string DeviceOf(const std::string& path) {
  if (path == "/tmp/absent") return {};
  if (path == "/dev/serial/by-path/socket-5") return "/dev/ttyUSB0";
  return path;
}

class SlotRule : public ::testing::TestWithParam<Case> {};

TEST_P(SlotRule, GivesEachAdapterItsSlot) {
  const Case& c = GetParam();
  const SlotAssignment got = AssignSlotsRemembering(c.present, c.assignments, c.remembered, DeviceOf);
  Names slots;
  for (const auto& [slot, port] : got.slots) slots[slot] = port.path;
  EXPECT_EQ(slots, c.slots);
  EXPECT_EQ(got.remembered, c.remembered_after);
  EXPECT_EQ(got.reserved, c.reserved);
}

INSTANTIATE_TEST_SUITE_P(
    Scans, SlotRule,
    ::testing::Values(Case{"first_start_goes_by_the_kernels_numbers",
                           {Adapter("ttyUSB1", "socket-2"), Adapter("ttyUSB0", "socket-1")},
                           {},
                           {},
                           {{1, "/dev/ttyUSB0"}, {2, "/dev/ttyUSB1"}},
                           {{1, "by-path/socket-1"}, {2, "by-path/socket-2"}},
                           {}},
                      Case{"kernel_order_shuffled_keeps_the_slots",
                           {Adapter("ttyUSB0", "socket-2"), Adapter("ttyUSB1", "socket-1")},
                           {},
                           {{1, "by-path/socket-1"}, {2, "by-path/socket-2"}},
                           {{1, "/dev/ttyUSB1"}, {2, "/dev/ttyUSB0"}},
                           {{1, "by-path/socket-1"}, {2, "by-path/socket-2"}},
                           {}},
                      Case{"remembered_by_sysfs_found_by_udevs_link",
                           {Adapter("ttyUSB0", "socket-2"), Adapter("ttyUSB1", "socket-1")},
                           {},
                           {{1, "sysfs/socket-1"}, {2, "by-path/socket-2"}},
                           {{1, "/dev/ttyUSB1"}, {2, "/dev/ttyUSB0"}},
                           {{1, "sysfs/socket-1"}, {2, "by-path/socket-2"}},
                           {}},
                      // The socket is the adapter: moved, it is another one, and its old
                      // slot waits for whatever is plugged in there again.
                      Case{"adapter_moved_to_another_socket",
                           {Adapter("ttyUSB0", "socket-1"), Adapter("ttyUSB1", "socket-3")},
                           {},
                           {{1, "by-path/socket-1"}, {2, "by-path/socket-2"}},
                           {{1, "/dev/ttyUSB0"}, {3, "/dev/ttyUSB1"}},
                           {{1, "by-path/socket-1"}, {2, "by-path/socket-2"}, {3, "by-path/socket-3"}},
                           {{2, "by-path/socket-2"}}},
                      Case{"adapter_with_a_serial_number_moved_keeps_its_slot",
                           {Adapter("ttyUSB0", "socket-3", "A123")},
                           {},
                           {{2, "by-id/A123"}},
                           {{2, "/dev/ttyUSB0"}},
                           {{2, "by-id/A123"}},
                           {}},
                      Case{"remembered_adapter_absent_keeps_its_slot",
                           {Adapter("ttyUSB0", "socket-2")},
                           {},
                           {{1, "by-path/socket-1"}},
                           {{2, "/dev/ttyUSB0"}},
                           {{1, "by-path/socket-1"}, {2, "by-path/socket-2"}},
                           {{1, "by-path/socket-1"}}},
                      Case{"user_ports_entry_takes_a_slot",
                           {Adapter("ttyUSB0", "socket-1"), Adapter("ttyUSB1", "socket-2")},
                           {{1, "/tmp/meters/COM1"}},
                           {},
                           {{1, "/tmp/meters/COM1"}, {2, "/dev/ttyUSB1"}, {3, "/dev/ttyUSB0"}},
                           {{2, "by-path/socket-2"}, {3, "by-path/socket-1"}},
                           {}},
                      Case{"user_ports_entry_absent_still_holds_its_slot",
                           {Adapter("ttyUSB0", "socket-1")},
                           {{1, "/tmp/absent"}},
                           {},
                           {{2, "/dev/ttyUSB0"}},
                           {{2, "by-path/socket-1"}},
                           {}},
                      Case{"user_ports_entry_over_a_remembered_slot_moves_the_adapter",
                           {Adapter("ttyUSB2", "socket-3")},
                           {{3, "/tmp/meters/COM3"}},
                           {{3, "by-path/socket-3"}},
                           {{1, "/dev/ttyUSB2"}, {3, "/tmp/meters/COM3"}},
                           {{1, "by-path/socket-3"}},
                           {}},
                      Case{"user_ports_entry_over_an_absent_remembered_adapter_keeps_the_memory",
                           {},
                           {{3, "/tmp/meters/COM3"}},
                           {{3, "by-path/socket-3"}},
                           {{3, "/tmp/meters/COM3"}},
                           {{3, "by-path/socket-3"}},
                           {}},
                      Case{"adapter_assigned_by_another_name_is_offered_there_only",
                           {Adapter("ttyUSB0", "socket-5")},
                           {{5, "/dev/serial/by-path/socket-5"}},
                           {},
                           {{5, "/dev/serial/by-path/socket-5"}},
                           {},
                           {}},
                      Case{"ports_without_identity_are_placed_and_not_remembered",
                           {Adapter("COM3", ""), Adapter("COM19", "")},
                           {},
                           {},
                           {{1, "/dev/COM19"}, {3, "/dev/COM3"}},
                           {},
                           {}},
                      Case{"copies_sharing_a_serial_number_go_by_their_sockets",
                           {Adapter("ttyUSB0", "socket-1", "0001"), Adapter("ttyUSB1", "socket-2", "0001")},
                           {},
                           {{1, "by-id/0001"}},  // remembered when only one was plugged in: which one is unknown
                           {{2, "/dev/ttyUSB1"}, {3, "/dev/ttyUSB0"}},
                           {{1, "by-id/0001"}, {2, "by-path/socket-2"}, {3, "by-path/socket-1"}},
                           {{1, "by-id/0001"}}},
                      Case{"an_adapter_remembered_twice_keeps_its_first_slot",
                           {Adapter("ttyUSB0", "socket-1")},
                           {},
                           {{2, "by-path/socket-1"}, {5, "sysfs/socket-1"}},
                           {{2, "/dev/ttyUSB0"}},
                           {{2, "by-path/socket-1"}},
                           {}},
                      Case{"kernel_number_beyond_the_slots_takes_the_lowest_free",
                           {Adapter("ttyUSB18", "socket-9"), Adapter("ttyUSB0", "socket-1")},
                           {},
                           {},
                           {{1, "/dev/ttyUSB0"}, {2, "/dev/ttyUSB18"}},
                           {{1, "by-path/socket-1"}, {2, "by-path/socket-9"}},
                           {}}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

// Eighteen remembered adapters, none plugged in: a new one finds no slot.
TEST(SlotRule, NoSlotIsLeftWhenEveryOneIsReserved) {
  Names remembered;
  for (int slot = 1; slot <= kSlotCount; ++slot) remembered[slot] = "by-path/socket-" + std::to_string(slot + 100);
  const SlotAssignment got = AssignSlotsRemembering({Adapter("ttyUSB0", "socket-1")}, {}, remembered, DeviceOf);
  EXPECT_TRUE(got.slots.empty());
  EXPECT_EQ(got.remembered, remembered);
  EXPECT_EQ(got.reserved.size(), static_cast<std::size_t>(kSlotCount));
}

// Two starts of the dashboard, the kernel numbering the adapters the other
// way round the second time: the settings file carries the slots over, and
// the user's lines stay as they are.
TEST(SlotRule, TwoStartsThroughTheSettingsFile) {
  IniFile ini = IniFile::Parse("; by hand\n[Ports]\nCOM1=/tmp/meters/COM1\n[Other]\nx=1\n");
  auto start = [&](const std::vector<PresentPort>& present) {
    const SlotMemory before = LoadSlotMemory(ini);
    const SlotAssignment got = AssignSlotsRemembering(present, LoadPortAssignments(ini), before.adapters, DeviceOf);
    SlotMemory after = before;
    after.adapters = got.remembered;
    WriteSlotMemoryChanges(before, after, ini);
    Names slots;
    for (const auto& [slot, port] : got.slots) slots[slot] = port.path;
    return slots;
  };
  EXPECT_EQ(start({Adapter("ttyUSB0", "socket-a"), Adapter("ttyUSB1", "socket-b")}),
            (Names{{1, "/tmp/meters/COM1"}, {2, "/dev/ttyUSB1"}, {3, "/dev/ttyUSB0"}}));
  EXPECT_EQ(start({Adapter("ttyUSB0", "socket-b"), Adapter("ttyUSB1", "socket-a")}),
            (Names{{1, "/tmp/meters/COM1"}, {2, "/dev/ttyUSB0"}, {3, "/dev/ttyUSB1"}}));
  EXPECT_EQ(ini.Text(),
            "; by hand\n[Ports]\nCOM1=/tmp/meters/COM1\n[Other]\nx=1\n\n"
            "[Slots]\nCOM2=by-path/socket-b\nCOM3=by-path/socket-a\n");
}

}  // namespace
}  // namespace quorvel
