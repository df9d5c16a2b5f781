#include "link/port_names.h"

namespace quorvel {

std::string WindowsComDeviceName(unsigned port_number) {
  return (port_number < 10 ? "COM" : "\\\\.\\COM") + std::to_string(port_number);
}

}  // namespace quorvel
