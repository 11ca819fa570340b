// Any .pr text reads without harm, and writing what was read is stable:
// reading the written text and writing it again gives the same text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "profiles/profile.h"
#include "profiles/wm_audio_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CProfile first;
  ParseProfileText(first, std::string(reinterpret_cast<const char*>(data), size));
  std::string written = FormatProfileText(first);
  CProfile second;
  ParseProfileText(second, written);
  if (FormatProfileText(second) != written) std::abort();
  int w, h;
  ParseProfileSize(first.s, &w, &h);
  if (const auto f = ParseWmAudioFormat(first.aformat); f && (f->rate <= 0 || f->channels <= 0)) std::abort();
  return 0;
}
