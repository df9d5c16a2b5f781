// Names of device slots and their devices.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// "COM3": the name a slot is listed under.
std::string ComName(int slot);

// The slot number of a "COMn" name (any case), when n is 1..18.
std::optional<int> SlotOfComName(std::string_view name);

// Device name of a COM port on Windows: "COM9", then "\\.\COM10" from 10 on,
// where the device namespace prefix is required.
std::string WindowsComDeviceName(unsigned port_number);

}  // namespace quorvel
