extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/sysinfo/sysinfo.h"

namespace {
std::string VersionText(unsigned v) {
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%u.%u.%u", (v >> 16) & 0xFFFF, (v >> 8) & 0xFF, v & 0xFF);
  return buf;
}
}  // namespace

MediaVersion ReadMediaVersion() {
  unsigned codec = avcodec_version();
  unsigned format = avformat_version();
  MediaVersion m;
  m.packed = std::min(codec, format);
  m.text = "libavcodec " + VersionText(codec) + ", libavformat " + VersionText(format);
  return m;
}

int MediaLayerVersion(DWORD* packed, char* text, size_t textLength) {
  DWORD v = ReadMediaVersion().packed;
  if (packed) *packed = v;
  if (text && textLength > 0) std::snprintf(text, textLength, "%s", VersionText(v).c_str());
  return 0;
}
