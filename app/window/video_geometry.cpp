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
