#include "platform/dshow/source_streams.h"

#include <cmath>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {
bool Decodable(const AVStream* st) { return avcodec_find_decoder(st->codecpar->codec_id) != nullptr; }

bool PlayableVideo(const AVStream* st) {
  return st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC) &&
         Decodable(st);
}

bool PlayableAudio(const AVStream* st) {
  return st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && st->codecpar->ch_layout.nb_channels > 0 && Decodable(st);
}

int CoverPicture(const AVFormatContext* fmt) {
  for (unsigned i = 0; i < fmt->nb_streams; ++i) {
    const AVStream* st = fmt->streams[i];
    if ((st->disposition & AV_DISPOSITION_ATTACHED_PIC) && st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        Decodable(st))
      return static_cast<int>(i);
  }
  return -1;
}

// The program's largest picture, and its default sound or else its first.
StreamChoice ChooseInProgram(const AVFormatContext* fmt, const AVProgram* p) {
  StreamChoice c;
  long long bestPixels = -1;
  bool defaultAudio = false;
  for (unsigned i = 0; i < p->nb_stream_indexes; ++i) {
    const int index = static_cast<int>(p->stream_index[i]);
    const AVStream* st = fmt->streams[index];
    if (PlayableVideo(st)) {
      const long long pixels = static_cast<long long>(st->codecpar->width) * st->codecpar->height;
      if (pixels > bestPixels) bestPixels = pixels, c.video = index;
    } else if (PlayableAudio(st)) {
      const bool isDefault = st->disposition & AV_DISPOSITION_DEFAULT;
      if (c.audio < 0 || (isDefault && !defaultAudio)) c.audio = index, defaultAudio = isDefault;
    }
  }
  return c;
}
}  // namespace

StreamChoice ChooseStreams(AVFormatContext* fmt) {
  for (unsigned i = 0; i < fmt->nb_programs; ++i) {
    const StreamChoice c = ChooseInProgram(fmt, fmt->programs[i]);
    if (c.video >= 0 && c.audio >= 0) return c;
  }
  StreamChoice c;
  c.video = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  // Attached pictures (cover art) are not a video stream to play.
  if (c.video >= 0 && !PlayableVideo(fmt->streams[c.video])) c.video = -1;
  c.audio = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, c.video, nullptr, 0);
  if (c.video < 0 && c.audio >= 0) c.video = CoverPicture(fmt);
  return c;
}

bool IsLastPacket(const AVStream* st, const AVPacket& pkt) {
  if (st->disposition & AV_DISPOSITION_ATTACHED_PIC) return true;
  const int entries = avformat_index_get_entries_count(st);
  if (entries <= 0 || entries != st->nb_frames || pkt.dts == AV_NOPTS_VALUE) return false;
  const AVIndexEntry* last = avformat_index_get_entry(const_cast<AVStream*>(st), entries - 1);
  return last && pkt.dts == last->timestamp;
}

namespace {
using PacketPtr = std::unique_ptr<AVPacket, void (*)(AVPacket*)>;
PacketPtr NewPacket() { return PacketPtr(av_packet_alloc(), [](AVPacket* p) { av_packet_free(&p); }); }

// Bytes per second of the file's first stretch (up to kMeasureSeconds of
// one stream's time, ending before any jump); 0 when it cannot tell.
constexpr double kMeasureSeconds = 5.0;
double OpeningByteRate(AVFormatContext* fmt) {
  PacketPtr pkt = NewPacket();
  if (!pkt) return 0;
  int stream = -1;
  double first = 0, last = 0;
  int64_t firstPos = -1, lastPos = -1;
  while (av_read_frame(fmt, pkt.get()) >= 0) {
    const int64_t dts = pkt->dts, pos = pkt->pos;
    const int index = pkt->stream_index;
    const double t = dts == AV_NOPTS_VALUE ? 0 : dts * av_q2d(fmt->streams[index]->time_base);
    av_packet_unref(pkt.get());
    if (dts == AV_NOPTS_VALUE || pos < 0) continue;
    if (stream < 0) stream = index, first = last = t, firstPos = lastPos = pos;
    if (index != stream) continue;
    if (t < last - 1 || t > last + 10) break;  // the clock jumped
    last = t, lastPos = pos;
    if (last - first >= kMeasureSeconds) break;
  }
  return last - first >= 1 ? static_cast<double>(lastPos - firstPos) / (last - first) : 0;
}
}  // namespace

