#include "pages/chart_bitmap.h"

#include <QImage>
#include <QScreen>

#include <cstring>

#include "widgets/chart_widget.h"

namespace quorvel {

RgbImage RgbPixels(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  RgbImage out{rgb.width(), rgb.height(), {}};
  out.pixels.resize(static_cast<std::size_t>(rgb.width()) * static_cast<std::size_t>(rgb.height()));
  for (int y = 0; y < rgb.height(); ++y) {
    std::memcpy(out.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(rgb.width()),
                rgb.constScanLine(y), static_cast<std::size_t>(rgb.width()) * sizeof(std::uint32_t));
  }
  return out;
}

BitmapSaveResult SaveChartPicture(ChartWidget& chart, const std::string& folder_prefix, int slot, int selection) {
  if (!chart.isVisible()) {
    BitmapSaveResult result;
    result.message = "BMP Save Error: no chart is shown; choose Chart Mode first";
    return result;
  }
  const QImage picture = chart.Picture();
  const int depth = chart.screen() != nullptr ? chart.screen()->depth() : picture.depth();
  return SaveChartBitmap(folder_prefix, slot, selection, RgbPixels(picture), BitmapBits(depth));
}

}  // namespace quorvel
