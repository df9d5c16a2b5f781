#include "storage/xls/compound_file.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace quorvel::xls {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::uint32_t kNoEntry = 0xFFFFFFFFu;
constexpr std::uint32_t kDifatIdsPerSector = kFatEntriesPerSector - 1;
constexpr std::size_t kDirEntrySize = 128;
// Far beyond any file this writer makes; guards against absurd header values.
constexpr std::uint32_t kMaxFatSectors = 1u << 16;

std::uint32_t CeilDiv(std::uint64_t a, std::uint64_t b) { return static_cast<std::uint32_t>((a + b - 1) / b); }

// FAT and DIFAT sector counts for a file of `other` sectors plus the FAT and
// DIFAT themselves (the tables must also map their own sectors).
void SizeTables(std::uint64_t other, std::uint32_t* fat, std::uint32_t* difat) {
  std::uint32_t f = 1;
  std::uint32_t d = 0;
  for (;;) {
    const std::uint32_t nf = CeilDiv(other + f + d, kFatEntriesPerSector);
    const std::uint32_t nd = nf > kHeaderDifatSlots ? CeilDiv(nf - kHeaderDifatSlots, kDifatIdsPerSector) : 0;
    if (nf <= f && nd <= d) {
      break;
    }
    f = std::max(f, nf);
    d = std::max(d, nd);
  }
  *fat = f;
  *difat = d;
}

// Places FAT, DIFAT, directory and then `stream_sectors` new stream sectors
// from sector `first` on.
void PlaceFrom(std::uint32_t first, std::uint32_t stream_sectors, CompoundLayout* layout) {
  std::uint32_t fat = 0;
  std::uint32_t difat = 0;
  SizeTables(static_cast<std::uint64_t>(first) + 1 + stream_sectors, &fat, &difat);
  std::uint32_t next = first;
  layout->fat_sectors.clear();
  layout->difat_sectors.clear();
  for (std::uint32_t i = 0; i < fat; ++i) {
    layout->fat_sectors.push_back(next++);
  }
  for (std::uint32_t i = 0; i < difat; ++i) {
    layout->difat_sectors.push_back(next++);
  }
  layout->directory_sector = next++;
  for (std::uint32_t i = 0; i < stream_sectors; ++i) {
    layout->stream_sectors.push_back(next++);
  }
  layout->sector_count = next;
}

std::vector<std::uint32_t> BuildFat(const CompoundLayout& layout) {
  std::vector<std::uint32_t> fat(layout.fat_sectors.size() * kFatEntriesPerSector, kFreeSector);
  for (const std::uint32_t s : layout.fat_sectors) {
    fat[s] = kFatMark;
  }
  for (const std::uint32_t s : layout.difat_sectors) {
    fat[s] = kDifatMark;
  }
  fat[layout.directory_sector] = kEndOfChain;
  for (std::size_t i = 0; i < layout.stream_sectors.size(); ++i) {
    fat[layout.stream_sectors[i]] = i + 1 < layout.stream_sectors.size() ? layout.stream_sectors[i + 1] : kEndOfChain;
  }
  return fat;
}

void PutName(Bytes& out, std::string_view name) {
  for (const char c : name) {
    PutU16(out, static_cast<std::uint16_t>(static_cast<unsigned char>(c)));
  }
  PutZeros(out, 64 - 2 * name.size());
}

void PutDirEntry(Bytes& out, std::string_view name, std::uint8_t type, std::uint32_t child, std::uint32_t start,
                 std::uint32_t size) {
  PutName(out, name);
  PutU16(out, name.empty() ? 0 : static_cast<std::uint16_t>(2 * (name.size() + 1)));
  PutU8(out, type);
  PutU8(out, name.empty() ? 0 : 1);  // black: a one-node tree is trivially balanced
  PutU32(out, kNoEntry);             // left sibling
  PutU32(out, kNoEntry);             // right sibling
  PutU32(out, child);
  PutZeros(out, 16 + 4 + 8 + 8);  // class id, state bits, two time stamps
  PutU32(out, start);
  PutU64(out, size);
}

