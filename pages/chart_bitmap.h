// A chart on screen saved as a numbered bitmap file. The picture is drawn
// off-screen at the chart's size, so that a window lying over the chart is
// not saved with it; a chart that is not shown is not saved at all.
#pragma once

#include <string>

#include "storage/bitmap_file.h"

class QImage;

namespace quorvel {

class ChartWidget;

// The pixels of an image, as the bitmap writer takes them.
RgbImage RgbPixels(const QImage& image);

// Saves `chart` (shown on screen) as chart `selection` (0..3) of `slot` in
// `folder_prefix`, at the bits per pixel its screen has.
BitmapSaveResult SaveChartPicture(ChartWidget& chart, const std::string& folder_prefix, int slot, int selection);

}  // namespace quorvel
