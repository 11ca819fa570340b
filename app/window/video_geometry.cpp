#include "app/window/video_geometry.h"

#include <algorithm>
#include <cmath>

double AutoStretchFactor(int outputWidth, int sourceWidth, int sourceHeight, const CropFractions& crop) {
  double w = outputWidth;
  double cropHeight = (crop.bottom - crop.top) * sourceHeight;
  if (outputWidth <= 0 || cropHeight <= 0) return 1.0;
  double a = (crop.right - crop.left) * sourceWidth / cropHeight;
  if (a <= 0) return 1.0;
  double h43 = std::ceil(w * 0.75 / 16) * 16;
  double hA = std::ceil(w / a / 16) * 16;
  // Nearest integer with ties to even, in hundredths.
  if (hA <= h43) return std::nearbyint(w * 0.75 * 100 / (w / a) + 0.5) * 0.01;
  return 100.0 / std::nearbyint((w / a) * 100 / (w * 0.75) + 0.5);
}

int VideoHeightForAspect(int innerWidth, double aspect, double stretchFactor) {
  if (aspect <= 0 || stretchFactor <= 0) return 0;
  return static_cast<int>(std::lround(innerWidth / (aspect / stretchFactor)));
}

VideoPlacement PlaceVideo(int innerWidth, int innerHeight, int sourceWidth, int sourceHeight,
                          double stretchFactor, const CropFractions& crop) {
  VideoPlacement p;
  p.width = innerWidth;
  if (sourceWidth <= 0 || sourceHeight <= 0) return p;
  p.height = VideoHeightForAspect(innerWidth, static_cast<double>(sourceWidth) / sourceHeight, stretchFactor);
  p.top = (innerHeight - p.height) / 2;
  long f = std::lround(p.top + p.height * crop.top);
  long g = 0;
  if (f > 0) g = std::lround(p.height * (crop.bottom - crop.top) + f - innerHeight);
  p.top -= static_cast<int>(std::max(g, 0L));
  return p;
}
