#include "encode/audio_blocks.h"

#include <algorithm>
#include <cmath>

int NextAudioBlockSize(double x, double& remainder) {
  int n = static_cast<int>(x + 0.5);
  remainder += x - n;
  if (std::fabs(remainder) >= 1.0) {
    int s = remainder >= 0 ? 1 : -1;
    n += s;
    remainder -= s;
  }
  return n;
}

int AudioBlockThresholdBytes(double x, int srcChannels) {
  return static_cast<int>((x + 1.0) * srcChannels * 2);
}

namespace {
// Halves a 32-bit sum. Loud multichannel mixes can exceed 16 bits; they are
// clipped rather than wrapped, which would turn a peak into a loud click.
inline std::int16_t Half(std::int32_t sum) {
  return static_cast<std::int16_t>(std::clamp(sum / 2, -32768, 32767));
}

// Sources with more than six channels keep the six of 5.1 (front left,
// front right, centre, LFE, back left, back right) and drop the rest.
void MixDown(const std::int16_t* s, int channels, std::int16_t& a, std::int16_t& b) {
  switch (channels) {
    case 3:
      a = Half(s[1] + s[2]);
      b = Half(s[0] + s[2]);
      break;
    case 4:
      a = Half(s[1] + s[2] + s[3]);
      b = Half(s[0] + s[2] + s[3]);
      break;
    case 5:
      a = Half(s[1] + s[2] + s[3] + s[4]);
      b = Half(s[0] + s[2] + s[3] + s[4]);
      break;
    default:
      a = Half(s[0] + s[2] + s[3] + s[4]);
      b = Half(s[1] + s[2] + s[3] + s[5]);
      break;
  }
}
}  // namespace

void ConvertChannels(const std::int16_t* src, int n, int srcChannels, int outChannels, int monoChoice,
                     std::int16_t* a, std::int16_t* b) {
  if (srcChannels <= 0) return;
  for (int i = 0; i < n; ++i) {
    const std::int16_t* s = src + static_cast<std::ptrdiff_t>(i) * srcChannels;
    if (srcChannels == 1) {
      a[i] = s[0];
    } else if (srcChannels == 2) {
      if (outChannels >= 2) {
        a[i] = s[0];
        b[i] = s[1];
      } else {
        a[i] = monoChoice == 0 ? Half(s[0] + s[1]) : (monoChoice == 2 ? s[1] : s[0]);
      }
    } else {
      std::int16_t left, right;
      MixDown(s, srcChannels, left, right);
      a[i] = left;
      if (outChannels >= 2) b[i] = right;
    }
  }
}
