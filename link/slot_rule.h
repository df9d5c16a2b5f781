// How the slots are given out, one rule for the port scan, the settings
// writer and the command-line tool's port list:
//
// 1. A slot assigned under [Ports] is the user's, whether its device is
//    there or not; an adapter reached by an assigned path is offered only
//    there.
// 2. An adapter remembered for a slot takes that slot, whatever ttyUSB
//    number the kernel gave it. A remembered adapter that is not plugged in
//    keeps its slot reserved.
// 3. An adapter seen the first time takes slot k+1 for /dev/ttyUSBk (COMn:
//    slot n) when that slot is free, else the lowest free slot, and is
//    remembered there. Adapters without an identity are placed the same
//    way and not remembered.
//
// Adapters are taken in the kernel's order, so that a first start with
// every slot free gives ttyUSBk slot k+1 as ever.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "link/port_directory.h"

namespace quorvel {

struct SlotAssignment {
  SlotPorts slots;
  // What to remember after this scan, slot -> adapter identity: the
  // remembered adapters (present or not) and those seen the first time.
  std::map<int, std::string> remembered;
  // Remembered adapters that are not plugged in, slot -> identity.
  std::map<int, std::string> reserved;
};

// `device_of(path)` tells which device a path reaches, empty when there is
// none; two names of one device give the same text.
using DeviceOf = std::function<std::string(const std::string&)>;

SlotAssignment AssignSlotsRemembering(const std::vector<PresentPort>& present,
                                      const std::map<int, std::string>& assignments,
                                      const std::map<int, std::string>& remembered, const DeviceOf& device_of);

}  // namespace quorvel
