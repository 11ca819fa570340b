#include "encode/stream_setup.h"

#include <cmath>
#include <cstring>
#include <string>

extern "C" {
#include <libavutil/opt.h>
}

#include "core/diag_log.h"

namespace {
bool WantsGlobalHeader(const std::string& muxer) {
  for (const char* name : {"psp", "ipod", "mp4", "mov", "3gp"})
    if (muxer == name) return true;
  return false;
}

// What the handheld's H.264 decoder takes: Main profile, level 2.1 up to
// 480x272 (3.0 above), two reference frames, one slice per picture.
void ConfigureH264(AVCodecContext* c, AVDictionary** options) {
  const bool small = c->width * c->height <= 480 * 272;
  av_dict_set(options, "profile", "main", 0);
  av_dict_set(options, "level", small ? "2.1" : "3.0", 0);
  av_dict_set(options, "coder", "cabac", 0);
  // The look-ahead spans one group of pictures: with the buffer limit below
  // the encoder would otherwise look about a second ahead and hold that many
  // more pictures, for no better quality with short groups.
  const std::string params =
      "ref=2:slices=1:b-pyramid=none:bframes=2:open-gop=0:rc-lookahead=" + std::to_string(c->gop_size);
  av_dict_set(options, "x264-params", params.c_str(), 0);
  // The level's bit-rate and buffer limits, so the stream stays in level.
  const int64_t maxRate = small ? 4000000 : 10000000;
  c->rc_max_rate = maxRate;
  c->rc_buffer_size = static_cast<int>(maxRate);
  c->refs = 2;
}

void ConfigureCodecSpecifics(AVCodecContext* c, const ContainerChoice& choice, AVDictionary** options) {
  switch (choice.video) {
    case AV_CODEC_ID_H264: ConfigureH264(c, options); break;
    case AV_CODEC_ID_MPEG4:
      c->max_b_frames = 0;  // Simple Profile has no B-frames
      c->profile = FF_PROFILE_MPEG4_SIMPLE;
      // One thread, one slice per picture: a small picture encodes in well
      // under a millisecond, less than slice threads take to hand it round.
      c->thread_count = 1;
      break;
    case AV_CODEC_ID_MPEG2VIDEO: c->max_b_frames = 2; break;
    case AV_CODEC_ID_MPEG1VIDEO: c->mb_decision = FF_MB_DECISION_RD; break;
    default: break;
  }
  if (choice.videoTag.size() == 4) {
    const char* t = choice.videoTag.c_str();
    c->codec_tag = MKTAG(t[0], t[1], t[2], t[3]);
  }
}
}  // namespace

AVRational ExactFrameRate(double frameRate) {
  if (frameRate <= 0 || std::fabs(frameRate - 29.97) < 0.005) return {30000, 1001};
  if (std::fabs(frameRate - 14.985) < 0.005) return {15000, 1001};
  return av_d2q(frameRate, 100000);
}

AVRational CodecFrameRate(AVCodecID codec, AVRational wanted) {
  const AVCodec* c = avcodec_find_encoder(codec);
  const AVRational* rates = c ? c->supported_framerates : nullptr;
  if (!rates) return wanted;
  return rates[av_find_nearest_q_idx(wanted, rates)];
}

AVRational VideoTimeBase(double frameRate) { return av_inv_q(ExactFrameRate(frameRate)); }

CodecContextPtr MakeVideoEncoder(const ContainerChoice& choice, const EncoderParams& p,
                                 AVDictionary** options) {
  const AVCodec* codec = avcodec_find_encoder(choice.video);
  if (!codec) {
    WriteLog("video codec not found\n");
    return nullptr;
  }
  CodecContextPtr c(avcodec_alloc_context3(codec));
  if (!c) return nullptr;
  c->bit_rate = static_cast<int64_t>(p.videoKbps * 1000);
  c->bit_rate_tolerance = 4000000;
  c->flags |= AV_CODEC_FLAG_BITEXACT;
  if (WantsGlobalHeader(choice.muxer)) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  c->width = p.width;
  c->height = p.height;
  c->time_base = VideoTimeBase(p.frameRate);
  c->framerate = av_inv_q(c->time_base);
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->gop_size = 12;
  c->sample_aspect_ratio = {1, 1};
  // As many as the encoder can use, unless its own settings say otherwise.
  // For H.264 that is one and a half per processor: with one per processor
  // its threads wait on each other while the decoder waits for room in the
  // queue, and a processor stands idle.
  c->thread_count = 0;
  ConfigureCodecSpecifics(c.get(), choice, options);
  return c;
}

namespace {
AVSampleFormat PreferredSampleFormat(const AVCodec* codec) {
  return codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
}
}  // namespace

CodecContextPtr MakeAudioEncoder(const ContainerChoice& choice, const EncoderParams& p) {
  const AVCodec* codec = avcodec_find_encoder(choice.audio);
  if (!codec) {
    WriteLog("audio codec not found\n");
    return nullptr;
  }
  CodecContextPtr c(avcodec_alloc_context3(codec));
  if (!c) return nullptr;
  c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER | AV_CODEC_FLAG_BITEXACT;
  // The profile's audio rate is the rate of the whole stream.
  c->bit_rate = static_cast<int64_t>(p.audioKbps) * 1000;
  c->sample_rate = p.outSampleRate;
  av_channel_layout_default(&c->ch_layout, p.outChannels >= 2 ? 2 : 1);
  c->sample_fmt = PreferredSampleFormat(codec);
  c->time_base = {1, p.outSampleRate};
  WriteLog("output.audio_output_freq=%d", p.outSampleRate);
  return c;
}
