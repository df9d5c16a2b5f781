// An adapter's identity from udev's links and from sysfs, both made in a
// temporary folder as the kernel and udev would lay them out.
#include "link/adapter_identity.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kController = "pci0000:00/0000:00:14.0/usb1";

// How one adapter's device appears.
struct Device {
  std::string tty;             // "ttyUSB0"
  std::string usb;             // the USB device, "1-2" or "1-2.4" behind a hub
  std::string interface;       // "1.0"
  std::string vendor_product;  // "1a86:7523"
  std::string serial;          // "" for none
  std::string port_number;     // "" for an interface that is the port itself (ttyACM)
  std::string by_path;         // udev's links, "" for none
  std::string by_id;
};

class FakeSystem {
 public:
  FakeSystem() { fs::create_directories(dir_ / "dev"); }

  IdentityLookup Lookup() const { return IdentityLookup({dir_ / "dev" / "serial", dir_ / "sys" / "class" / "tty"}); }
  std::string DevicePath(const std::string& tty) const { return (dir_ / "dev" / tty).string(); }

  void Add(const Device& d) {
    std::ofstream(dir_ / "dev" / d.tty) << "";  // the node; only its identity matters
    const fs::path usb = UsbFolder(d.usb);
    fs::create_directories(usb);
    std::ofstream(usb / "idVendor") << d.vendor_product.substr(0, 4) << "\n";
    std::ofstream(usb / "idProduct") << d.vendor_product.substr(5) << "\n";
    if (!d.serial.empty()) std::ofstream(usb / "serial") << d.serial << "\n";
    fs::path node = usb / (d.usb + ":" + d.interface);
    if (!d.port_number.empty()) {
      node /= d.tty;
      fs::create_directories(node);
      std::ofstream(node / "port_number") << d.port_number << "\n";
    }
    fs::create_directories(node);
    const fs::path tty = dir_ / "sys" / "class" / "tty" / d.tty;
    fs::create_directories(tty);
    fs::create_symlink(fs::relative(node, tty), tty / "device");
    Link("by-path", d.by_path, d.tty);
    Link("by-id", d.by_id, d.tty);
  }

  void AddTerminal(const std::string& name) {
    std::ofstream(dir_ / "dev" / name) << "";
    fs::create_directories(dir_ / "sys" / "class" / "tty" / name);  // no device: not behind a bus
  }

 private:
  fs::path UsbFolder(const std::string& usb) const {
    // 1-2.4 sits below 1-2: a hub in socket 2, the adapter in the hub's socket 4.
    fs::path folder = dir_ / "sys" / "devices" / kController;
    std::string chain = usb.substr(0, usb.find('.'));
    folder /= chain;
    for (std::size_t dot = usb.find('.'); dot != std::string::npos; dot = usb.find('.', dot + 1)) {
      folder /= usb.substr(0, usb.find('.', dot + 1));
    }
    return folder;
  }
  void Link(const char* kind, const std::string& name, const std::string& tty) {
    if (name.empty()) return;
    const fs::path folder = dir_ / "dev" / "serial" / kind;
    fs::create_directories(folder);
    fs::create_symlink(fs::path("../..") / tty, folder / name);
  }

  testing::TempDir dir_;
};

struct Case {
  const char* name;
  std::vector<Device> devices;
  std::string tty;  // the one looked up
  AdapterIdentity expected;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const std::string kSysfs = std::string("sysfs/") + kController;

class AdapterIdentityLookup : public ::testing::TestWithParam<Case> {};

TEST_P(AdapterIdentityLookup, NamesTheAdapter) {
  const Case& c = GetParam();
  FakeSystem system;
  for (const Device& d : c.devices) system.Add(d);
  system.AddTerminal("pts-like");
  const AdapterIdentity got = system.Lookup().Of(system.DevicePath(c.tty));
  EXPECT_EQ(got.by_id, c.expected.by_id);
  EXPECT_EQ(got.sysfs_id, c.expected.sysfs_id);
  EXPECT_EQ(got.by_path, c.expected.by_path);
  EXPECT_EQ(got.sysfs_path, c.expected.sysfs_path);
  EXPECT_EQ(got.usb_serial, c.expected.usb_serial);
}

// Two of the meters' adapters: no serial number, one by-id name for both
// (udev's link leads to the last one it saw).
const std::vector<Device> kTwoMeterAdapters{
    {"ttyUSB0", "1-2", "1.0", "1a86:7523", "", "0", "pci-0000:00:14.0-usb-0:2:1.0-port0",
     "usb-1a86_USB_Serial-if00-port0"},
    {"ttyUSB1", "1-3", "1.0", "1a86:7523", "", "0", "pci-0000:00:14.0-usb-0:3:1.0-port0", ""}};

INSTANTIATE_TEST_SUITE_P(
    Devices, AdapterIdentityLookup,
    ::testing::Values(
        Case{"meter_adapter_by_its_socket",
             kTwoMeterAdapters,
             "ttyUSB0",
             {"", "", "by-path/pci-0000:00:14.0-usb-0:2:1.0-port0", kSysfs + "/1-2/1-2:1.0/port0", ""}},
        Case{"second_meter_adapter_never_takes_the_shared_by_id_name",
             kTwoMeterAdapters,
             "ttyUSB1",
             {"", "", "by-path/pci-0000:00:14.0-usb-0:3:1.0-port0", kSysfs + "/1-3/1-3:1.0/port0", ""}},
        Case{"without_udev_sysfs_alone",
             {{"ttyUSB0", "1-2", "1.0", "1a86:7523", "", "0", "", ""}},
             "ttyUSB0",
             {"", "", "", kSysfs + "/1-2/1-2:1.0/port0", ""}},
        Case{"behind_a_hub",
             {{"ttyUSB4", "1-2.4", "1.0", "1a86:5523", "", "0", "pci-0000:00:14.0-usb-0:2.4:1.0-port0", ""}},
             "ttyUSB4",
             {"", "", "by-path/pci-0000:00:14.0-usb-0:2.4:1.0-port0", kSysfs + "/1-2/1-2.4/1-2.4:1.0/port0", ""}},
        Case{"adapter_with_a_serial_number",
             {{"ttyUSB0", "1-2", "1.0", "0403:6001", "A123", "0", "pci-0000:00:14.0-usb-0:2:1.0-port0",
               "usb-FTDI_FT232R_USB_UART_A123-if00-port0"}},
             "ttyUSB0",
             {"by-id/usb-FTDI_FT232R_USB_UART_A123-if00-port0", "sysfs-id/0403:6001:A123:1.0:port0",
              "by-path/pci-0000:00:14.0-usb-0:2:1.0-port0", kSysfs + "/1-2/1-2:1.0/port0", "0403:6001:A123"}},
        Case{"second_port_of_a_two_port_adapter",
             {{"ttyUSB0", "1-2", "1.0", "0403:6010", "", "0", "", ""},
              {"ttyUSB1", "1-2", "1.1", "0403:6010", "", "1", "", ""}},
             "ttyUSB1",
             {"", "", "", kSysfs + "/1-2/1-2:1.1/port1", ""}},
        Case{"modem_class_port_is_its_interface",
             {{"ttyACM0", "1-5", "1.0", "2341:0043", "", "", "pci-0000:00:14.0-usb-0:5:1.0", ""}},
             "ttyACM0",
             {"", "", "by-path/pci-0000:00:14.0-usb-0:5:1.0", kSysfs + "/1-5/1-5:1.0/port0", ""}},
        Case{"terminal_not_on_usb_has_none", kTwoMeterAdapters, "pts-like", {}}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quorvel