constexpr std::string_view kRootName = "Root Entry";
constexpr std::string_view kStreamName = "Workbook";

bool NameIs(const std::uint8_t* entry, std::string_view name) {
  if (GetU16(entry + 64) != 2 * (name.size() + 1)) {
    return false;
  }
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (GetU16(entry + 2 * i) != static_cast<unsigned char>(name[i])) {
      return false;
    }
  }
  return GetU16(entry + 2 * name.size()) == 0;
}

CompoundRead Fail(CompoundRead::Kind kind, std::string detail) {
  CompoundRead r;
  r.kind = kind;
  r.detail = std::move(detail);
  return r;
}

// Reads one whole sector; sectors past the end of the file are an error here.
bool ReadSector(const File& file, std::uint32_t sector, std::uint8_t* out, CompoundRead* failure) {
  std::size_t got = 0;
  const IoResult io = file.ReadAt(SectorOffset(sector), std::span<std::uint8_t>(out, kSectorSize), &got);
  if (!io.ok()) {
    *failure = Fail(CompoundRead::Kind::kIoError, io.text);
    return false;
  }
  if (got != kSectorSize) {
    *failure = Fail(CompoundRead::Kind::kDamaged, "its tables lie past the end of the file");
    return false;
  }
  return true;
}

}  // namespace

CompoundLayout PlanNewLayout(std::uint32_t stream_sectors) {
  CompoundLayout layout;
  PlaceFrom(0, stream_sectors, &layout);
  return layout;
}

CompoundLayout PlanGrownLayout(const CompoundLayout& current, std::uint32_t extra_sectors) {
  CompoundLayout layout;
  layout.stream_sectors = current.stream_sectors;
  PlaceFrom(current.sector_count, extra_sectors, &layout);
  return layout;
}

Bytes EncodeHeader(const CompoundLayout& layout) {
  Bytes out;
  out.reserve(kSectorSize);
  out.insert(out.end(), kSignature.begin(), kSignature.end());
  PutZeros(out, 16);    // class id
  PutU16(out, 0x003E);  // minor version
  PutU16(out, 0x0003);  // major version: 512-byte sectors
  PutU16(out, 0xFFFE);  // byte order mark
  PutU16(out, 9);       // sector size 2^9
  PutU16(out, 6);       // mini sector size 2^6
  PutZeros(out, 6);
  PutU32(out, 0);  // directory sector count: must be 0 in version 3
  PutU32(out, static_cast<std::uint32_t>(layout.fat_sectors.size()));
  PutU32(out, layout.directory_sector);
  PutU32(out, 0);  // transaction signature
  PutU32(out, kMinStreamBytes);
  PutU32(out, kEndOfChain);  // no mini FAT
  PutU32(out, 0);
  PutU32(out, layout.difat_sectors.empty() ? kEndOfChain : layout.difat_sectors.front());
  PutU32(out, static_cast<std::uint32_t>(layout.difat_sectors.size()));
  for (std::uint32_t i = 0; i < kHeaderDifatSlots; ++i) {
    PutU32(out, i < layout.fat_sectors.size() ? layout.fat_sectors[i] : kFreeSector);
  }
  return out;
}

