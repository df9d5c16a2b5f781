// POSIX system calls behind file_io.h.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "storage/xls/file_io.h"

namespace quorvel::xls {
namespace {

std::string SystemText(int code) {
  char buffer[256] = {};
  // The GNU strerror_r returns the text, which may not be in the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
  return strerror_r(code, buffer, sizeof buffer);
#else
  if (strerror_r(code, buffer, sizeof buffer) != 0) {
    return "error " + std::to_string(code);
  }
  return buffer;
#endif
}

IoResult FromErrno(int code) {
  IoResult result;
  switch (code) {
    case ENOENT:
      result.kind = IoResult::Kind::kNotFound;
      break;
    case EEXIST:
      result.kind = IoResult::Kind::kExists;
      break;
    case EWOULDBLOCK:
      result.kind = IoResult::Kind::kBusy;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      result.kind = IoResult::Kind::kDenied;
      break;
    default:
      result.kind = IoResult::Kind::kOther;
      break;
  }
  result.text = SystemText(code);
  return result;
}

IoResult LastError() { return FromErrno(errno); }

}  // namespace

File::~File() {
  if (handle_ >= 0) {
    ::close(handle_);
  }
}

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) {
      ::close(handle_);
    }
    handle_ = std::exchange(other.handle_, -1);
  }
  return *this;
}

IoResult File::Open(const std::string& path, Access access, File* out) {
  const int flags = (access == Access::kReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    return LastError();
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    IoResult result = LastError();
    ::close(fd);
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    return FromErrno(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
  }
  *out = File(fd);
  return {};
}

IoResult File::CreateNew(const std::string& path, File* out) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    return LastError();
  }
  *out = File(fd);
  return {};
}

IoResult File::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out, std::size_t* got) const {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::pread(handle_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return LastError();
    }
    if (n == 0) {
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  *got = done;
  return {};
}

IoResult File::WriteAt(std::uint64_t offset, ByteView data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::pwrite(handle_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return LastError();
    }
    if (n == 0) {
      return FromErrno(ENOSPC);
    }
    done += static_cast<std::size_t>(n);
  }
  return {};
}

IoResult File::Size(std::uint64_t* size) const {
  struct stat info {};
  if (::fstat(handle_, &info) != 0) {
    return LastError();
  }
  *size = static_cast<std::uint64_t>(info.st_size);
  return {};
}

IoResult File::Resize(std::uint64_t size) {
  int rc = 0;
  do {
    rc = ::ftruncate(handle_, static_cast<off_t>(size));
  } while (rc != 0 && errno == EINTR);
  return rc == 0 ? IoResult{} : LastError();
}

IoResult File::SyncData() {
  int rc = 0;
  do {
    rc = ::fdatasync(handle_);
  } while (rc != 0 && errno == EINTR);
  return rc == 0 ? IoResult{} : LastError();
}

IoResult File::TryLock() {
  int rc = 0;
  do {
    rc = ::flock(handle_, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc == 0) {
    return {};
  }
  if (errno == ENOLCK || errno == EINVAL || errno == EOPNOTSUPP) {
    return {};  // no locks on this file system: nothing to guard with
  }
  return LastError();
}

IoResult File::Close() {
  if (handle_ < 0) {
    return {};
  }
  const int fd = std::exchange(handle_, -1);
  // close() must not be retried on EINTR: the descriptor is gone either way.
  if (::close(fd) != 0 && errno != EINTR) {
    return LastError();
  }
  return {};
}

IoResult PublishNew(const std::string& temp, const std::string& path) {
  // A hard link never replaces an existing file, unlike rename().
  if (::link(temp.c_str(), path.c_str()) == 0) {
    ::unlink(temp.c_str());
    return {};
  }
  const int link_error = errno;
  if (link_error == EEXIST) {
    return FromErrno(EEXIST);
  }
  if (link_error != EPERM && link_error != ENOTSUP && link_error != EOPNOTSUPP && link_error != EMLINK &&
      link_error != ENOSYS && link_error != EXDEV) {
    return FromErrno(link_error);
  }
  // File systems without hard links (FAT on a USB stick): the check and the
  // rename are not one step, which only matters if two writers race.
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) {
    return FromErrno(EEXIST);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    return LastError();
  }
  return {};
}

IoResult SyncDirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return LastError();
  }
  int rc = 0;
  do {
    rc = ::fsync(fd);
  } while (rc != 0 && errno == EINTR);
  IoResult result;
  // Some file systems cannot sync a directory; the entry is then as safe as it gets.
  if (rc != 0 && errno != EINVAL && errno != EROFS) {
    result = LastError();
  }
  ::close(fd);
  return result;
}

IoResult RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) {
    return LastError();
  }
  return {};
}

}  // namespace quorvel::xls
