#include "tests/support/media_probe.h"

#include "tests/fixtures/fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {
struct InputCloser {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CtxFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

double LumaMean(const AVFrame* f) {
  double sum = 0;
  for (int y = 0; y < f->height; ++y)
    for (int x = 0; x < f->width; ++x) sum += f->data[0][y * f->linesize[0] + x];
  return sum / (static_cast<double>(f->width) * f->height);
}

// Reads the frame number a numbered fixture draws into the top quarter of
// its pictures: one block per bit, each read at its centre, away from the
// edges that scaling and coding blur.
int FrameCode(const AVFrame* f) {
  int code = 0;
  const int y0 = f->height / 16, y1 = f->height * 3 / 16;
  for (int bit = 0; bit < kFrameCodeBits; ++bit) {
    const int left = f->width * bit / kFrameCodeBits, right = f->width * (bit + 1) / kFrameCodeBits;
    const int x0 = left + (right - left) / 4, x1 = right - (right - left) / 4;
    double sum = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) sum += f->data[0][y * f->linesize[0] + x];
    code = code * 2 + (sum / ((y1 - y0) * (x1 - x0)) > 126 ? 1 : 0);
  }
  return code;
}

std::vector<double> ColumnMeans(const AVFrame* f) {
  std::vector<double> means(static_cast<size_t>(f->width), 0.0);
  for (int y = 0; y < f->height; ++y)
    for (int x = 0; x < f->width; ++x) means[static_cast<size_t>(x)] += f->data[0][y * f->linesize[0] + x];
  for (double& m : means) m /= f->height;
  return means;
}

float SampleAsFloat(const AVFrame* f, int i) {
  switch (f->format) {
    case AV_SAMPLE_FMT_FLTP: return reinterpret_cast<const float*>(f->data[0])[i];
    case AV_SAMPLE_FMT_S16P: return reinterpret_cast<const int16_t*>(f->data[0])[i] / 32768.0f;
    case AV_SAMPLE_FMT_S16:
      return reinterpret_cast<const int16_t*>(f->data[0])[i * f->ch_layout.nb_channels] / 32768.0f;
    case AV_SAMPLE_FMT_FLT: return reinterpret_cast<const float*>(f->data[0])[i * f->ch_layout.nb_channels];
    default: return 0;
  }
}

struct Decoder {
  std::unique_ptr<AVCodecContext, CtxFree> ctx;
  StreamProbe* out = nullptr;
  bool isVideo = false;
  std::vector<float> pending;  // audio samples waiting for a full 1/100 s window
};

void Collect(Decoder& d, const AVFrame* f, bool signals) {
  StreamProbe& s = *d.out;
  ++s.decodedFrames;
  if (d.isVideo) {
    if (f->key_frame) s.keyFrames.push_back(static_cast<int>(s.decodedFrames - 1));
    if (signals) {
      s.lumaMeans.push_back(LumaMean(f));
      s.frameCodes.push_back(FrameCode(f));
      s.columnLuma = ColumnMeans(f);
    }
    return;
  }
  s.decodedSamples += f->nb_samples;
  if (!signals) return;
  const size_t window = static_cast<size_t>(std::max(d.ctx->sample_rate / 100, 1));
  for (int i = 0; i < f->nb_samples; ++i) {
    d.pending.push_back(SampleAsFloat(f, i));
    if (d.pending.size() == window) {
      double acc = 0;
      for (float v : d.pending) acc += v * v;
      s.audioRms.push_back(std::sqrt(acc / window));
      d.pending.clear();
    }
  }
}

void Drain(Decoder& d, AVFrame* frame, bool signals) {
  while (avcodec_receive_frame(d.ctx.get(), frame) == 0) {
    Collect(d, frame, signals);
    av_frame_unref(frame);
  }
}
}  // namespace