std::vector<SectorImage> EncodeMetadata(const CompoundLayout& layout) {
  std::vector<SectorImage> images;
  const std::vector<std::uint32_t> fat = BuildFat(layout);
  for (std::size_t i = 0; i < layout.fat_sectors.size(); ++i) {
    Bytes bytes;
    bytes.reserve(kSectorSize);
    for (std::size_t j = 0; j < kFatEntriesPerSector; ++j) {
      PutU32(bytes, fat[i * kFatEntriesPerSector + j]);
    }
    images.push_back({layout.fat_sectors[i], std::move(bytes)});
  }
  for (std::size_t i = 0; i < layout.difat_sectors.size(); ++i) {
    Bytes bytes;
    bytes.reserve(kSectorSize);
    for (std::size_t j = 0; j < kDifatIdsPerSector; ++j) {
      const std::size_t k = kHeaderDifatSlots + i * kDifatIdsPerSector + j;
      PutU32(bytes, k < layout.fat_sectors.size() ? layout.fat_sectors[k] : kFreeSector);
    }
    PutU32(bytes, i + 1 < layout.difat_sectors.size() ? layout.difat_sectors[i + 1] : kEndOfChain);
    images.push_back({layout.difat_sectors[i], std::move(bytes)});
  }
  Bytes dir;
  dir.reserve(kSectorSize);
  PutDirEntry(dir, kRootName, 5, 1, kEndOfChain, 0);
  PutDirEntry(dir, kStreamName, 2, kNoEntry, layout.stream_sectors.front(),
              static_cast<std::uint32_t>(layout.StreamSize()));
  PutDirEntry(dir, "", 0, kNoEntry, 0, 0);
  PutDirEntry(dir, "", 0, kNoEntry, 0, 0);
  images.push_back({layout.directory_sector, std::move(dir)});
  return images;
}

