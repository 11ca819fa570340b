#include "profiles/picture_size.h"

#include <cstdlib>

std::string PspPictureSize(int displayWidth, int height, const std::string& sizeText, const std::string& vcodec,
                           const std::string& device, int vcAspect) {
  // 1. Nothing to fit before a source is known; H.263 has fixed sizes.
  if (displayWidth == 0 || vcodec == "h263") return "";
  // 2. The source's aspect, never narrower than 4:3.
  double aspect = 4.0 / 3.0;
  if (height > 0) {
    aspect = static_cast<double>(displayWidth) / height;
    if (aspect < 1.3333333333333333) aspect = 4.0 / 3.0;
  }
  // 3.
  if (std::strtol(sizeText.c_str(), nullptr, 10) == 0) return "";
  // 4. Other devices than the PSP may squeeze very wide sources.
  if (vcAspect != 0 && device != "PSP") {
    if (vcAspect == 1 && aspect >= 1.9) aspect *= 0.75;
    else aspect = 4.0 / 3.0;
  }
  // 5.
  if (aspect <= 1.4) return "320x240";
  if (aspect > 1.9) return "400x192";
  return "368x208";
}
