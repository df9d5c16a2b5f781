#include "storage/xls/stream_io.h"

#include <algorithm>
#include <array>

namespace quorvel::xls {
namespace {

constexpr std::size_t kWindowBytes = 1u << 20;

// Calls fn(file_offset, stream_offset, length) for each run of sectors that
// are adjacent in the file, covering [offset, offset + length) of the stream.
template <typename Fn>
IoResult ForEachRun(const CompoundLayout& layout, std::uint64_t offset, std::uint64_t length, Fn fn) {
  std::uint64_t at = offset;
  const std::uint64_t end = offset + length;
  while (at < end) {
    const std::uint64_t index = at / kSectorSize;
    const std::uint64_t file_at = SectorOffset(layout.stream_sectors[index]) + at % kSectorSize;
    std::uint64_t run_end = (index + 1) * kSectorSize;
    std::uint64_t next = index + 1;
    while (run_end < end && next < layout.stream_sectors.size() &&
           layout.stream_sectors[next] == layout.stream_sectors[next - 1] + 1) {
      run_end += kSectorSize;
      ++next;
    }
    run_end = std::min(run_end, end);
    if (IoResult r = fn(file_at, at - offset, run_end - at); !r.ok()) {
      return r;
    }
    at = run_end;
  }
  return {};
}

}  // namespace

IoResult WriteStream(File& file, const CompoundLayout& layout, std::uint64_t offset, ByteView data) {
  return ForEachRun(layout, offset, data.size(), [&](std::uint64_t file_at, std::uint64_t from, std::uint64_t n) {
    return file.WriteAt(file_at, data.subspan(from, n));
  });
}

IoResult ZeroStream(File& file, const CompoundLayout& layout, std::uint64_t offset, std::uint64_t length) {
  static const std::array<std::uint8_t, 64 * 1024> kZeros{};
  return ForEachRun(layout, offset, length, [&](std::uint64_t file_at, std::uint64_t, std::uint64_t n) {
    for (std::uint64_t done = 0; done < n;) {
      const std::uint64_t part = std::min<std::uint64_t>(n - done, kZeros.size());
      if (IoResult r = file.WriteAt(file_at + done, ByteView(kZeros.data(), part)); !r.ok()) {
        return r;
      }
      done += part;
    }
    return IoResult{};
  });
}

IoResult ReadStream(const File& file, const CompoundLayout& layout, std::uint64_t offset, std::span<std::uint8_t> out) {
  return ForEachRun(layout, offset, out.size(), [&](std::uint64_t file_at, std::uint64_t from, std::uint64_t n) {
    const auto part = out.subspan(from, n);
    std::size_t got = 0;
    IoResult r = file.ReadAt(file_at, part, &got);
    std::fill(part.begin() + static_cast<std::ptrdiff_t>(got), part.end(), std::uint8_t{0});
    return r;
  });
}

const std::uint8_t* StreamWindow::Get(std::uint64_t offset, std::size_t n) {
  const std::uint64_t stream_size = layout_.StreamSize();
  if (offset > stream_size || n > stream_size - offset) {
    return nullptr;
  }
  if (offset < start_ || offset + n > start_ + buffer_.size()) {
    const std::uint64_t length = std::min<std::uint64_t>(stream_size - offset, std::max(n, kWindowBytes));
    buffer_.resize(static_cast<std::size_t>(length));
    start_ = offset;
    if (IoResult r = ReadStream(file_, layout_, offset, buffer_); !r.ok()) {
      error_ = r;
      buffer_.clear();
      return nullptr;
    }
  }
  return buffer_.data() + (offset - start_);
}

}  // namespace quorvel::xls