namespace {
// How far into the file the first picture is looked for before the decoder
// is asked for what it holds.
constexpr int64_t kPictureSearchBytes = 64 << 20;

struct CodecFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};

// Feeds the stream's packets from the current position to ctx until a
// picture comes out (then true, in frame).
bool DecodeFirstPicture(AVFormatContext* fmt, int video, AVCodecContext* ctx, AVFrame* frame) {
  PacketPtr pkt = NewPacket();
  if (!pkt) return false;
  const int64_t begin = fmt->pb ? avio_tell(fmt->pb) : 0;
  while (av_read_frame(fmt, pkt.get()) >= 0) {
    if (pkt->stream_index == video) avcodec_send_packet(ctx, pkt.get());
    av_packet_unref(pkt.get());
    if (avcodec_receive_frame(ctx, frame) == 0) return true;
    if (fmt->pb && avio_tell(fmt->pb) - begin > kPictureSearchBytes) break;
  }
  avcodec_send_packet(ctx, nullptr);
  return avcodec_receive_frame(ctx, frame) == 0;
}
}  // namespace

bool LearnPictureSize(AVFormatContext* fmt, int video) {
  AVCodecParameters* par = fmt->streams[video]->codecpar;
  if (par->width > 0 && par->height > 0) return true;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  std::unique_ptr<AVCodecContext, CodecFree> ctx(codec ? avcodec_alloc_context3(codec) : nullptr);
  std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
  if (!ctx || !frame || avcodec_parameters_to_context(ctx.get(), par) < 0 || avcodec_open2(ctx.get(), codec, nullptr) < 0)
    return false;
  const bool found = DecodeFirstPicture(fmt, video, ctx.get(), frame.get());
  av_seek_frame(fmt, -1, 0, AVSEEK_FLAG_BYTE);
  if (!found || frame->width <= 0 || frame->height <= 0) return false;
  par->width = frame->width;
  par->height = frame->height;
  par->format = frame->format;
  if (frame->sample_aspect_ratio.num > 0) par->sample_aspect_ratio = frame->sample_aspect_ratio;
  return true;
}

void CorrectJumpedDuration(AVFormatContext* fmt) {
  if (!(fmt->iformat->flags & AVFMT_TS_DISCONT) || fmt->duration <= 0 || !fmt->pb) return;
  const int64_t size = avio_size(fmt->pb);
  if (size <= 0) return;
  const double rate = OpeningByteRate(fmt);
  av_seek_frame(fmt, -1, 0, AVSEEK_FLAG_BYTE);
  if (rate <= 0) return;
  const double held = static_cast<double>(size) / rate, claimed = fmt->duration / double(AV_TIME_BASE);
  // Bit rates vary a few times over; a claim far beyond that is a jump.
  if (claimed > 3 * held + 600) fmt->duration = std::llround(held * AV_TIME_BASE);
}

bool IsBareStream(const AVFormatContext* fmt) {
  return fmt->iformat->raw_codec_id != AV_CODEC_ID_NONE && fmt->nb_streams == 1 &&
         fmt->streams[0]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
}

void EstimateBareStreamDuration(AVFormatContext* fmt, int video) {
  if (video < 0 || !IsBareStream(fmt) || fmt->duration != AV_NOPTS_VALUE) return;
  const AVStream* st = fmt->streams[video];
  const AVRational rate = st->r_frame_rate.num > 0 ? st->r_frame_rate : st->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) return;
  PacketPtr pkt = NewPacket();
  if (!pkt) return;
  int64_t pictures = 0;
  int r = 0;
  while ((r = av_read_frame(fmt, pkt.get())) >= 0) {
    pictures += pkt->stream_index == video;
    av_packet_unref(pkt.get());
  }
  SeekToFirstByte(fmt);
  if (r != AVERROR_EOF || pictures == 0) return;
  fmt->duration = av_rescale_q(pictures, av_inv_q(rate), AV_TIME_BASE_Q);
}

void SeekToFirstByte(AVFormatContext* fmt) { av_seek_frame(fmt, -1, 0, AVSEEK_FLAG_BYTE); }
