// Appending rows in place, and growing the room they are written into.
#include "storage/xls/sheet_file.h"

#include <algorithm>
#include <utility>

#include "storage/xls/biff.h"
#include "storage/xls/le_bytes.h"
#include "storage/xls/stream_io.h"

namespace quorvel::xls {
namespace {

// Far more than 65 536 rows of ordinary width need; a sheet of very long
// texts in many columns counts as full here rather than growing without end.
constexpr std::uint64_t kMaxStreamBytes = 1ull << 30;

Bytes CommitBytesOfTail(std::uint64_t tail_at) {
  Bytes old;
  PutTail(old, tail_at);
  PutZeros(old, kCommitBytes - kTailBytes);
  return old;
}

}  // namespace

SheetFile::SheetFile(std::string path, std::size_t width, const WriterOptions& options, File file,
                     CompoundLayout layout)
    : path_(std::move(path)), width_(width), options_(options), file_(std::move(file)), layout_(std::move(layout)) {
  options_.row_limit = std::clamp<std::uint32_t>(options_.row_limit, 2, kMaxRows);
  options_.max_growth_bytes = std::max<std::uint32_t>(options_.max_growth_bytes, kSectorSize);
}

Status SheetFile::Append(const Row& row) {
  if (!file_.is_open()) {
    return Status::Fail(StatusCode::kClosed, CannotText("write", path_, "the file is closed"));
  }
  if (row.size() != width_) {
    return Status::Fail(StatusCode::kInvalid,
                        CannotText("write", path_,
                                   "the row has " + std::to_string(row.size()) + " cells but the sheet has " +
                                       std::to_string(width_) + " columns"));
  }
  if (full()) {
    return Status::Fail(StatusCode::kFull,
                        CannotText("write", path_, "the sheet holds " + std::to_string(rows_) + " rows, its limit"));
  }
  // The new tail: row, filler, WINDOW2, EOF and the zeros that end the sheet
  // for readers that look past the EOF.
  Bytes bytes;
  PutRow(bytes, static_cast<std::uint16_t>(rows_), row);
  const std::uint64_t rows_end = tail_at_ + bytes.size();
  PutTail(bytes, rows_end);
  PutZeros(bytes, kCommitBytes - kTailBytes);
  const std::uint64_t end = tail_at_ + bytes.size();
  if (end > kMaxStreamBytes) {
    return Status::Fail(StatusCode::kFull, CannotText("write", path_, "the file has reached its size limit"));
  }
  if (end > layout_.StreamSize()) {
    if (Status s = Grow(end); !s.ok()) {
      return s;
    }
  }

  // Stage 1, invisible to readers: everything behind the current EOF and
  // the zeros after it, flushed so that the commit can never reach the disk
  // ahead of the row it commits.
  const ByteView all(bytes);
  dirty_end_ = std::max(dirty_end_, end);
  IoResult io = WriteStream(file_, layout_, tail_at_ + kCommitBytes, all.subspan(kCommitBytes));
  if (io.ok() && dirty_end_ > end) {
    io = ZeroStream(file_, layout_, end, dirty_end_ - end);
    if (io.ok()) {
      dirty_end_ = end;
    }
  }
  if (io.ok()) {
    io = Sync();
  }
  if (!io.ok()) {
    return WriteFailure(io);
  }
  // Stage 2: the row count, then the commit, one write inside one sector
  // (see PutTail). A reader that trusts DIMENSIONS rejects a sheet with more
  // rows than it counts, and shows an empty row for a row counted but not
  // yet there: so the count goes first, and nothing slow comes between the
  // two writes, which leaves a killed process next to no time to stop
  // between them.
  Bytes count;
  PutU32(count, rows_ + 1);
  io = WriteStream(file_, layout_, DimensionsRowEndOffset(), count);
  if (io.ok()) {
    io = WriteStream(file_, layout_, tail_at_, all.first(kCommitBytes));
    if (io.ok()) {
      io = Sync();
      if (!io.ok()) {
        // Not known to be on the disk: take the row back so that what the
        // file shows agrees with the failure reported.
        (void)WriteStream(file_, layout_, tail_at_, CommitBytesOfTail(tail_at_));
      }
    }
  }
  if (!io.ok()) {
    RestoreRowCount();
    return WriteFailure(io);
  }
  ++rows_;
  tail_at_ = rows_end + FillerBytesAt(rows_end);
  return Status::Ok();
}

Status SheetFile::Grow(std::uint64_t needed_stream_size) {
  const std::uint64_t stream = layout_.StreamSize();
  const std::uint32_t needed = SectorsFor(needed_stream_size - stream);
  // Growing by the stream's size keeps the number of growths logarithmic;
  // the cap keeps one growth short; the sixteenth keeps the copied tables a
  // small share of what a growth adds in very large files.
  const std::uint64_t step =
      std::max<std::uint64_t>(std::min<std::uint64_t>(stream, options_.max_growth_bytes), stream / 16);
  const std::uint32_t preferred = std::max(needed, SectorsFor(step));
  IoResult io;
  CompoundLayout next;
  for (const std::uint32_t extra : {preferred, needed}) {
    next = PlanGrownLayout(layout_, extra);
    io = WriteGrowth(next);
    if (io.ok()) {
      io = Sync();
    }
    if (io.ok()) {
      break;
    }
    // Give the space back; on a full disk the smaller growth may still fit.
    (void)file_.Resize(layout_.FileSize());
    if (extra == needed) {
      return WriteFailure(io);
    }
  }
  // The switch: one write of the header sector.
  if (io = file_.WriteAt(0, EncodeHeader(next)); !io.ok()) {
    (void)file_.Resize(layout_.FileSize());
    return WriteFailure(io);
  }
  layout_ = std::move(next);
  if (io = Sync(); !io.ok()) {
    return WriteFailure(io);
  }
  return Status::Ok();
}

IoResult SheetFile::WriteGrowth(const CompoundLayout& next) {
  const std::vector<SectorImage> meta = EncodeMetadata(next);
  // Metadata sectors come first and lie in one run: write them at once.
  Bytes block;
  block.reserve(meta.size() * kSectorSize);
  for (const SectorImage& image : meta) {
    block.insert(block.end(), image.bytes.begin(), image.bytes.end());
  }
  if (IoResult io = file_.WriteAt(SectorOffset(meta.front().sector), block); !io.ok()) {
    return io;
  }
  // Then the new stream sectors, as real zeros: the space is taken now, so a
  // full disk shows up here rather than in the middle of a later row.
  const std::uint64_t old_size = layout_.StreamSize();
  const std::uint64_t new_size = next.StreamSize();
  return ZeroStream(file_, next, old_size, new_size - old_size);
}

Status SheetFile::Close() {
  if (const IoResult io = file_.Close(); !io.ok()) {
    return Status::Fail(StatusCode::kIoError, CannotText("close", path_, io.text));
  }
  return Status::Ok();
}

IoResult SheetFile::Sync() {
  if (options_.flush == FlushPolicy::kNone) {
    return {};
  }
  return file_.SyncData();
}

void SheetFile::RestoreRowCount() {
  Bytes count;
  PutU32(count, rows_);
  (void)WriteStream(file_, layout_, DimensionsRowEndOffset(), count);
}

Status SheetFile::WriteFailure(const IoResult& io) const {
  return Status::Fail(StatusCode::kIoError, CannotText("write", path_, io.text));
}

}  // namespace quorvel::xls
