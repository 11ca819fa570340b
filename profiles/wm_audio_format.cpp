#include "profiles/wm_audio_format.h"

#include <cctype>
#include <cstdlib>

namespace {
// The number written just before unit (" kbps", " kHz", " channel"), or 0.
int NumberBefore(const std::string& text, const char* unit) {
  for (size_t at = text.find(unit); at != std::string::npos; at = text.find(unit, at + 1)) {
    size_t begin = at;
    while (begin > 0 && at - begin < 9 && std::isdigit(static_cast<unsigned char>(text[begin - 1]))) --begin;
    if (begin < at) return static_cast<int>(std::strtol(text.substr(begin, at - begin).c_str(), nullptr, 10));
  }
  return 0;
}

// "44 kHz" is 44100 Hz, "22 kHz" 22050 and "11 kHz" 11025; the others are
// whole thousands.
int RateOf(int kHz) {
  switch (kHz) {
    case 11: return 11025;
    case 22: return 22050;
    case 44: return 44100;
    case 88: return 88200;
    default: return kHz > 0 && kHz <= 192 ? kHz * 1000 : 0;
  }
}

int ChannelsOf(const std::string& text) {
  if (text.find("stereo") != std::string::npos) return 2;
  if (text.find("mono") != std::string::npos) return 1;
  const int n = NumberBefore(text, " channel");
  return n > 0 && n <= 8 ? n : 0;
}
}  // namespace

std::optional<WmAudioFormat> ParseWmAudioFormat(const std::string& description) {
  WmAudioFormat f;
  const int kbps = NumberBefore(description, " kbps");
  f.kbps = kbps > 0 && kbps <= 10000 ? kbps : 0;
  f.rate = RateOf(NumberBefore(description, " kHz"));
  f.channels = ChannelsOf(description);
  if (f.rate == 0 || f.channels == 0) return std::nullopt;
  return f;
}