CompoundRead ReadLayout(const File& file) {
  using Kind = CompoundRead::Kind;
  std::uint64_t file_size = 0;
  if (const IoResult io = file.Size(&file_size); !io.ok()) {
    return Fail(Kind::kIoError, io.text);
  }
  std::array<std::uint8_t, kSectorSize> header{};
  std::size_t got = 0;
  if (const IoResult io = file.ReadAt(0, header, &got); !io.ok()) {
    return Fail(Kind::kIoError, io.text);
  }
  if (got < kSectorSize || !std::equal(kSignature.begin(), kSignature.end(), header.begin())) {
    return Fail(Kind::kForeign, "is not an Excel 97-2003 workbook");
  }
  const std::uint8_t* h = header.data();
  const bool our_shape = GetU16(h + 24) == 0x003E && GetU16(h + 26) == 3 && GetU16(h + 28) == 0xFFFE &&
                         GetU16(h + 30) == 9 && GetU16(h + 32) == 6 && GetU32(h + 40) == 0 &&
                         GetU32(h + 56) == kMinStreamBytes && GetU32(h + 60) == kEndOfChain && GetU32(h + 64) == 0;
  if (!our_shape) {
    return Fail(Kind::kForeign, "is a compound file of another kind");
  }
  const std::uint32_t fat_count = GetU32(h + 44);
  const std::uint32_t dir_sector = GetU32(h + 48);
  const std::uint32_t difat_first = GetU32(h + 68);
  const std::uint32_t difat_count = GetU32(h + 72);
  const std::uint32_t expected_difat =
      fat_count > kHeaderDifatSlots ? CeilDiv(fat_count - kHeaderDifatSlots, kDifatIdsPerSector) : 0;
  if (fat_count == 0 || fat_count > kMaxFatSectors || difat_count != expected_difat) {
    return Fail(Kind::kDamaged, "its sector table counts are inconsistent");
  }
  const std::uint32_t present = file_size <= kSectorSize ? 0 : CeilDiv(file_size - kSectorSize, kSectorSize);

  CompoundRead result;
  CompoundLayout& layout = result.layout;
  for (std::uint32_t i = 0; i < kHeaderDifatSlots; ++i) {
    const std::uint32_t id = GetU32(h + 76 + 4 * i);
    if (i < fat_count) {
      layout.fat_sectors.push_back(id);
    } else if (id != kFreeSector) {
      return Fail(Kind::kDamaged, "its sector table list is inconsistent");
    }
  }
  std::array<std::uint8_t, kSectorSize> sector{};
  std::uint32_t next_difat = difat_first;
  for (std::uint32_t i = 0; i < difat_count; ++i) {
    if (next_difat >= present) {
      return Fail(Kind::kDamaged, "its sector table list lies past the end of the file");
    }
    layout.difat_sectors.push_back(next_difat);
    if (!ReadSector(file, next_difat, sector.data(), &result)) {
      return result;
    }
    for (std::uint32_t j = 0; j < kDifatIdsPerSector; ++j) {
      const std::uint32_t id = GetU32(sector.data() + 4 * j);
      if (layout.fat_sectors.size() < fat_count) {
        layout.fat_sectors.push_back(id);
      } else if (id != kFreeSector) {
        return Fail(Kind::kDamaged, "its sector table list is inconsistent");
      }
    }
    next_difat = GetU32(sector.data() + 4 * kDifatIdsPerSector);
  }
  if (difat_count == 0 ? difat_first != kEndOfChain : next_difat != kEndOfChain) {
    return Fail(Kind::kDamaged, "its sector table list is inconsistent");
  }

  std::vector<std::uint32_t> fat;
  fat.reserve(static_cast<std::size_t>(fat_count) * kFatEntriesPerSector);
  for (const std::uint32_t s : layout.fat_sectors) {
    if (s >= present) {
      return Fail(Kind::kDamaged, "its sector table lies past the end of the file");
    }
    if (!ReadSector(file, s, sector.data(), &result)) {
      return result;
    }
    for (std::uint32_t j = 0; j < kFatEntriesPerSector; ++j) {
      fat.push_back(GetU32(sector.data() + 4 * j));
    }
  }
  const auto mapped = [&fat](std::uint32_t s) { return s < fat.size(); };
  std::vector<bool> used(fat.size(), false);
  const auto claim = [&used, &mapped](std::uint32_t s) {
    if (!mapped(s) || used[s]) {
      return false;
    }
    used[s] = true;
    return true;
  };
  for (const std::uint32_t s : layout.fat_sectors) {
    if (!claim(s) || fat[s] != kFatMark) {
      return Fail(Kind::kDamaged, "its sector table is inconsistent");
    }
  }
  for (const std::uint32_t s : layout.difat_sectors) {
    if (!claim(s) || fat[s] != kDifatMark) {
      return Fail(Kind::kDamaged, "its sector table is inconsistent");
    }
  }
  if (!mapped(dir_sector) || dir_sector >= present || used[dir_sector]) {
    return Fail(Kind::kDamaged, "its directory is missing");
  }
  if (fat[dir_sector] != kEndOfChain) {
    return Fail(Kind::kForeign, "is a compound file of another kind");
  }
  used[dir_sector] = true;
  layout.directory_sector = dir_sector;
  if (!ReadSector(file, dir_sector, sector.data(), &result)) {
    return result;
  }
  const std::uint8_t* root = sector.data();
  const std::uint8_t* stream = root + kDirEntrySize;
  const bool our_directory = NameIs(root, kRootName) && root[66] == 5 && GetU32(root + 76) == 1 &&
                             GetU32(root + 116) == kEndOfChain && GetU64(root + 120) == 0 &&
                             NameIs(stream, kStreamName) && stream[66] == 2 && GetU32(stream + 68) == kNoEntry &&
                             GetU32(stream + 72) == kNoEntry && GetU32(stream + 76) == kNoEntry &&
                             root[2 * kDirEntrySize + 66] == 0 && root[3 * kDirEntrySize + 66] == 0;
  const std::uint64_t stream_size = GetU64(stream + 120);
  if (!our_directory || stream_size % kSectorSize != 0 || stream_size < kMinStreamBytes ||
      stream_size > static_cast<std::uint64_t>(fat.size()) * kSectorSize) {
    return Fail(Kind::kForeign, "was not written by this program");
  }
  const std::uint64_t chain_length = stream_size / kSectorSize;
  std::uint32_t s = GetU32(stream + 116);
  while (s != kEndOfChain) {
    if (layout.stream_sectors.size() >= chain_length || !claim(s)) {
      return Fail(Kind::kDamaged, "its workbook stream chain is broken");
    }
    layout.stream_sectors.push_back(s);
    s = fat[s];
  }
  if (layout.stream_sectors.size() != chain_length) {
    return Fail(Kind::kDamaged, "its workbook stream chain is broken");
  }
  std::uint32_t last_used = 0;
  for (std::uint32_t i = 0; i < used.size(); ++i) {
    if (used[i]) {
      last_used = i;
    }
  }
  layout.sector_count = last_used + 1;
  return result;
}

}  // namespace quorvel::xls
