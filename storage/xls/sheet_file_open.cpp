// Making a new file and opening (and repairing) an existing one.
#include <algorithm>
#include <utility>

#include "storage/xls/biff.h"
#include "storage/xls/le_bytes.h"
#include "storage/xls/sheet_file.h"
#include "storage/xls/sheet_scan.h"
#include "storage/xls/stream_io.h"

namespace quorvel::xls {
namespace {

OpenResult Outcome(OpenKind kind, std::string text) {
  OpenResult r;
  r.kind = kind;
  r.text = std::move(text);
  return r;
}

std::string CheckColumns(const Columns& columns) {
  if (columns.empty() || columns.size() > kMaxColumns) {
    return "a sheet has 1 to " + std::to_string(kMaxColumns) + " columns, not " + std::to_string(columns.size());
  }
  return {};
}

std::string JoinNames(const Columns& names) {
  std::string out;
  for (const std::string& name : names) {
    out += (out.empty() ? "" : ", ") + name;
  }
  return out;
}

}  // namespace

OpenResult SheetFile::Create(const std::string& path, const Columns& columns, const WriterOptions& options) {
  if (const std::string problem = CheckColumns(columns); !problem.empty()) {
    return Outcome(OpenKind::kFailed, CannotText("create", path, problem));
  }
  Bytes stream = GlobalsRecords();
  PutSheetBof(stream);
  PutDimensions(stream, 1, static_cast<std::uint16_t>(columns.size()));
  PutHeaderRow(stream, columns);
  const std::uint64_t rows_end = stream.size();
  PutTail(stream, rows_end);
  PutZeros(stream, kCommitBytes - kTailBytes);
  const std::uint32_t sectors = SectorsFor(std::max<std::uint64_t>(stream.size(), kMinStreamBytes));
  stream.resize(static_cast<std::size_t>(sectors) * kSectorSize, 0);

  CompoundLayout layout = PlanNewLayout(sectors);
  Bytes image = EncodeHeader(layout);
  image.resize(static_cast<std::size_t>(layout.FileSize()), 0);
  for (const SectorImage& meta : EncodeMetadata(layout)) {
    std::copy(meta.bytes.begin(), meta.bytes.end(),
              image.begin() + static_cast<std::ptrdiff_t>(SectorOffset(meta.sector)));
  }
  // A new layout keeps the stream's sectors in one run.
  std::copy(stream.begin(), stream.end(),
            image.begin() + static_cast<std::ptrdiff_t>(SectorOffset(layout.stream_sectors.front())));

  // Written under another name and then linked into place, so that the name
  // never shows a half-written file. A leftover of an interrupted create is
  // unlinked rather than emptied: it may still share its data with the file
  // it was linked to.
  const std::string temp = path + ".partial";
  (void)RemoveFile(temp);
  File file;
  if (const IoResult io = File::CreateNew(temp, &file); !io.ok()) {
    return Outcome(OpenKind::kFailed, CannotText("create", path, io.text));
  }
  const auto abandon = [&](const char* verb, const IoResult& io) {
    file.Close();
    RemoveFile(temp);
    return Outcome(OpenKind::kFailed, CannotText(verb, path, io.text));
  };
  if (const IoResult io = file.WriteAt(0, image); !io.ok()) {
    return abandon("write", io);
  }
  if (const IoResult io = file.TryLock(); !io.ok()) {
    return abandon("create", io);
  }
  if (options.flush == FlushPolicy::kEveryRow) {
    if (const IoResult io = file.SyncData(); !io.ok()) {
      return abandon("write", io);
    }
  }
  if (const IoResult io = PublishNew(temp, path); !io.ok()) {
    if (io.kind == IoResult::Kind::kExists) {
      file.Close();
      RemoveFile(temp);
      return Outcome(OpenKind::kExists, path + " exists already");
    }
    return abandon("create", io);
  }
  if (options.flush == FlushPolicy::kEveryRow) {
    if (const IoResult io = SyncDirectoryOf(path); !io.ok()) {
      return Outcome(OpenKind::kFailed, CannotText("create", path, io.text));
    }
  }
  SheetFile sheet(path, columns.size(), options, std::move(file), std::move(layout));
  sheet.rows_ = 1;
  sheet.tail_at_ = rows_end + FillerBytesAt(rows_end);
  sheet.dirty_end_ = sheet.tail_at_ + kCommitBytes;
  OpenResult result = Outcome(OpenKind::kOpened, {});
  result.file.emplace(std::move(sheet));
  return result;
}

OpenResult SheetFile::Open(const std::string& path, const Columns& columns, const WriterOptions& options) {
  if (const std::string problem = CheckColumns(columns); !problem.empty()) {
    return Outcome(OpenKind::kFailed, CannotText("open", path, problem));
  }
  File file;
  bool writable = true;
  const IoResult open_io = File::Open(path, File::Access::kReadWrite, &file);
  if (!open_io.ok()) {
    if (open_io.kind == IoResult::Kind::kNotFound) {
      return Outcome(OpenKind::kMissing, path + " does not exist");
    }
    // A file we may only read is still worth telling apart: a foreign one is
    // merely skipped, one of ours is an error the user can fix.
    if (open_io.kind != IoResult::Kind::kDenied || !File::Open(path, File::Access::kReadOnly, &file).ok()) {
      return Outcome(OpenKind::kFailed, CannotText("open", path, open_io.text));
    }
    writable = false;
  }
  if (writable) {
    if (const IoResult io = file.TryLock(); !io.ok()) {
      return Outcome(
          OpenKind::kFailed,
          CannotText("open", path, io.kind == IoResult::Kind::kBusy ? "it is in use by another writer" : io.text));
    }
  }

  CompoundRead read = ReadLayout(file);
  switch (read.kind) {
    case CompoundRead::Kind::kOk:
      break;
    case CompoundRead::Kind::kForeign:
      return Outcome(OpenKind::kForeign, path + " " + read.detail);
    case CompoundRead::Kind::kDamaged:
      return Outcome(OpenKind::kDamaged, path + " is damaged (" + read.detail + ")");
    case CompoundRead::Kind::kIoError:
      return Outcome(OpenKind::kFailed, CannotText("read", path, read.detail));
  }
  SheetScan scan;
  {
    StreamWindow window(file, read.layout);
    scan = ScanSheet(window, columns);
  }
  switch (scan.kind) {
    case SheetScan::Kind::kOurs:
      break;
    case SheetScan::Kind::kForeign:
      return Outcome(OpenKind::kForeign, path + " " + scan.detail);
    case SheetScan::Kind::kOtherColumns:
      return Outcome(OpenKind::kOtherColumns, path + " has other columns (" + JoinNames(scan.file_columns) + ")");
    case SheetScan::Kind::kDamaged:
      return Outcome(OpenKind::kDamaged, path + " is damaged (" + scan.detail + ")");
    case SheetScan::Kind::kIoError:
      return Outcome(OpenKind::kFailed, CannotText("read", path, scan.detail));
  }
  if (!writable) {
    return Outcome(OpenKind::kFailed, CannotText("open", path, open_io.text));
  }

  std::uint64_t file_size = 0;
  if (const IoResult io = file.Size(&file_size); !io.ok()) {
    return Outcome(OpenKind::kFailed, CannotText("read", path, io.text));
  }
  const std::uint64_t layout_size = read.layout.FileSize();
  SheetFile sheet(path, columns.size(), options, std::move(file), std::move(read.layout));
  sheet.rows_ = scan.rows;
  sheet.tail_at_ = scan.rows_end + FillerBytesAt(scan.rows_end);
  sheet.dirty_end_ = std::max(scan.dirty_end, sheet.tail_at_ + kCommitBytes);
  const bool repair = !scan.clean || file_size != layout_size;
  if (repair) {
    if (file_size != layout_size) {
      // Shorter: cut off (the missing stream sectors come back as zeros).
      // Longer: sectors of a growth that never took effect.
      if (const IoResult io = sheet.file_.Resize(layout_size); !io.ok()) {
        return Outcome(OpenKind::kFailed, CannotText("write", path, io.text));
      }
    }
    if (Status s = sheet.Repair(scan.rows_end, scan.dirty_begin, scan.dirty_end); !s.ok()) {
      return Outcome(OpenKind::kFailed, s.text());
    }
  }
  OpenResult result = Outcome(OpenKind::kOpened, {});
  result.repaired = repair;
  result.file.emplace(std::move(sheet));
  return result;
}

Status SheetFile::Repair(std::uint64_t rows_end, std::uint64_t dirty_begin, std::uint64_t dirty_end) {
  Bytes tail;
  PutTail(tail, rows_end);
  PutZeros(tail, kCommitBytes - kTailBytes);
  const std::uint64_t tail_end = rows_end + tail.size();
  if (tail_end > layout_.StreamSize()) {
    if (Status s = Grow(tail_end); !s.ok()) {
      return s;
    }
  }
  if (dirty_end > dirty_begin) {
    const std::uint64_t from = std::max(dirty_begin, tail_end);
    if (dirty_end > from) {
      if (const IoResult io = ZeroStream(file_, layout_, from, dirty_end - from); !io.ok()) {
        return WriteFailure(io);
      }
    }
  }
  if (const IoResult io = WriteStream(file_, layout_, rows_end, tail); !io.ok()) {
    return WriteFailure(io);
  }
  Bytes dims;
  PutDimensions(dims, rows_, static_cast<std::uint16_t>(width_));
  if (const IoResult io = WriteStream(file_, layout_, DimensionsOffset(), dims); !io.ok()) {
    return WriteFailure(io);
  }
  if (const IoResult io = Sync(); !io.ok()) {
    return WriteFailure(io);
  }
  dirty_end_ = tail_end;
  return Status::Ok();
}

}  // namespace quorvel::xls
