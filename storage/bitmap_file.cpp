#include "storage/bitmap_file.h"

#include <filesystem>
#include <limits>

#include "storage/xls/file_io.h"
#include "storage/xls/le_bytes.h"
#include "storage/xls/status.h"

namespace quorvel {
namespace {

using xls::Bytes;

constexpr std::uint32_t kHeadersSize = 14 + 40;

constexpr std::uint32_t Red(std::uint32_t rgb) { return (rgb >> 16) & 0xFFu; }
constexpr std::uint32_t Green(std::uint32_t rgb) { return (rgb >> 8) & 0xFFu; }
constexpr std::uint32_t Blue(std::uint32_t rgb) { return rgb & 0xFFu; }

bool SupportedBits(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32; }

// The level 0..levels-1 nearest to an 8-bit channel value.
std::uint32_t NearestLevel(std::uint32_t value, std::uint32_t levels) { return (value * (levels - 1) + 127) / 255; }

std::uint32_t LevelValue(std::uint32_t level, std::uint32_t levels) {
  return (level * 255 + (levels - 1) / 2) / (levels - 1);
}

// The entry of `palette` nearest to `rgb` (squared distance).
std::uint8_t NearestEntry(const std::vector<std::uint32_t>& palette, std::uint32_t rgb) {
  std::uint8_t best = 0;
  long best_distance = std::numeric_limits<long>::max();
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const long dr = static_cast<long>(Red(palette[i])) - static_cast<long>(Red(rgb));
    const long dg = static_cast<long>(Green(palette[i])) - static_cast<long>(Green(rgb));
    const long db = static_cast<long>(Blue(palette[i])) - static_cast<long>(Blue(rgb));
    const long distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best_distance = distance;
      best = static_cast<std::uint8_t>(i);
    }
  }
  return best;
}

// Index into the 3-3-2 cube: the cube is a product of the channel levels, so
// the nearest level of each channel gives the nearest entry.
std::uint8_t CubeEntry(std::uint32_t rgb) {
  return static_cast<std::uint8_t>(NearestLevel(Red(rgb), 8) << 5 | NearestLevel(Green(rgb), 8) << 2 |
                                   NearestLevel(Blue(rgb), 4));
}

void PutRow(Bytes& out, const std::uint32_t* pixels, int width, int bits, const std::vector<std::uint32_t>& palette,
            std::size_t row_size) {
  const std::size_t start = out.size();
  if (bits >= 24) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t rgb = pixels[x];
      out.push_back(static_cast<std::uint8_t>(Blue(rgb)));
      out.push_back(static_cast<std::uint8_t>(Green(rgb)));
      out.push_back(static_cast<std::uint8_t>(Red(rgb)));
      if (bits == 32) out.push_back(0);
    }
  } else {
    // Indices packed from the highest bits of each byte down.
    const int per_byte = 8 / bits;
    for (int x = 0; x < width; x += per_byte) {
      unsigned byte = 0;
      for (int k = 0; k < per_byte; ++k) {
        if (x + k >= width) break;
        const std::uint8_t index = bits == 8 ? CubeEntry(pixels[x + k]) : NearestEntry(palette, pixels[x + k]);
        byte |= static_cast<unsigned>(index) << (8 - bits * (k + 1));
      }
      out.push_back(static_cast<std::uint8_t>(byte));
    }
  }
  out.resize(start + row_size, 0);
}

bool Exists(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  // A name that cannot be looked at is tried: creating it tells why not.
  return !error && status.type() != std::filesystem::file_type::not_found;
}

std::string FolderText(const std::string& folder_prefix) {
  return folder_prefix.empty() ? "the working folder" : folder_prefix;
}

BitmapSaveResult Failure(std::string message) {
  BitmapSaveResult result;
  result.message = "BMP Save Error: " + std::move(message);
  return result;
}

BitmapSaveResult AllTaken(const std::string& folder_prefix, int slot, int selection) {
  const std::string first = ChartBitmapName("", slot, selection, 1);
  const std::string last = ChartBitmapName("", slot, selection, kMaxBitmapNumber);
  return Failure(first + " to " + last + " all exist in " + FolderText(folder_prefix) +
                 "; move or delete some of them");
}

}  // namespace

int BitmapBits(int colour_depth) {
  for (const int bits : {1, 4, 8, 24}) {
    if (colour_depth <= bits) return bits;
  }
  return 32;
}

