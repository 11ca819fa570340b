// The two-step plane filter: an edge-keeping denoise, then an unsharp mask.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/lumimg/lumimg.h"

namespace {
// 3 x 3 blur with weights 1 2 1 / 2 4 2 / 1 2 1 of the sample at (x, y) of
// a copy of the plane; borders repeat the edge sample.
int Blur3x3(const std::vector<std::uint8_t>& p, int width, int height, int x, int y) {
  auto at = [&](int xx, int yy) {
    xx = std::clamp(xx, 0, width - 1);
    yy = std::clamp(yy, 0, height - 1);
    return static_cast<int>(p[static_cast<size_t>(yy) * width + xx]);
  };
  int sum = at(x - 1, y - 1) + 2 * at(x, y - 1) + at(x + 1, y - 1) + 2 * at(x - 1, y) +
            4 * at(x, y) + 2 * at(x + 1, y) + at(x - 1, y + 1) + 2 * at(x, y + 1) + at(x + 1, y + 1);
  return (sum + 8) / 16;
}

std::vector<std::uint8_t> CopyPlane(const std::uint8_t* plane, int width, int rowLength, int height) {
  std::vector<std::uint8_t> copy(static_cast<size_t>(width) * height);
  for (int row = 0; row < height; ++row)
    std::copy_n(plane + static_cast<std::ptrdiff_t>(row) * rowLength, width,
                copy.begin() + static_cast<std::ptrdiff_t>(row) * width);
  return copy;
}
}  // namespace

void LumFilterPlaneDenoise(int strength, std::uint8_t* plane, int width, int rowLength, int height,
                           int threshold) {
  if (strength <= 0 || width <= 0 || height <= 0) return;
  strength = std::min(strength, 128);
  const std::vector<std::uint8_t> src = CopyPlane(plane, width, rowLength, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = plane + static_cast<std::ptrdiff_t>(y) * rowLength;
    for (int x = 0; x < width; ++x) {
      const int orig = src[static_cast<size_t>(y) * width + x];
      const int blurred = Blur3x3(src, width, height, x, y);
      if (threshold > 0 && std::abs(blurred - orig) > threshold) continue;  // an edge: keep it
      row[x] = static_cast<std::uint8_t>(orig + ((blurred - orig) * strength) / 128);
    }
  }
}

void LumFilterPlaneSharpen(int switchValue, std::uint8_t* plane, int width, int rowLength, int height,
                           int /*reserved*/) {
  if (switchValue <= 0 || width <= 0 || height <= 0) return;
  const int amount = std::min(switchValue, 16);
  const std::vector<std::uint8_t> src = CopyPlane(plane, width, rowLength, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = plane + static_cast<std::ptrdiff_t>(y) * rowLength;
    for (int x = 0; x < width; ++x) {
      const int orig = src[static_cast<size_t>(y) * width + x];
      const int detail = orig - Blur3x3(src, width, height, x, y);
      row[x] = static_cast<std::uint8_t>(std::clamp(orig + (detail * amount) / 8, 0, 255));
    }
  }
}