MediaProbe ProbeMedia(const std::string& path, bool collectSignals) {
  MediaProbe m;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return m;
  std::unique_ptr<AVFormatContext, InputCloser> in(raw);
  if (avformat_find_stream_info(in.get(), nullptr) < 0) return m;
  m.opened = true;
  m.formatName = in->iformat->name;
  if (auto* e = av_dict_get(in->metadata, "major_brand", nullptr, 0)) m.majorBrand = e->value;
  if (auto* e = av_dict_get(in->metadata, "title", nullptr, 0)) m.title = e->value;

  std::vector<Decoder> decoders(in->nb_streams);
  int audioIndex = -1;
  for (unsigned i = 0; i < in->nb_streams; ++i) {
    AVCodecParameters* par = in->streams[i]->codecpar;
    const bool video = par->codec_type == AVMEDIA_TYPE_VIDEO;
    const bool audio = par->codec_type == AVMEDIA_TYPE_AUDIO;
    if ((!video || m.hasVideo) && (!audio || m.hasAudio)) continue;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) continue;
    StreamProbe& s = video ? m.video : m.audio;
    (video ? m.hasVideo : m.hasAudio) = true;
    if (audio) audioIndex = static_cast<int>(i);
    s.codec = avcodec_get_name(par->codec_id);
    if (const char* prof = avcodec_profile_name(par->codec_id, par->profile)) s.profile = prof;
    s.width = par->width;
    s.height = par->height;
    s.sampleRate = par->sample_rate;
    s.channels = par->ch_layout.nb_channels;
    s.frameRate = av_q2d(in->streams[i]->avg_frame_rate);
    Decoder& d = decoders[i];
    d.ctx.reset(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(d.ctx.get(), par);
    d.ctx->pkt_timebase = in->streams[i]->time_base;
    if (avcodec_open2(d.ctx.get(), codec, nullptr) < 0) {
      d.ctx.reset();
      continue;
    }
    d.out = &s;
    d.isVideo = video;
  }

  std::unique_ptr<AVPacket, PacketFree> pkt(av_packet_alloc());
  std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
  while (av_read_frame(in.get(), pkt.get()) >= 0) {
    Decoder& d = decoders[pkt->stream_index];
    if (d.ctx) {
      if (avcodec_send_packet(d.ctx.get(), pkt.get()) < 0) ++d.out->decodeErrors;
      Drain(d, frame.get(), collectSignals);
    }
    av_packet_unref(pkt.get());
  }
  for (auto& d : decoders) {
    if (!d.ctx) continue;
    avcodec_send_packet(d.ctx.get(), nullptr);
    Drain(d, frame.get(), collectSignals);
  }
  if (m.hasVideo && m.video.frameRate > 0) m.video.durationSec = m.video.decodedFrames / m.video.frameRate;
  if (m.hasAudio && m.audio.sampleRate > 0)
    m.audio.durationSec = static_cast<double>(m.audio.decodedSamples) / m.audio.sampleRate;
  if (m.hasAudio && audioIndex >= 0 && in->streams[audioIndex]->duration > 0 && m.audio.decodedSamples > 0)
    m.audio.durationSec = in->streams[audioIndex]->duration * av_q2d(in->streams[audioIndex]->time_base);
  return m;
}

namespace {
std::uint32_t Be32(const unsigned char* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}
}  // namespace

namespace {
std::uint16_t Be16(const unsigned char* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

// Title entries start 34 bytes into the box: size 16 bits, type 32 bits,
// four more bytes, then UTF-16 text.
std::string UsmtTitleEntry(const unsigned char* box, size_t size) {
  for (size_t e = 34; e + 6 <= size;) {
    std::uint16_t n = Be16(box + e);
    if (n < 10 || e + n > size) break;
    if (Be32(box + e + 2) == 1) {
      std::string t;
      for (size_t i = e + 10; i + 1 < e + n; i += 2)
        if (box[i + 1]) t.push_back(static_cast<char>(box[i + 1]));
      return t;
    }
    e += n;
  }
  return {};
}
}  // namespace

bool ReadUsmtTitle(const std::string& path, std::string* title) {
  std::ifstream f(path, std::ios::binary);
  std::string data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const auto* b = reinterpret_cast<const unsigned char*>(data.data());
  size_t pos = 0;
  while (pos + 8 <= data.size()) {
    std::uint32_t size = Be32(b + pos);
    if (size < 8 || pos + size > data.size()) return false;
    if (std::memcmp(b + pos + 4, "moov", 4) == 0) {
      for (size_t c = pos + 8; c + 12 <= pos + size;) {
        std::uint32_t child = Be32(b + c);
        if (child < 8 || c + child > pos + size) return false;
        if (std::memcmp(b + c + 4, "uuid", 4) == 0 && std::memcmp(b + c + 8, "USMT", 4) == 0) {
          if (title) *title = UsmtTitleEntry(b + c, child);
          return true;
        }
        c += child;
      }
      return false;
    }
    pos += size;
  }
  return false;
}

void ExpectPspOutput(const MediaProbe& p, double seconds) { ExpectPspOutput(p, seconds, 320, 240); }

void ExpectPspOutput(const MediaProbe& p, double seconds, int width, int height) {
  const double frame = 1001.0 / 30000 + 1e-6;
  ASSERT_TRUE(p.opened);
  EXPECT_EQ(p.majorBrand, "MSNV");
  ASSERT_TRUE(p.hasVideo && p.hasAudio);
  EXPECT_EQ(p.video.width, width);
  EXPECT_EQ(p.video.height, height);
  EXPECT_EQ(p.video.decodeErrors, 0);
  EXPECT_EQ(p.audio.sampleRate, 48000);
  EXPECT_NEAR(p.video.durationSec, seconds, frame);
  EXPECT_NEAR(p.audio.durationSec, p.video.durationSec, frame);
}
