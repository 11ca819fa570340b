#pragma once
// The four video brightness levels of the output settings dialog and the
// offset and gain the capture path applies for each.
#include <string>

struct BrightnessValues {
  int offset;  // brightness_a
  float gain;  // brightness_b, kept in single precision
};

BrightnessValues BrightnessForLevel(int level);
// The level a stored offset stands for (0 for an offset of 0).
int BrightnessLevelForOffset(int offset);
// "(original)" or "(+%d level)".
std::string BrightnessCommentText(int level);
