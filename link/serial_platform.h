// The few things about serial devices that differ between platforms.
#pragma once

#include <optional>
#include <string>

#include "link/serial_port.h"
#include "model/status.h"

namespace quorvel {

// True when the open device behind `handle` has gone away (adapter pulled,
// the other end of a pseudo-terminal closed), as opposed to a passing read
// error.
bool DeviceHasVanished(long long handle);

// Why a read the serial library says failed on a device that is still
// there really failed, in the words of a call made now; empty when nothing
// failed (the read found nothing: a purge took what it was woken for).
std::string ReadFailureText(long long handle);

// The name to hand the serial library for a device path, whose bytes are
// the name (the library takes text): the path itself when it is UTF-8,
// else the device's own name past every link. A failure says why the path
// cannot be opened by any name (it holds a NUL byte, or it and its target
// are not UTF-8).
Result<std::string> DeviceOpenName(const std::string& device);

// Why a device could not be opened, from its name and the system's words.
OpenFailure ClassifyOpenFailure(const std::string& device, bool lock_or_busy, bool permission);

// A stamp that changes whenever serial devices may have come or gone (the
// modification time of the device folder), or nothing where the platform
// cannot tell.
std::optional<long long> DeviceFolderStamp();

// What a device is, whatever name it is reached by ("/dev/ttyUSB0", a
// /dev/serial/by-id link to it, a simulator's link to its /dev/pts/N): two
// names give the same text exactly when they reach the same device. Empty
// when the device is not there.
std::string DeviceIdentity(const std::string& device);
// Changes when the device behind a name is made anew (an adapter plugged in
// again, a new pseudo-terminal that got the number of an old one), even when
// its identity is the same; empty where the platform cannot tell.
std::string DeviceNodeStamp(const std::string& device);

// Takes the program's claim on an open device, so that a second program (or
// a second port of this one) opening it under any name is refused. False
// when another holder has it. The claim ends when the handle is closed.
bool ClaimDevice(long long handle);

// Where the serial library keeps its lock file for `device`; empty where it
// keeps none.
std::string LockFilePath(const std::string& device);
// Removes the lock file that a serial library left for `device` when its
// program was killed between making the file and writing its owner into it:
// such an empty file names no process, so it would refuse the device for
// good. The same goes for the guard file made while removing a stale lock
// file. A file with an owner, or one whose maker still holds it, stays.
// True when a file was removed.
bool RemoveAbandonedLockFile(const std::string& device);

// Removes the lock files that serial libraries left for devices whose path
// begins with `path_prefix` ("/run/user/1000/quorvel-demo-") when their
// owners were killed and the paths are not used again: such files pile up,
// for no one else removes them. Files whose owner process still runs stay,
// as do files a process holds locked, files still being made and files of
// other users. Returns how many were removed.
int RemoveLockFilesOfEndedOwners(const std::string& path_prefix);

// The line speed the device really runs at, or 0 when it cannot be read
// back (used to check that non-standard rates were applied).
unsigned ReadBackBaudRate(long long handle);

}  // namespace quorvel
