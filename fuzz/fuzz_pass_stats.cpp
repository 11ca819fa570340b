// Any statistics file reads without harm: what the checks accept, the
// MPEG-4 encoder's second pass opens with (it asserts on a picture number
// out of range, indexes tables with the picture type, and frees its state
// twice when it refuses a plan), and the count is the entries'.
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include "encode/pass_stats.h"

namespace {
// The encoder's rate control parses the text in place, as a second pass does.
void OpenSecondPass(std::string text, const StatsSummary& stats) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  AVCodecContext* c = avcodec_alloc_context3(codec);
  if (!c) return;
  c->width = 32;
  c->height = 32;
  c->time_base = {1001, 30000};
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->bit_rate = 768000;
  if (SecondPassCanUse(stats, static_cast<double>(c->bit_rate), av_q2d(c->time_base))) {
    c->flags |= AV_CODEC_FLAG_PASS2;
    c->stats_in = text.data();
    if (avcodec_open2(c, codec, nullptr) < 0) std::abort();
    c->stats_in = nullptr;
  }
  avcodec_free_context(&c);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  av_log_set_level(AV_LOG_QUIET);
  const std::string text(reinterpret_cast<const char*>(data), size);
  const StatsSummary stats = SummariseStats(text);
  if (stats.entries < 0) return 0;
  int separators = 0;
  for (char ch : text) separators += ch == ';' ? 1 : 0;
  if (stats.entries != separators) std::abort();
  OpenSecondPass(text, stats);
  return 0;
}
