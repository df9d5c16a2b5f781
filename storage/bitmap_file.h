// Chart pictures saved as uncompressed Windows bitmap files (.bmp):
//   <BMP folder><slot>ChartCurrent<i>.bmp   (ChartVoltage, ChartPower, ChartFactor)
// with i the first free number of 1..499. The file is written under a
// temporary name in the same folder and linked into place only when it is
// complete, under a name that did not exist: a save never leaves half a file
// and never overwrites another picture.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// A picture to save: width × height pixels, the top row first, each pixel
// 0xRRGGBB (the highest byte is ignored), as Qt's RGB32 images hold them.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

// Bits per pixel of the file for a display of `colour_depth` bits: the next
// of 1, 4, 8, 24 and 32 (32 for anything deeper).
int BitmapBits(int colour_depth);

// The colour table of a file with `bits` of 1, 4 or 8 (2^bits entries,
// 0xRRGGBB): black and white; the 16 colours of the classic VGA palette;
// a 3-3-2 colour cube (8 levels of red and green, 4 of blue). Empty for 24
// and 32 bits, which hold the colours themselves.
std::vector<std::uint32_t> BitmapPalette(int bits);

// The whole file for `bits` of 1, 4, 8, 24 or 32: the 14-byte file header,
// the 40-byte info header (positive height: rows stored bottom-up), the
// colour table (blue, green, red, 0 per entry) when bits <= 8, and the rows,
// each padded to a multiple of 4 bytes. With a colour table every pixel
// takes the nearest colour of the table. Empty when the image is empty or
// inconsistent, or `bits` is none of those.
std::vector<std::uint8_t> EncodeBitmap(const RgbImage& image, int bits);

// The four charts of the chart view, by their selection number 0..3.
inline constexpr std::array<const char*, 4> kChartBitmapKinds = {"ChartCurrent", "ChartVoltage", "ChartPower",
                                                                 "ChartFactor"};
inline constexpr int kMaxBitmapNumber = 499;
inline constexpr const char* kBitmapSavedText = "BMP Save Success";

// "<folder_prefix><slot>ChartPower<number>.bmp"; empty for a selection
// outside 0..3.
std::string ChartBitmapName(const std::string& folder_prefix, int slot, int selection, int number);

struct BitmapSaveResult {
  bool ok = false;
  std::string path;     // the file written
  std::string message;  // kBitmapSavedText, or what stopped the save and why
};

// Saves the picture of chart `selection` (0..3) of `slot` under the first
// free number. `folder_prefix` is the settings' BMP folder (ending in a
// separator, or empty for the working folder).
BitmapSaveResult SaveChartBitmap(const std::string& folder_prefix, int slot, int selection, const RgbImage& image,
                                 int bits);

}  // namespace quorvel
