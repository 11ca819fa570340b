// Any statistics file reads without harm: what the check accepts, the
// MPEG-4 encoder's rate control parses without tripping its assertions (a
// picture number out of range) or indexing its tables out of bounds (the
// picture type), and the count is the entries'. Whether it then accepts the
// plan is not asked here: the writer asks that in a child process.
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include "encode/pass_stats.h"

namespace {
// Opens the encoder's second pass on text at a rate no plan misses, so
// that a refusal (which frees the rate control's state twice in this
// library version) is not what is tested.
void OpenSecondPass(std::string text) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  AVCodecContext* c = avcodec_alloc_context3(codec);
  if (!c) return;
  c->width = 32;
  c->height = 32;
  c->time_base = {1001, 30000};
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->bit_rate = 2000000000;
  c->flags |= AV_CODEC_FLAG_PASS2;
  c->stats_in = text.data();
  avcodec_open2(c, codec, nullptr);
  c->stats_in = nullptr;
  avcodec_free_context(&c);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  av_log_set_level(AV_LOG_QUIET);
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int entries = CountStatsEntries(text);
  if (entries < 0) return 0;
  int separators = 0;
  for (char ch : text) separators += ch == ';' ? 1 : 0;
  if (entries != separators) std::abort();
  OpenSecondPass(text);
  return 0;
}
