// What opening does with a file whose end was cut off or half written: it
// keeps every whole row and nothing else, and leaves exactly the file an
// uninterrupted writer would have left.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "storage/xls/biff.h"
#include "storage/xls/compound_file.h"
#include "storage/xls/file_io.h"
#include "storage/xls/sheet_file.h"
#include "storage/xls/sheet_scan.h"
#include "storage/xls/stream_io.h"
#include "tests/xls/xls_test_support.h"

namespace quorvel::xls::test {
namespace {

using ByteVector = std::vector<std::uint8_t>;

WriterOptions NoFlush() {
  WriterOptions options;
  options.flush = FlushPolicy::kNone;
  return options;
}

// A file as it is on the disk, with where its rows lie.
struct Snapshot {
  ByteVector bytes;
  CompoundLayout layout;
  SheetScan scan;
  Expected rows;

  std::uint64_t tail_at() const { return scan.rows_end + FillerBytesAt(scan.rows_end); }
  std::size_t FileAt(std::uint64_t stream_offset) const {
    return static_cast<std::size_t>(SectorOffset(layout.stream_sectors[stream_offset / kSectorSize]) +
                                    stream_offset % kSectorSize);
  }
  ByteVector Stream() const {
    ByteVector out;
    for (std::uint64_t o = 0; o < layout.StreamSize(); ++o) {
      out.push_back(bytes[FileAt(o)]);
    }
    return out;
  }
  std::uint32_t LastMetadataSector() const {
    std::uint32_t last = layout.directory_sector;
    for (const std::uint32_t s : layout.fat_sectors) {
      last = std::max(last, s);
    }
    for (const std::uint32_t s : layout.difat_sectors) {
      last = std::max(last, s);
    }
    return last;
  }
};

Snapshot Take(const std::string& path, const Expected& rows) {
  Snapshot s;
  s.bytes = ReadBytes(path);
  s.rows = rows;
  File file;
  EXPECT_TRUE(File::Open(path, File::Access::kReadOnly, &file).ok());
  const CompoundRead read = ReadLayout(file);
  EXPECT_EQ(read.kind, CompoundRead::Kind::kOk) << read.detail;
  s.layout = read.layout;
  StreamWindow window(file, s.layout);
  s.scan = ScanSheet(window, RealTimeColumns());
  EXPECT_EQ(s.scan.rows, rows.rows.size());
  EXPECT_TRUE(s.scan.clean);
  return s;
}

bool SameLayout(const CompoundLayout& a, const CompoundLayout& b) {
  return a.sector_count == b.sector_count && a.fat_sectors == b.fat_sectors && a.difat_sectors == b.difat_sectors &&
         a.directory_sector == b.directory_sector && a.stream_sectors == b.stream_sectors;
}

// Appends rows one by one and keeps the snapshots on both sides of the
// first append (from `min_rows` on) that passes `pick`.
template <typename Pick>
void FindAppend(const std::string& path, std::uint32_t min_rows, Pick pick, Snapshot* before, Snapshot* after) {
  OpenResult created = SheetFile::Create(path, RealTimeColumns(), NoFlush());
  ASSERT_EQ(created.kind, OpenKind::kOpened) << created.text;
  Expected rows{{HeaderCells(RealTimeColumns())}, {}};
  Snapshot previous = Take(path, rows);
  for (std::uint32_t n = 1; n < 5000; ++n) {
    ASSERT_TRUE(created.file->Append(SampleRow(n)).ok());
    rows.rows.push_back(SampleRow(n));
    Snapshot current = Take(path, rows);
    if (n >= min_rows && pick(previous, current)) {
      *before = std::move(previous);
      *after = std::move(current);
      ASSERT_TRUE(created.file->Close().ok());
      return;
    }
    previous = std::move(current);
  }
  FAIL() << "no such append";
}

void ExpectOpensAs(const std::string& path, const Snapshot& expected, const std::string& what) {
  OpenResult opened = SheetFile::Open(path, RealTimeColumns(), NoFlush());
  ASSERT_EQ(opened.kind, OpenKind::kOpened) << what << ": " << opened.text;
  EXPECT_EQ(opened.file->row_count(), expected.rows.rows.size()) << what;
  ASSERT_TRUE(opened.file->Close().ok());
  EXPECT_TRUE(ReadBytes(path) == expected.bytes) << what << ": the repaired file differs from the uninterrupted one";
}

enum class Damage { kZeros, kGarbage, kStale, kTruncated };

const char* Name(Damage d) {
  switch (d) {
    case Damage::kZeros:
      return "zeroed";
    case Damage::kGarbage:
      return "garbage";
    case Damage::kStale:
      return "old bytes";
    case Damage::kTruncated:
      return "truncated";
  }
  return "";
}

// Every offset from the start of the last row to the end of what its append
// wrote, and every kind of damage from there on.
void CheckEveryCut(const Snapshot& before, const Snapshot& after) {
  ASSERT_TRUE(SameLayout(before.layout, after.layout));
  const std::uint64_t row_start = before.tail_at();
  const std::uint64_t row_end = after.scan.rows_end;
  const std::uint64_t end = after.tail_at() + kCommitBytes;
  TempDir dir;
  const std::string path = dir.File("cut.xls");
  int truncations = 0;
  for (std::uint64_t x = row_start; x < end; ++x) {
    for (const Damage damage : {Damage::kZeros, Damage::kGarbage, Damage::kStale, Damage::kTruncated}) {
      const std::string what = std::string(Name(damage)) + " from stream offset " + std::to_string(x) + " (row " +
                               std::to_string(row_start) + ".." + std::to_string(row_end) + ")";
      ByteVector bytes = after.bytes;
      if (damage == Damage::kTruncated) {
        // Only cuts behind all the sector tables leave a file to repair.
        if (after.FileAt(x) / kSectorSize <= after.LastMetadataSector() + 1u) {
          continue;
        }
        bytes.resize(after.FileAt(x));
        ++truncations;
      } else {
        for (std::uint64_t o = x; o < end; ++o) {
          bytes[after.FileAt(o)] = damage == Damage::kZeros     ? 0
                                   : damage == Damage::kGarbage ? 0xA5
                                                                : before.bytes[after.FileAt(o)];
        }
      }
      WriteBytes(path, bytes);
      const Snapshot& whole = x >= row_end ? after : before;
      ExpectOpensAs(path, whole, what);
      ExpectSheet(path, whole.rows);
      if (::testing::Test::HasFailure()) {
        return;
      }
    }
  }
  EXPECT_GT(truncations, 0);
}

TEST(TornTailTest, EveryCutInANewFileKeepsTheWholeRows) {
  Snapshot before;
  Snapshot after;
  TempDir dir;
  FindAppend(
      dir.File("source.xls"), 12, [](const Snapshot& a, const Snapshot& b) { return SameLayout(a.layout, b.layout); },
      &before, &after);
  ASSERT_FALSE(HasFatalFailure());
  CheckEveryCut(before, after);
}

// After growths the last rows lie in sectors behind the newest tables.
TEST(TornTailTest, EveryCutInAGrownFileKeepsTheWholeRows) {
  Snapshot before;
  Snapshot after;
  TempDir dir;
  FindAppend(
      dir.File("source.xls"), 300,
      [](const Snapshot& a, const Snapshot& b) {
        return SameLayout(a.layout, b.layout) && b.layout.directory_sector > 1 &&
               b.layout.stream_sectors.back() > b.LastMetadataSector();
      },
      &before, &after);
  ASSERT_FALSE(HasFatalFailure());
  CheckEveryCut(before, after);
}

// A cut right at the end of the row leaves a row that is whole: it stays.
// Put the other way, a kill can only lose the row in flight; the stages are
// rebuilt here from the files on both sides of an append.
TEST(InterruptedAppendTest, EveryStageOfAnAppendLeavesAReadableFile) {
  Snapshot before;
  Snapshot after;
  TempDir dir;
  FindAppend(
      dir.File("source.xls"), 5, [](const Snapshot& a, const Snapshot& b) { return SameLayout(a.layout, b.layout); },
      &before, &after);
  ASSERT_FALSE(HasFatalFailure());
  const std::uint64_t commit_at = before.tail_at();
  const std::uint64_t end = after.tail_at() + kCommitBytes;
  const std::string path = dir.File("stage.xls");

  // 1: the row and the new tail written behind the old end.
  ByteVector bytes = before.bytes;
  for (std::uint64_t o = commit_at + kCommitBytes; o < end; ++o) {
    bytes[after.FileAt(o)] = after.bytes[after.FileAt(o)];
  }
  WriteBytes(path, bytes);
  ExpectSheet(path, before.rows);
  ExpectOpensAs(path, before, "row written behind the end");

  // 2: the row count raised.
  for (std::uint64_t o = DimensionsRowEndOffset(); o < DimensionsRowEndOffset() + 4; ++o) {
    bytes[after.FileAt(o)] = after.bytes[after.FileAt(o)];
  }
  WriteBytes(path, bytes);
  ExpectSheet(path, {before.rows.rows, after.rows.rows.back()});
  ExpectOpensAs(path, before, "row counted");

  // 3: committed: the only other bytes are those of the commit range.
  for (std::uint64_t o = commit_at; o < commit_at + kCommitBytes; ++o) {
    bytes[after.FileAt(o)] = after.bytes[after.FileAt(o)];
  }
  EXPECT_TRUE(bytes == after.bytes);
  EXPECT_EQ(commit_at / kSectorSize, (commit_at + kCommitBytes - 1) / kSectorSize)
      << "the commit range must lie in one sector";
  EXPECT_EQ(DimensionsRowEndOffset() / kSectorSize, (DimensionsRowEndOffset() + 3) / kSectorSize)
      << "the row count must lie in one sector";
}

TEST(InterruptedAppendTest, EveryStageOfAGrowthLeavesAReadableFile) {
  Snapshot before;
  Snapshot after;
  TempDir dir;
  FindAppend(
      dir.File("source.xls"), 40, [](const Snapshot& a, const Snapshot& b) { return !SameLayout(a.layout, b.layout); },
      &before, &after);
  ASSERT_FALSE(HasFatalFailure());
  const std::string path = dir.File("stage.xls");

  // 1: new tables and sectors written after the end, the header unchanged.
  ByteVector bytes = before.bytes;
  bytes.resize(after.bytes.size(), 0);
  for (std::uint32_t s = before.layout.sector_count; s <= after.LastMetadataSector(); ++s) {
    std::copy_n(after.bytes.begin() + static_cast<std::ptrdiff_t>(SectorOffset(s)), kSectorSize,
                bytes.begin() + static_cast<std::ptrdiff_t>(SectorOffset(s)));
  }
  WriteBytes(path, bytes);
  ExpectSheet(path, before.rows);
  ExpectOpensAs(path, before, "growth written, not switched");

  // 2: the header switched; the stream still holds the old rows only.
  bytes = after.bytes;
  const ByteVector old_stream = before.Stream();
  for (std::uint64_t o = 0; o < after.layout.StreamSize(); ++o) {
    bytes[after.FileAt(o)] = o < old_stream.size() ? old_stream[o] : 0;
  }
  WriteBytes(path, bytes);
  ExpectSheet(path, before.rows);
  OpenResult opened = SheetFile::Open(path, RealTimeColumns(), NoFlush());
  ASSERT_EQ(opened.kind, OpenKind::kOpened) << opened.text;
  EXPECT_FALSE(opened.repaired);
  EXPECT_EQ(opened.file->row_count(), before.rows.rows.size());
  // Carrying on from there gives the file of an uninterrupted run.
  ASSERT_TRUE(opened.file->Append(after.rows.rows.back()).ok());
  ASSERT_TRUE(opened.file->Close().ok());
  EXPECT_TRUE(ReadBytes(path) == after.bytes);
}

}  // namespace
}  // namespace quorvel::xls::test