std::vector<std::uint32_t> BitmapPalette(int bits) {
  switch (bits) {
    case 1:
      return {0x000000, 0xFFFFFF};
    case 4:
      return {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
              0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    case 8: {
      std::vector<std::uint32_t> cube;
      for (std::uint32_t i = 0; i < 256; ++i) {
        cube.push_back(LevelValue(i >> 5, 8) << 16 | LevelValue((i >> 2) & 7u, 8) << 8 | LevelValue(i & 3u, 4));
      }
      return cube;
    }
    default:
      return {};
  }
}

std::vector<std::uint8_t> EncodeBitmap(const RgbImage& image, int bits) {
  if (!SupportedBits(bits) || image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height)) {
    return {};
  }
  const std::vector<std::uint32_t> palette = BitmapPalette(bits);
  const std::uint64_t palette_size = palette.size() * 4;
  const auto width = static_cast<std::uint64_t>(image.width);
  const std::uint64_t row_size = (static_cast<std::uint64_t>(bits) * width + 31) / 32 * 4;
  const std::uint64_t file_size = kHeadersSize + palette_size + row_size * static_cast<std::uint64_t>(image.height);
  if (file_size > std::numeric_limits<std::uint32_t>::max()) return {};

  Bytes out;
  out.reserve(static_cast<std::size_t>(file_size));
  xls::PutU8(out, 'B');
  xls::PutU8(out, 'M');
  xls::PutU32(out, static_cast<std::uint32_t>(file_size));
  xls::PutU32(out, 0);  // two reserved words
  xls::PutU32(out, static_cast<std::uint32_t>(kHeadersSize + palette_size));
  xls::PutU32(out, 40);
  xls::PutU32(out, static_cast<std::uint32_t>(image.width));
  xls::PutU32(out, static_cast<std::uint32_t>(image.height));
  xls::PutU16(out, 1);  // planes
  xls::PutU16(out, static_cast<std::uint16_t>(bits));
  xls::PutZeros(out, 6 * 4);  // no compression; image size, resolutions and colour counts 0
  for (const std::uint32_t rgb : palette) {
    xls::PutU32(out, rgb & 0xFFFFFFu);  // blue, green, red, 0 in that byte order
  }
  for (int y = image.height - 1; y >= 0; --y) {
    const std::uint32_t* row = image.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    PutRow(out, row, image.width, bits, palette, static_cast<std::size_t>(row_size));
  }
  return out;
}

std::string ChartBitmapName(const std::string& folder_prefix, int slot, int selection, int number) {
  if (selection < 0 || selection >= static_cast<int>(kChartBitmapKinds.size())) return {};
  return folder_prefix + std::to_string(slot) + kChartBitmapKinds[static_cast<std::size_t>(selection)] +
         std::to_string(number) + ".bmp";
}

BitmapSaveResult SaveChartBitmap(const std::string& folder_prefix, int slot, int selection, const RgbImage& image,
                                 int bits) {
  if (ChartBitmapName(folder_prefix, slot, selection, 1).empty()) return Failure("no chart is chosen");
  const Bytes bytes = EncodeBitmap(image, bits);
  if (bytes.empty()) return Failure("the chart has no picture to save");

  int number = 1;
  while (number <= kMaxBitmapNumber && Exists(ChartBitmapName(folder_prefix, slot, selection, number))) ++number;
  if (number > kMaxBitmapNumber) return AllTaken(folder_prefix, slot, selection);
  const std::string first_free = ChartBitmapName(folder_prefix, slot, selection, number);

  // One slot's chart is saved by one program at a time (a device is open in
  // one program only), so a fixed temporary name serves. A leftover of an
  // interrupted save is unlinked, never reused.
  const std::string temp = ChartBitmapName(folder_prefix, slot, selection, 0) + ".partial";
  (void)xls::RemoveFile(temp);
  xls::File file;
  if (const xls::IoResult io = xls::File::CreateNew(temp, &file); !io.ok()) {
    return Failure(xls::CannotText("create", first_free, io.text));
  }
  const auto abandon = [&](const char* verb, const std::string& path, const xls::IoResult& io) {
    (void)file.Close();
    (void)xls::RemoveFile(temp);
    return Failure(xls::CannotText(verb, path, io.text));
  };
  if (const xls::IoResult io = file.WriteAt(0, bytes); !io.ok()) return abandon("write", first_free, io);
  if (const xls::IoResult io = file.SyncData(); !io.ok()) return abandon("write", first_free, io);
  if (const xls::IoResult io = file.Close(); !io.ok()) return abandon("write", first_free, io);

  // Taken exclusively: a name that appeared since the look above is passed over.
  for (; number <= kMaxBitmapNumber; ++number) {
    const std::string path = ChartBitmapName(folder_prefix, slot, selection, number);
    const xls::IoResult io = xls::PublishNew(temp, path);
    if (io.ok()) {
      BitmapSaveResult result;
      result.ok = true;
      result.path = path;
      result.message = kBitmapSavedText;
      return result;
    }
    if (io.kind != xls::IoResult::Kind::kExists) return abandon("create", path, io);
  }
  (void)xls::RemoveFile(temp);
  return AllTaken(folder_prefix, slot, selection);
}

}  // namespace quorvel
