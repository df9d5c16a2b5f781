// Device names of COM ports on Windows. The slots' own names ("COM3") are
// in model/names.h.
#pragma once

#include <string>

namespace quorvel {

// "COM9", then "\\.\COM10" from 10 on, where the device namespace prefix is
// required.
std::string WindowsComDeviceName(unsigned port_number);

}  // namespace quorvel
