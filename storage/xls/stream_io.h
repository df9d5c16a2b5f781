// Reading and writing the Workbook stream by stream offset, through the
// sector chain of a layout.
#pragma once

#include <cstdint>
#include <span>

#include "storage/xls/compound_file.h"
#include "storage/xls/file_io.h"
#include "storage/xls/le_bytes.h"

namespace quorvel::xls {

// Writes data at a stream offset; the range must lie inside the stream.
// Sectors that follow each other in the file are written in one call, so a
// range inside one sector is always a single write.
IoResult WriteStream(File& file, const CompoundLayout& layout, std::uint64_t offset, ByteView data);

// Writes zeros over a stream range.
IoResult ZeroStream(File& file, const CompoundLayout& layout, std::uint64_t offset, std::uint64_t length);

// Reads a stream range; bytes past the physical end of the file read as zeros.
IoResult ReadStream(const File& file, const CompoundLayout& layout, std::uint64_t offset, std::span<std::uint8_t> out);

// A moving read buffer over the stream, for walking its records.
class StreamWindow {
 public:
  StreamWindow(const File& file, const CompoundLayout& layout) : file_(file), layout_(layout) {}

  // The bytes [offset, offset + n), or nullptr when they pass the end of the
  // stream or cannot be read (then error() says why). Valid until the next call.
  const std::uint8_t* Get(std::uint64_t offset, std::size_t n);
  const IoResult& error() const { return error_; }
  std::uint64_t size() const { return layout_.StreamSize(); }

 private:
  const File& file_;
  const CompoundLayout& layout_;
  Bytes buffer_;
  std::uint64_t start_ = 0;
  IoResult error_;
};

}  // namespace quorvel::xls
