// Windows side of the serial platform functions. QSerialPort reports a
// removed adapter as a resource error there, and device arrival is seen by
// listing the ports, so the answers here are simple.
#include "link/serial_platform.h"

#include <windows.h>

namespace quorvel {

bool DeviceHasVanished(long long handle) {
  if (handle == 0 || handle == -1) return true;
  COMSTAT status{};
  DWORD errors = 0;
  // A removed device fails even this query.
  return ClearCommError(reinterpret_cast<HANDLE>(handle), &errors, &status) == 0;
}

std::string ReadFailureText(long long handle) {
  COMSTAT status{};
  DWORD errors = 0;
  if (ClearCommError(reinterpret_cast<HANDLE>(handle), &errors, &status) == 0) {
    return "error " + std::to_string(GetLastError());
  }
  return {};
}

// Windows names are text already.
Result<std::string> DeviceOpenName(const std::string& device) {
  if (device.find('\0') != std::string::npos) {
    return Status::Fail(StatusCode::kInvalid, "the name holds a NUL byte, which no device name can");
  }
  return device;
}

OpenFailure ClassifyOpenFailure(const std::string& device, bool lock_or_busy, bool permission) {
  (void)device;
  // QSerialPort reports ERROR_ACCESS_DENIED (the port is open elsewhere) as a
  // permission error: on Windows that means busy.
  if (lock_or_busy || permission) return OpenFailure::kBusy;
  return OpenFailure::kOther;
}

std::optional<long long> DeviceFolderStamp() { return std::nullopt; }

std::string DeviceIdentity(const std::string& device) {
  // "COM3", "com3" and "\\.\COM3" name one port.
  std::string name = device.rfind("\\\\.\\", 0) == 0 ? device.substr(4) : device;
  for (char& c : name) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return name;
}

std::string DeviceNodeStamp(const std::string&) { return {}; }

// Windows opens a communications port for one holder only.
bool ClaimDevice(long long) { return true; }

// Windows keeps no lock files: the system refuses a second holder.
std::string LockFilePath(const std::string&) { return {}; }
bool RemoveAbandonedLockFile(const std::string&) { return false; }
int RemoveLockFilesOfEndedOwners(const std::string&) { return 0; }

unsigned ReadBackBaudRate(long long handle) {
  DCB line{};
  line.DCBlength = sizeof line;
  if (GetCommState(reinterpret_cast<HANDLE>(handle), &line) == 0) return 0;
  return line.BaudRate;
}

}  // namespace quorvel
