#include "app/batchwindow/source_length.h"

#include <memory>

extern "C" {
#include <libavformat/avformat.h>
}

namespace {
struct InputCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
}  // namespace

std::optional<double> SourceLengthSeconds(const std::string& path) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return std::nullopt;
  std::unique_ptr<AVFormatContext, InputCloser> in(raw);
  if (avformat_find_stream_info(in.get(), nullptr) < 0) return std::nullopt;
  if (in->nb_streams == 0 || in->duration <= 0) return std::nullopt;
  return static_cast<double>(in->duration) / AV_TIME_BASE;
}
