#include "app/window/yuy2_image.h"

#include <algorithm>

namespace {
inline int Clamp8(int v) { return std::clamp(v, 0, 255); }

// BT.601 studio range to full-range RGB in 8.8 fixed point.
inline QRgb ToRgb(int y, int u, int v) {
  int c = (y - 16) * 298;
  int d = u - 128;
  int e = v - 128;
  return qRgb(Clamp8((c + 409 * e + 128) >> 8), Clamp8((c - 100 * d - 208 * e + 128) >> 8),
              Clamp8((c + 516 * d + 128) >> 8));
}
}  // namespace

QImage Yuy2ToImage(const unsigned char* yuy2, int width, int height) {
  // Widths are even in YUY2; an odd width cannot be a whole row of pairs.
  if (!yuy2 || width <= 0 || height <= 0 || (width & 1) || width > 16384 || height > 16384) return {};
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return {};
  for (int row = 0; row < height; ++row) {
    const unsigned char* src = yuy2 + static_cast<size_t>(row) * width * 2;
    auto* dst = reinterpret_cast<QRgb*>(image.scanLine(row));
    for (int x = 0; x < width; x += 2, src += 4) {
      dst[x] = ToRgb(src[0], src[1], src[3]);
      dst[x + 1] = ToRgb(src[2], src[1], src[3]);
    }
  }
  return image;
}
