#include "app/window/brightness_levels.h"

#include <cstdio>

BrightnessValues BrightnessForLevel(int level) {
  return {static_cast<int>(level * 35.0 / 3.0 + 0.5), static_cast<float>(1.0 + 0.12 * level)};
}

int BrightnessLevelForOffset(int offset) {
  if (offset == 0) return 0;
  return static_cast<int>(offset * 3.0 / 35.0 + 0.5);
}

std::string BrightnessCommentText(int level) {
  if (level == 0) return "(original)";
  char text[32];
  std::snprintf(text, sizeof(text), "(+%d level)", level);
  return text;
}
