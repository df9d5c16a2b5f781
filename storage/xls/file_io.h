// Files through the operating system. This header is portable; the system
// calls live in file_io_posix.cpp alone, so a port replaces that file only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "storage/xls/le_bytes.h"

namespace quorvel::xls {

// Outcome of one system call. The kinds are the cases the writer acts on;
// `text` is the system's own description ("No space left on device").
struct IoResult {
  enum class Kind { kOk, kNotFound, kExists, kBusy, kDenied, kOther };
  Kind kind = Kind::kOk;
  std::string text;

  bool ok() const { return kind == Kind::kOk; }
};

class File {
 public:
  enum class Access { kReadWrite, kReadOnly };

  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing file.
  static IoResult Open(const std::string& path, Access access, File* out);
  // Creates a file that does not exist yet (read-write); kExists otherwise.
  static IoResult CreateNew(const std::string& path, File* out);

  // Reads up to out.size() bytes; *got is less at the end of the file.
  IoResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> out, std::size_t* got) const;
  // Writes all of data or fails.
  IoResult WriteAt(std::uint64_t offset, ByteView data);
  IoResult Size(std::uint64_t* size) const;
  // Sets the length; a longer file reads as zeros past the old end.
  IoResult Resize(std::uint64_t size);
  // Forces written data (and the length) to the disk.
  IoResult SyncData();
  // Takes an exclusive advisory lock without waiting; kBusy when another
  // writer holds it. Released by Close. Succeeds where locks are unsupported.
  IoResult TryLock();
  IoResult Close();

  bool is_open() const { return handle_ >= 0; }

 private:
  explicit File(int handle) : handle_(handle) {}

  int handle_ = -1;
};

// Gives a finished file `temp` the name `path`, unless `path` already exists
// (kExists; `temp` is left in place). `temp` no longer exists on success.
IoResult PublishNew(const std::string& temp, const std::string& path);

// Forces the directory entry of `path` to the disk (after a create or rename).
IoResult SyncDirectoryOf(const std::string& path);

IoResult RemoveFile(const std::string& path);

}  // namespace quorvel::xls
