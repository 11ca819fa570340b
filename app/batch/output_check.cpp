#include "app/batch/output_check.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "encode/av_handles.h"
#include "transfer/thumbnail.h"

namespace {
struct InputCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;

// The thumbnail is taken this far in, as the conversion itself does.
constexpr double kThumbnailAtSec = 2.5;

InputPtr OpenInput(const std::string& path) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return {};
  InputPtr in(raw);
  if (avformat_find_stream_info(in.get(), nullptr) < 0) return {};
  return in;
}

std::int64_t CountPackets(AVFormatContext* in, int stream) {
  PacketPtr pkt(av_packet_alloc());
  std::int64_t n = 0;
  while (pkt && av_read_frame(in, pkt.get()) >= 0) {
    if (pkt->stream_index == stream) ++n;
    av_packet_unref(pkt.get());
  }
  return n;
}

// The decoded picture at or after seconds (the last one when the output is
// shorter), or null.
FramePtr DecodePictureAt(AVFormatContext* in, int stream, double seconds) {
  const AVStream* st = in->streams[stream];
  const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
  if (!codec) return {};
  CodecContextPtr dec(avcodec_alloc_context3(codec));
  if (!dec || avcodec_parameters_to_context(dec.get(), st->codecpar) < 0 || avcodec_open2(dec.get(), codec, nullptr) < 0)
    return {};
  const std::int64_t target = static_cast<std::int64_t>(seconds / av_q2d(st->time_base));
  av_seek_frame(in, stream, target, AVSEEK_FLAG_BACKWARD);
  PacketPtr pkt(av_packet_alloc());
  FramePtr frame(av_frame_alloc()), kept;
  if (!pkt || !frame) return {};
  bool draining = false;
  while (true) {
    if (!draining) {
      const int r = av_read_frame(in, pkt.get());
      if (r < 0) {
        draining = true;
        avcodec_send_packet(dec.get(), nullptr);
      } else {
        if (pkt->stream_index == stream) avcodec_send_packet(dec.get(), pkt.get());
        av_packet_unref(pkt.get());
      }
    }
    int r;
    while ((r = avcodec_receive_frame(dec.get(), frame.get())) >= 0) {
      kept.reset(av_frame_clone(frame.get()));
      av_frame_unref(frame.get());
      if (kept && kept->best_effort_timestamp != AV_NOPTS_VALUE && kept->best_effort_timestamp >= target) return kept;
    }
    if (draining || r != AVERROR(EAGAIN)) return kept;
  }
}
}  // namespace

OutputFacts InspectOutput(const std::string& path) {
  OutputFacts facts;
  InputPtr in = OpenInput(path);
  if (!in) return facts;
  facts.opened = true;
  const int v = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  facts.hasAudio = av_find_best_stream(in.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) >= 0;
  if (v < 0) return facts;
  const AVStream* st = in->streams[v];
  facts.videoFrames = st->nb_frames > 0 ? st->nb_frames : CountPackets(in.get(), v);
  if (st->duration != AV_NOPTS_VALUE && st->duration > 0) facts.seconds = st->duration * av_q2d(st->time_base);
  else if (in->duration != AV_NOPTS_VALUE && in->duration > 0) facts.seconds = in->duration / double(AV_TIME_BASE);
  return facts;
}

int MakeThumbnailFromOutput(const std::string& path) {
  InputPtr in = OpenInput(path);
  if (!in) return -1;
  const int v = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (v < 0) return -1;
  const AVStream* st = in->streams[v];
  const double length = st->duration != AV_NOPTS_VALUE && st->duration > 0 ? st->duration * av_q2d(st->time_base) : 0;
  const double at = length > 0 ? std::min(kThumbnailAtSec, length / 2) : 0.0;
  FramePtr picture = DecodePictureAt(in.get(), v, at);
  if (!picture || picture->width < 2 || picture->height < 1) return -1;
  // The thumbnail code takes a captured frame: chroma at half the width and
  // the full height, every plane with the luma width as its stride.
  const int w = picture->width & ~1, h = picture->height;
  SwsPtr sws(sws_getContext(w, h, static_cast<AVPixelFormat>(picture->format), w, h,
                                                             AV_PIX_FMT_YUV422P, SWS_POINT, nullptr, nullptr, nullptr));
  if (!sws) return -1;
  std::vector<std::uint8_t> y(static_cast<size_t>(w) * h), u(y.size()), vv(y.size());
  std::uint8_t* dst[4] = {y.data(), u.data(), vv.data(), nullptr};
  const int strides[4] = {w, w, w, 0};
  sws_scale(sws.get(), picture->data, picture->linesize, 0, h, dst, strides);
  const FramePlanes planes{y.data(), u.data(), vv.data(), w, h};
  return MakeThumbnail(path, planes, CropFractions{});
}
