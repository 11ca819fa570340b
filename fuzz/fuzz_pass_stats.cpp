// Any statistics file beside an output is harmless to the second pass: the
// count of what the check accepts is the entries', and the MPEG-4 encoder
// set up with the file opens (with its statistics, or in one pass when it
// would refuse them, a refusal that frees its state twice in this library
// version).
#include <pthread.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include "core/diag_log.h"
#include "encode/pass_stats.h"

namespace {
void WriteStatsFile(const std::string& path, const std::string& text) {
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
}

void OpenSecondPass(const std::string& statsPath) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  AVCodecContext* c = avcodec_alloc_context3(codec);
  if (!c) return;
  c->width = 32;
  c->height = 32;
  c->time_base = {1001, 30000};
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->bit_rate = 768000;
  AVDictionary* options = nullptr;
  PassStats stats;
  stats.Configure(c, &options, {PassMode::kSecondPass, statsPath});
  if (avcodec_open2(c, codec, &options) < 0) std::abort();
  av_dict_free(&options);
  c->stats_in = nullptr;
  avcodec_free_context(&c);
  stats.Close();
}
}  // namespace

// The trial child that the encoder's refusal brings down is no finding of
// the fuzzer's: it dies without writing the input out as a crash.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  pthread_atfork(nullptr, nullptr, [] { __sanitizer_set_death_callback(nullptr); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  av_log_set_level(AV_LOG_QUIET);
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int entries = CountStatsEntries(text);
  int separators = 0;
  for (char ch : text) separators += ch == ';' ? 1 : 0;
  if (entries >= 0 && entries != separators) std::abort();
  const std::string path = "/tmp/fuzz_pass_stats." + std::to_string(getpid());
  WriteStatsFile(path, text);
  OpenSecondPass(path);
  std::remove(path.c_str());
  return 0;
}
