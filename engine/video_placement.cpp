#include "engine/video_placement.h"

#include <algorithm>
#include <cmath>

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
