// Which adapter a serial device is, whatever number the kernel gave it this
// time. udev names every USB serial adapter by its place, the USB socket it
// is plugged into (/dev/serial/by-path/...), and by vendor, model and serial
// number (/dev/serial/by-id/...). The meters' own adapters have no serial
// number, so identical adapters share one by-id name: for them only the
// place tells them apart. Where udev made no links the place is read from
// sysfs instead.
//
// The roots are parameters so that a test can hand in a folder of links
// made in a temporary folder.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quorvel {

// An adapter's names. The serial ones follow the adapter from socket to
// socket and exist only for an adapter with a serial number; the place
// names stay with the socket. Each is read from udev's links and from sysfs:
// udev makes its links a moment after the device appears, so an adapter
// remembered by the one is recognised by the other.
struct AdapterIdentity {
  std::string by_id;       // "by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0"
  std::string sysfs_id;    // "sysfs-id/0403:6001:A12345:1.0:port0"
  std::string by_path;     // "by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"
  std::string sysfs_path;  // "sysfs/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/port0"
  // "0403:6001:A12345": vendor, product and serial number as the adapter
  // reports them, to tell copies that share one serial number.
  std::string usb_serial;

  bool Empty() const { return Preferred().empty(); }
  bool HasSerial() const { return !by_id.empty() || !sysfs_id.empty(); }
  // The name to remember: a serial one where there is one, else the place;
  // udev's name before sysfs's.
  const std::string& Preferred() const {
    for (const std::string* name : {&by_id, &sysfs_id, &by_path}) {
      if (!name->empty()) return *name;
    }
    return sysfs_path;
  }
  // Whether a remembered name is one of this adapter's.
  bool Matches(std::string_view remembered) const {
    if (remembered.empty()) return false;
    for (const std::string* name : {&by_id, &sysfs_id, &by_path, &sysfs_path}) {
      if (*name == remembered) return true;
    }
    return false;
  }
  // The same adapter known by its place only.
  AdapterIdentity PlaceOnly() const { return {{}, {}, by_path, sysfs_path, {}}; }
  friend bool operator==(const AdapterIdentity&, const AdapterIdentity&) = default;
};

class IdentityLookup {
 public:
  struct Roots {
    std::filesystem::path dev_serial = "/dev/serial";  // holds by-path/ and by-id/
    std::filesystem::path sys_class_tty = "/sys/class/tty";
  };

  IdentityLookup() = default;
  explicit IdentityLookup(Roots roots) : roots_(std::move(roots)) {}

  // The identity of the device at `device` ("/dev/ttyUSB0"); empty where
  // neither udev's links nor sysfs know it (a pseudo-terminal, Windows).
  AdapterIdentity Of(const std::string& device) const;

  const Roots& roots() const { return roots_; }

 private:
  Roots roots_;
};

}  // namespace quorvel
