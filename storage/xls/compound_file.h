// The compound file around the workbook: 512-byte sectors, a FAT, a one-sector
// directory with the single stream "Workbook".
//
// A layout is written once and never edited in place: growing the stream
// writes a complete new FAT, DIFAT and directory after the current end of the
// file, and only the header (one sector, one write) switches to it. Every
// moment of a growth thus shows either the old or the new layout to a reader.
// Metadata is laid out ahead of the stream sectors it describes, so the most
// recent rows lie behind the metadata that maps them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/xls/file_io.h"
#include "storage/xls/le_bytes.h"

namespace quorvel::xls {

inline constexpr std::uint32_t kSectorSize = 512;
inline constexpr std::uint32_t kFreeSector = 0xFFFFFFFFu;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFEu;
inline constexpr std::uint32_t kFatMark = 0xFFFFFFFDu;
inline constexpr std::uint32_t kDifatMark = 0xFFFFFFFCu;
inline constexpr std::uint32_t kFatEntriesPerSector = kSectorSize / 4;
inline constexpr std::uint32_t kHeaderDifatSlots = 109;
// Readers insist that a stream shorter than this lives in the mini stream;
// ours is never that short.
inline constexpr std::uint32_t kMinStreamBytes = 4096;

struct CompoundLayout {
  std::uint32_t sector_count = 0;  // sectors after the header
  std::vector<std::uint32_t> fat_sectors;
  std::vector<std::uint32_t> difat_sectors;
  std::uint32_t directory_sector = 0;
  std::vector<std::uint32_t> stream_sectors;  // the Workbook stream, in order

  std::uint64_t FileSize() const {
    return static_cast<std::uint64_t>(kSectorSize) * (1u + static_cast<std::uint64_t>(sector_count));
  }
  std::uint64_t StreamSize() const { return static_cast<std::uint64_t>(kSectorSize) * stream_sectors.size(); }
};

inline std::uint32_t SectorsFor(std::uint64_t bytes) {
  return static_cast<std::uint32_t>((bytes + kSectorSize - 1) / kSectorSize);
}

inline std::uint64_t SectorOffset(std::uint32_t sector) {
  return static_cast<std::uint64_t>(kSectorSize) * (1u + static_cast<std::uint64_t>(sector));
}

// Layout of a new file holding a stream of `stream_sectors` sectors.
CompoundLayout PlanNewLayout(std::uint32_t stream_sectors);

// The layout after adding `extra_sectors` to the stream: new metadata and
// then the new stream sectors, all after current.sector_count.
CompoundLayout PlanGrownLayout(const CompoundLayout& current, std::uint32_t extra_sectors);

// The header sector of a layout.
Bytes EncodeHeader(const CompoundLayout& layout);

// One sector's worth of bytes destined for a sector number.
struct SectorImage {
  std::uint32_t sector;
  Bytes bytes;
};

// FAT, DIFAT and directory sectors of a layout (not the header).
std::vector<SectorImage> EncodeMetadata(const CompoundLayout& layout);

// What a file turned out to be when read as our compound file.
struct CompoundRead {
  enum class Kind {
    kOk,
    kForeign,  // not a compound file, or one of a shape this writer never makes
    kDamaged,  // our shape, but its tables contradict themselves
    kIoError,
  };
  Kind kind = Kind::kOk;
  std::string detail;  // why it is not kOk
  CompoundLayout layout;
};

// Reads the header, FAT and directory. Stream sectors beyond the end of a
// shortened file are accepted (they read as zeros); metadata sectors are not.
CompoundRead ReadLayout(const File& file);

}  // namespace quorvel::xls
