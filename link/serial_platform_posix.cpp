#include "link/serial_platform.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>
#include <signal.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "model/names.h"

#if defined(__linux__)
#include <asm/ioctls.h>
#endif

namespace quorvel {
namespace {

// The system reads a name up to its first NUL: a name holding one is
// no name of anything.
bool Nameable(const std::string& device) { return !device.empty() && device.find('\0') == std::string::npos; }

}  // namespace

bool DeviceHasVanished(long long handle) {
  if (handle < 0) return true;
  pollfd descriptor{static_cast<int>(handle), POLLIN, 0};
  if (poll(&descriptor, 1, 0) < 0) return true;
  if ((descriptor.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return true;
  // Readable but nothing to read: end of file, the device is gone.
  int queued = 0;
  return (descriptor.revents & POLLIN) != 0 && ioctl(static_cast<int>(handle), FIONREAD, &queued) == 0 && queued == 0;
}

std::string ReadFailureText(long long handle) {
  int queued = 0;
  if (ioctl(static_cast<int>(handle), FIONREAD, &queued) != 0) return std::strerror(errno);
  return {};
}

Result<std::string> DeviceOpenName(const std::string& device) {
  if (device.find('\0') != std::string::npos) {
    return Status::Fail(StatusCode::kInvalid, "the name holds a NUL byte, which no device name can");
  }
  if (IsUtf8(device)) return device;
  // A link with a name in another encoding (Latin-1) to a device whose own
  // name is plain: open the device by that. A path that leads nowhere is
  // handed on as it is, and found missing.
  char* resolved = realpath(device.c_str(), nullptr);
  if (resolved == nullptr) return device;
  std::string name = resolved;
  std::free(resolved);
  if (IsUtf8(name)) return name;
  return Status::Fail(StatusCode::kInvalid, "neither its name nor the name of the device it leads to is UTF-8 text");
}

OpenFailure ClassifyOpenFailure(const std::string& device, bool lock_or_busy, bool permission) {
  if (!Nameable(device) || access(device.c_str(), F_OK) != 0) return OpenFailure::kNotFound;
  if (lock_or_busy) return OpenFailure::kBusy;
  if (permission || access(device.c_str(), R_OK | W_OK) != 0) return OpenFailure::kPermissionDenied;
  return OpenFailure::kOther;
}

std::optional<long long> DeviceFolderStamp() {
  struct stat folder {};
  if (stat("/dev", &folder) != 0) return std::nullopt;
#if defined(__APPLE__)
  return static_cast<long long>(folder.st_mtimespec.tv_sec) * 1000000000LL + folder.st_mtimespec.tv_nsec;
#else
  return static_cast<long long>(folder.st_mtim.tv_sec) * 1000000000LL + folder.st_mtim.tv_nsec;
#endif
}

std::string DeviceIdentity(const std::string& device) {
  struct stat node {};
  if (!Nameable(device) || stat(device.c_str(), &node) != 0) return {};  // follows every link
  // A terminal is its device number (a copy of the node is the same
  // terminal); anything else is its file.
  if (S_ISCHR(node.st_mode)) return "c" + std::to_string(static_cast<unsigned long long>(node.st_rdev));
  return "f" + std::to_string(static_cast<unsigned long long>(node.st_dev)) + ":" +
         std::to_string(static_cast<unsigned long long>(node.st_ino));
}

std::string DeviceNodeStamp(const std::string& device) {
  struct stat node {};
  if (!Nameable(device) || stat(device.c_str(), &node) != 0) return {};
    // A device node is created with the time of its creation.
#if defined(__APPLE__)
  return std::to_string(static_cast<long long>(node.st_ctimespec.tv_sec)) + "." +
         std::to_string(static_cast<long long>(node.st_ctimespec.tv_nsec));
#else
  return std::to_string(static_cast<long long>(node.st_ctim.tv_sec)) + "." +
         std::to_string(static_cast<long long>(node.st_ctim.tv_nsec));
#endif
}

bool ClaimDevice(long long handle) {
  // An advisory lock on the device node itself: the lock files of serial
  // libraries are named after the path and miss a second name of the same
  // device, and exclusive mode (TIOCEXCL) does not hold against root.
  while (flock(static_cast<int>(handle), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) return errno != EWOULDBLOCK;  // a device without locks cannot be claimed: let it be
  }
  return true;
}

namespace {

// Where serial libraries keep lock files, in the order they look.
constexpr const char* kLockFolders[] = {"/var/lock", "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
                                        "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock"};

// UUCP style: "LCK.." and the device name without "/dev/", slashes made
// underscores.
std::string LockFileName(const std::string& device) {
  std::string name = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
  for (char& c : name) c = c == '/' ? '_' : c;
  return "LCK.." + name;
}

}  // namespace

std::string LockFilePath(const std::string& device) {
  // In the first of the folders that holds the file or may.
  const std::string name = LockFileName(device);
  for (const char* folder : kLockFolders) {
    if (access(folder, R_OK) != 0) continue;
    const std::string path = std::string(folder) + "/" + name;
    if (access(path.c_str(), F_OK) == 0 || access(folder, W_OK) == 0) return path;
  }
  return {};
}

namespace {

// The plain file at `path` (never a link planted in a shared folder; with
// `own_only`, one of this user), open and locked by us, so that no live
// maker holds it; -1 otherwise. `file` tells what it is.
int TakeUnheldLockFile(const std::string& path, bool own_only, struct stat& file) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  if (fstat(fd, &file) == 0 && S_ISREG(file.st_mode) && (!own_only || file.st_uid == getuid()) &&
      flock(fd, LOCK_EX | LOCK_NB) == 0) {
    return fd;
  }
  close(fd);
  return -1;
}

// Its maker locks the file before writing its owner into it; an empty file
// whose lock we can take lost its maker before the write.
bool RemoveIfAbandoned(const std::string& path) {
  struct stat file {};
  const int fd = TakeUnheldLockFile(path, false, file);
  if (fd < 0) return false;
  const bool removed = file.st_size == 0 && unlink(path.c_str()) == 0;
  close(fd);
  return removed;
}

}  // namespace

bool RemoveAbandonedLockFile(const std::string& device) {
  const std::string path = LockFilePath(device);
  if (path.empty()) return false;
  // The ".rmlock" file guards the removal of a stale lock file; left empty,
  // it names no process, and no stale lock file is removed until it ages.
  const bool guard_removed = RemoveIfAbandoned(path + ".rmlock");
  return RemoveIfAbandoned(path) || guard_removed;
}

namespace {

// A maker makes its file empty, locks it, then writes its process number:
// an empty file may be one being made this moment. Long after, it is one
// whose maker was killed in between.
constexpr int kSecondsToWriteAnOwner = 10;

// Whether the lock file at `path` is a plain file of this user (never a link
// planted in a shared folder) that no running process holds or names.
bool OwnerEnded(const std::string& path) {
  struct stat file {};
  const int fd = TakeUnheldLockFile(path, true, file);
  if (fd < 0) return false;
  // The owner's process number on the first line, read from the file
  // looked at (the path may be another file by now).
  char text[32] = {};
  const ssize_t got = read(fd, text, sizeof text - 1);
  const long owner = got > 0 ? std::strtol(text, nullptr, 10) : 0;
  const bool ended = owner > 0 ? kill(static_cast<pid_t>(owner), 0) != 0 && errno != EPERM
                               : time(nullptr) - file.st_mtime > kSecondsToWriteAnOwner;
  close(fd);
  return ended;
}

}  // namespace

int RemoveLockFilesOfEndedOwners(const std::string& path_prefix) {
  // "LCK.._run_user_1000_quorvel-demo-4242-x7Yz1Q_COM3", and the ".rmlock"
  // guards made while removing such files.
  const std::string prefix = LockFileName(path_prefix);
  int removed = 0;
  for (const char* lock_folder : kLockFolders) {
    DIR* listing = opendir(lock_folder);
    if (listing == nullptr) continue;
    while (const dirent* entry = readdir(listing)) {
      const std::string name = entry->d_name;
      if (name.rfind(prefix, 0) != 0) continue;
      const std::string path = std::string(lock_folder) + "/" + name;
      if (OwnerEnded(path) && unlink(path.c_str()) == 0) ++removed;
    }
    closedir(listing);
  }
  return removed;
}

unsigned ReadBackBaudRate(long long handle) {
#if defined(__linux__)
  // struct termios2 clashes with <termios.h>; only its speed fields matter.
  struct Termios2 {
    unsigned c_iflag, c_oflag, c_cflag, c_lflag;
    unsigned char c_line;
    unsigned char c_cc[19];
    unsigned c_ispeed, c_ospeed;
  } settings{};
  if (ioctl(static_cast<int>(handle), _IOR('T', 0x2A, Termios2), &settings) != 0) return 0;
  return settings.c_ospeed;
#else
  (void)handle;
  return 0;
#endif
}

}  // namespace quorvel
