#include "transfer/bmp_writer.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/lumimg/lumimg.h"

PlaneImage::PlaneImage(int w, int h)
    : width(w), height(h), y(std::size_t(w) * h), u(std::size_t(w) * h), v(std::size_t(w) * h) {}

namespace {
void FlipRows(std::vector<std::uint8_t>& plane, int w, int h) {
  for (int j = 0; j < h / 2; ++j)
    std::swap_ranges(plane.begin() + std::ptrdiff_t(j) * w, plane.begin() + std::ptrdiff_t(j + 1) * w,
                     plane.begin() + std::ptrdiff_t(h - 1 - j) * w);
}

void PutLe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
}  // namespace

std::vector<std::uint8_t> PackedRgbPixels(const PlaneImage& image) {
  const int w = image.width, h = image.height;
  std::vector<std::uint8_t> rgb(std::size_t(3) * w * h);
  if (w <= 0 || h <= 0) return rgb;
  LumPlanesToPacked24(image.y.data(), w, image.u.data(), w, image.v.data(), w, rgb.data(), 3 * w, h);
  return rgb;
}

int WriteBmpFile(const std::string& path, const PlaneImage& image) {
  const int w = image.width, h = image.height;
  if (w <= 0 || h <= 0) return -1;
  PlaneImage flipped = image;
  FlipRows(flipped.y, w, h);
  FlipRows(flipped.u, w, h);
  FlipRows(flipped.v, w, h);
  std::vector<std::uint8_t> pixels = PackedRgbPixels(flipped);
  LumReorderPixelBytes(pixels.data(), 3 * w, h, 2, 1, 0);

  const std::uint32_t rowBytes = ((24u * w + 31u) & ~31u) / 8u;
  const std::uint32_t imageSize = rowBytes * h;
  std::uint8_t header[54] = {'B', 'M'};
  PutLe32(header + 2, 54 + imageSize);
  PutLe32(header + 10, 54);
  PutLe32(header + 14, 40);
  PutLe32(header + 18, static_cast<std::uint32_t>(w));
  PutLe32(header + 22, static_cast<std::uint32_t>(h));
  PutLe16(header + 26, 1);
  PutLe16(header + 28, 24);

  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
  if (!f) return -1;
  bool ok = std::fwrite(header, 1, sizeof(header), f.get()) == sizeof(header);
  // Rows are padded to 4 bytes; the thumbnail widths (160, 32) need none.
  std::vector<std::uint8_t> row(rowBytes, 0);
  for (int j = 0; ok && j < h; ++j) {
    std::copy_n(pixels.data() + std::size_t(j) * 3 * w, 3 * w, row.data());
    ok = std::fwrite(row.data(), 1, rowBytes, f.get()) == rowBytes;
  }
  if (std::fclose(f.release()) != 0) ok = false;
  return ok ? 0 : -1;
}
