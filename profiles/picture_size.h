#pragma once
// The PSP picture-size rule: the size a profile takes from the shape of the
// source, the same for the window and the batch converter.
#include <string>

// The picture size a profile gets from a source shown at displayWidth x
// height (its display aspect: sample aspect ratio and rotation applied):
// "320x240", "368x208" or "400x192", or empty when the profile keeps its
// size (no source picture yet, an "h263" profile, or a size text without
// width).
std::string PspPictureSize(int displayWidth, int height, const std::string& sizeText, const std::string& vcodec,
                           const std::string& device, int vcAspect);
