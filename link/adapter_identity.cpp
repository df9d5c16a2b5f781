#include "link/adapter_identity.h"

#include <algorithm>
#include <fstream>
#include <vector>

namespace quorvel {
namespace {

namespace fs = std::filesystem;

// The name of the first link in `folder` (in name order) that reaches the
// same device as `device`.
std::string LinkTo(const fs::path& folder, const fs::path& device) {
  std::error_code ec;
  std::vector<fs::path> links;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) links.push_back(it->path());
  std::sort(links.begin(), links.end());
  for (const fs::path& link : links) {
    std::error_code ignored;
    if (fs::is_symlink(link, ignored) && fs::equivalent(link, device, ignored)) return link.filename().string();
  }
  return {};
}

bool Digits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "1-2.1:1.0": bus 1, ports 2 then 1, configuration 1, interface 0.
bool IsUsbInterfaceName(std::string_view name) {
  const std::size_t colon = name.find(':');
  const std::size_t dash = name.find('-');
  if (colon == std::string_view::npos || dash == std::string_view::npos || dash > colon) return false;
  if (!Digits(name.substr(0, dash))) return false;
  std::string_view ports = name.substr(dash + 1, colon - dash - 1);
  while (true) {
    const std::size_t dot = ports.find('.');
    if (!Digits(ports.substr(0, dot))) return false;
    if (dot == std::string_view::npos) break;
    ports.remove_prefix(dot + 1);
  }
  const std::string_view setting = name.substr(colon + 1);
  const std::size_t dot = setting.find('.');
  return dot != std::string_view::npos && Digits(setting.substr(0, dot)) && Digits(setting.substr(dot + 1));
}

// The first line of a small attribute file, without its line ending.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

struct SysfsFacts {
  std::string place;       // "sysfs/..." or empty
  std::string usb_serial;  // "vvvv:pppp:serial" or empty
  std::string serial_id;   // "sysfs-id/vvvv:pppp:serial:1.0:port0" or empty
};

SysfsFacts FromSysfs(const fs::path& tty_folder) {
  SysfsFacts facts;
  std::error_code ec;
  const fs::path node = fs::canonical(tty_folder / "device", ec);
  if (ec) return facts;
  fs::path interface = node;
  while (!interface.empty() && interface != interface.root_path() &&
         !IsUsbInterfaceName(interface.filename().string())) {
    interface = interface.parent_path();
  }
  if (!IsUsbInterfaceName(interface.filename().string())) return facts;  // not on USB
  // An adapter with several ports numbers them below one interface.
  std::string port = Attribute(node / "port_number");
  if (!Digits(port)) port = "0";
  const std::string where = interface.string();
  const std::size_t devices = where.find("/devices/");
  facts.place = "sysfs/" + (devices == std::string::npos ? where : where.substr(devices + 9)) + "/port" + port;

  const fs::path usb_device = interface.parent_path();
  const std::string serial = Attribute(usb_device / "serial");
  if (!serial.empty()) {
    facts.usb_serial = Attribute(usb_device / "idVendor") + ":" + Attribute(usb_device / "idProduct") + ":" + serial;
    const std::string name = interface.filename().string();
    facts.serial_id = "sysfs-id/" + facts.usb_serial + ":" + name.substr(name.find(':') + 1) + ":port" + port;
  }
  return facts;
}

}  // namespace

AdapterIdentity IdentityLookup::Of(const std::string& device) const {
  AdapterIdentity identity;
  if (device.empty()) return identity;
  const fs::path path(device);
  const SysfsFacts sysfs = FromSysfs(roots_.sys_class_tty / path.filename());
  identity.sysfs_path = sysfs.place;
  if (const std::string link = LinkTo(roots_.dev_serial / "by-path", path); !link.empty()) {
    identity.by_path = "by-path/" + link;
  }
  if (!sysfs.usb_serial.empty()) {
    // Without a serial number the by-id name is the same for every adapter
    // of the model, and its link leads to only one of them: taken only
    // from an adapter that reports a serial number.
    identity.usb_serial = sysfs.usb_serial;
    identity.sysfs_id = sysfs.serial_id;
    if (const std::string link = LinkTo(roots_.dev_serial / "by-id", path); !link.empty()) {
      identity.by_id = "by-id/" + link;
    }
  }
  return identity;
}

}  // namespace quorvel
