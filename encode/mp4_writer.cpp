#include "encode/mp4_writer.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
}

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "encode/av_handles.h"
#include "encode/pass_stats.h"
#include "encode/stream_setup.h"

namespace {
// Process-wide writer state, alive from open to end.
struct WriterState {
  OutputContextPtr oc;           // open/end only
  ContainerChoice choice;
  // Video side: touched by the video thread between open and end.
  CodecContextPtr video;
  AVStream* videoStream = nullptr;
  FramePtr picture;              // planar 4:2:0 of the output size
  SwsPtr toPlanar;               // YUYV 4:2:2 to planar 4:2:0
  std::int64_t videoPts = 0;
  PacketPtr videoPacket;
  PassStats pass;                // two-pass statistics of the video encoder
  bool beyondStatsLogged = false;
  // Audio side: touched by the audio thread between open and end.
  CodecContextPtr audio;
  AVStream* audioStream = nullptr;
  FramePtr audioFrame;
  SwrPtr toEncoderFormat;        // interleaved 16-bit to the encoder's layout
  FifoPtr fifo;                  // PCM waiting for a whole audio frame
  int audioFrameSamples = 1024;
  int outChannels = 2;
  std::int64_t audioPts = 0;
  PacketPtr audioPacket;
  bool writesFile = true;
  std::atomic<bool> open{false};
  std::atomic<bool> failed{false};
};

WriterState& W() {
  static WriterState s;
  return s;
}

// Writes one encoded packet under MuxLock; false when the write failed.
bool WritePacket(AVPacket* pkt, AVCodecContext* c, AVStream* st) {
  av_packet_rescale_ts(pkt, c->time_base, st->time_base);
  pkt->stream_index = st->index;
  CritSecLock lock(MuxLock());
  int ret = av_interleaved_write_frame(W().oc.get(), pkt);
  if (ret >= 0 && W().oc->pb && W().oc->pb->error < 0) ret = W().oc->pb->error;
  return ret >= 0;
}

// Sends frame (nullptr drains) and writes every packet the encoder returns;
// a first pass keeps each packet's statistics.
int EncodeAndWrite(AVCodecContext* c, AVStream* st, AVFrame* frame, AVPacket* pkt, PassStats* pass = nullptr) {
  int ret = avcodec_send_frame(c, frame);
  if (ret < 0 && ret != AVERROR_EOF) return ret;
  for (;;) {
    ret = avcodec_receive_packet(c, pkt);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return 0;
    if (ret < 0) return ret;
    if (pass) pass->Take(c);
    bool ok = WritePacket(pkt, c, st);
    av_packet_unref(pkt);
    if (!ok) return AVERROR(EIO);
  }
}

void MarkFailed() { W().failed.store(true); }

AVStream* AddStream(AVCodecContext* c) {
  AVStream* st = avformat_new_stream(W().oc.get(), nullptr);
  if (!st) return nullptr;
  st->id = static_cast<int>(W().oc->nb_streams) - 1;
  st->time_base = c->time_base;
  return st;
}

void ReleaseVideoEncoder() {
  // The statistics text belongs to us, not to the encoder.
  if (W().video) W().video->stats_in = nullptr;
  W().video.reset();
  W().pass.Close();
}

// Makes and opens the video encoder in the plan's pass.
bool OpenVideoEncoder(const EncoderParams& p, const PassPlan& pass) {
  AVDictionary* options = nullptr;
  W().video = MakeVideoEncoder(W().choice, p, &options);
  if (!W().video) {
    av_dict_free(&options);
    return false;
  }
  W().pass.Configure(W().video.get(), &options, pass);
  const int ret = avcodec_open2(W().video.get(), W().video->codec, &options);
  av_dict_free(&options);
  return ret >= 0;
}

int OpenVideo(const EncoderParams& p, const PassPlan& pass) {
  if (!OpenVideoEncoder(p, pass)) {
    if (W().video) WriteLog("could not open video codec\n");
    return -1;
  }
  W().beyondStatsLogged = false;
  W().videoStream = AddStream(W().video.get());
  if (!W().videoStream || avcodec_parameters_from_context(W().videoStream->codecpar, W().video.get()) < 0)
    return -1;
  W().videoStream->avg_frame_rate = W().video->framerate;
  W().picture.reset(av_frame_alloc());
  if (W().picture) {
    W().picture->format = AV_PIX_FMT_YUV420P;
    W().picture->width = p.width;
    W().picture->height = p.height;
  }
  if (!W().picture || av_frame_get_buffer(W().picture.get(), 0) < 0) {
    WriteLog("Could not allocate temporary picture.");
    return -1;
  }
  W().toPlanar.reset(sws_getContext(p.width, p.height, AV_PIX_FMT_YUYV422, p.width, p.height,
                                    AV_PIX_FMT_YUV420P, SWS_POINT, nullptr, nullptr, nullptr));
  W().videoPacket.reset(av_packet_alloc());
  W().videoPts = 0;
  return W().toPlanar && W().videoPacket ? 0 : -1;
}

int OpenAudio(const EncoderParams& p) {
  W().audio = MakeAudioEncoder(W().choice, p);
  if (!W().audio) return -1;
  if (avcodec_open2(W().audio.get(), W().audio->codec, nullptr) < 0) {
    WriteLog("could not open audio codec\n");
    return -1;
  }
  W().audioStream = AddStream(W().audio.get());
  if (!W().audioStream || avcodec_parameters_from_context(W().audioStream->codecpar, W().audio.get()) < 0)
    return -1;
  AVCodecContext* c = W().audio.get();
  W().outChannels = c->ch_layout.nb_channels;
  const bool variable = c->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE;
  W().audioFrameSamples = (c->frame_size > 0 && !variable) ? c->frame_size : 1024;
  SwrContext* swr = nullptr;
  if (swr_alloc_set_opts2(&swr, &c->ch_layout, c->sample_fmt, c->sample_rate, &c->ch_layout,
                          AV_SAMPLE_FMT_S16, c->sample_rate, 0, nullptr) < 0 || swr_init(swr) < 0) {
    swr_free(&swr);
    return -1;
  }
  W().toEncoderFormat.reset(swr);
  W().audioFrame.reset(av_frame_alloc());
  W().audioPacket.reset(av_packet_alloc());
  W().fifo.reset(av_fifo_alloc2(262144, 1, AV_FIFO_FLAG_AUTO_GROW));
  W().audioPts = 0;
  return W().audioFrame && W().audioPacket && W().fifo ? 0 : -1;
}

// Says why the output could not be opened, to a caller that asked; -1.
int Fail(OutputFailure* out, OutputFailure failure) {
  if (out) *out = std::move(failure);
  return -1;
}

// An encoder this machine's library lacks (AMR-NB, say) or refuses the
// profile's settings: the failure names both, so the user learns which.
OutputFailure CodecUnavailable(const std::string& path) {
  OutputFailure f = Failure(OutputError::CodecUnavailable, path);
  f.videoCodec = avcodec_get_name(W().choice.video);
  f.audioCodec = avcodec_get_name(W().choice.audio);
  return f;
}

void SetMetadata(const EncoderParams& p) {
  AVDictionary** md = &W().oc->metadata;
  av_dict_set(md, "title", p.title.empty() ? " " : p.title.c_str(), 0);
  av_dict_set(md, "copyright", " ", 0);
  av_dict_set(md, "comment", "N/A", 0);
}

int OpenByteStream(const std::string& path, OutputFailure* failure) {
  if (!W().writesFile) return 0;
  int ret = avio_open(&W().oc->pb, path.c_str(), AVIO_FLAG_WRITE);
  if (ret < 0) return Fail(failure, Failure(OutputError::CannotCreate, path, AVUNERROR(ret)));
  return 0;
}

void ReleaseAll() {
  WriterState& w = W();
  w.toPlanar.reset();
  w.picture.reset();
  w.videoPacket.reset();
  ReleaseVideoEncoder();
  w.toEncoderFormat.reset();
  w.audioFrame.reset();
  w.audioPacket.reset();
  w.audio.reset();
  w.fifo.reset();
  if (w.oc && w.writesFile && w.oc->pb) avio_closep(&w.oc->pb);
  w.oc.reset();
  w.videoStream = w.audioStream = nullptr;
  w.open.store(false);
}

// Encodes one whole audio frame of samples sample frames from the FIFO.
int EncodeAudioFrame(int samples) {
  WriterState& w = W();
  const int bytes = samples * w.outChannels * 2;
  std::vector<std::uint8_t> pcm(static_cast<size_t>(w.audioFrameSamples) * w.outChannels * 2, 0);
  av_fifo_read(w.fifo.get(), pcm.data(), static_cast<size_t>(bytes));
  AVFrame* f = w.audioFrame.get();
  av_frame_unref(f);
  f->format = w.audio->sample_fmt;
  f->sample_rate = w.audio->sample_rate;
  av_channel_layout_copy(&f->ch_layout, &w.audio->ch_layout);
  f->nb_samples = samples;
  if (av_frame_get_buffer(f, 0) < 0) return -1;
  const std::uint8_t* in[1] = {pcm.data()};
  swr_convert(w.toEncoderFormat.get(), f->data, samples, in, samples);
  f->pts = w.audioPts;
  w.audioPts += samples;
  return EncodeAndWrite(w.audio.get(), w.audioStream, f, w.audioPacket.get());
}

// The audio that does not fill a whole frame at the end: the encoder takes a
// short last frame when it can; otherwise the frame is padded with silence.
int EncodeAudioRemainder() {
  WriterState& w = W();
  const int left = static_cast<int>(av_fifo_can_read(w.fifo.get())) / (w.outChannels * 2);
  if (left <= 0) return 0;
  const bool shortOk = w.audio->codec->capabilities &
                       (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
  if (shortOk) return EncodeAudioFrame(left);
  std::vector<std::uint8_t> silence(static_cast<size_t>(w.audioFrameSamples - left) * w.outChannels * 2, 0);
  av_fifo_write(w.fifo.get(), silence.data(), silence.size());
  return EncodeAudioFrame(w.audioFrameSamples);
}

int DrainEncoders() {
  WriterState& w = W();
  int result = 0;
  if (w.video && EncodeAndWrite(w.video.get(), w.videoStream, nullptr, w.videoPacket.get(), &w.pass) < 0)
    result = -1;
  if (w.audio && w.fifo) {
    if (EncodeAudioRemainder() < 0) result = -1;
    if (EncodeAndWrite(w.audio.get(), w.audioStream, nullptr, w.audioPacket.get()) < 0) result = -1;
  }
  return result;
}
}  // namespace

CriticalSection& MuxLock() {
  static CriticalSection lock;
  return lock;
}

bool Mp4IsOpen() { return W().open.load(); }
bool Mp4WriteFailed() { return W().failed.load(); }

int Mp4Open(const std::string& path, const PassPlan& pass, OutputFailure* failure) {
  // The library's own chatter goes nowhere; its errors reach our log through
  // the results we check.
  av_log_set_level(AV_LOG_ERROR);
  const EncoderParams& p = EncParams();
  if (W().open) Mp4End();
  W().failed.store(false);
  W().choice = ChooseContainer(Frame().OutputFormat, p.Mp4VideoCodec, p.vcodec, p.acodec);
  const AVOutputFormat* fmt =
      W().choice.muxer.empty() ? nullptr : av_guess_format(W().choice.muxer.c_str(), nullptr, nullptr);
  if (!fmt) {
    WriteLog("Could not find suitable output format");
    return Fail(failure, Failure(OutputError::NoContainer, path));
  }
  AVFormatContext* raw = nullptr;
  if (avformat_alloc_output_context2(&raw, fmt, nullptr, path.substr(0, 1023).c_str()) < 0 || !raw)
    return Fail(failure, Failure(OutputError::OutOfMemory, path));
  W().oc.reset(raw);
  W().writesFile = !(fmt->flags & AVFMT_NOFILE);
  SetMetadata(p);
  if (OpenVideo(p, pass) < 0 || OpenAudio(p) < 0) {
    OutputFailure why = CodecUnavailable(path);
    ReleaseAll();
    return Fail(failure, std::move(why));
  }
  if (OpenByteStream(path, failure) < 0) {
    ReleaseAll();
    return -1;
  }
  int ret = avformat_write_header(W().oc.get(), nullptr);
  if (ret < 0) {
    WriteLog("Error: could not write the header of '%s': %s", path.c_str(), AvErrorText(ret).c_str());
    ReleaseAll();
    return Fail(failure, Failure(OutputError::CannotCreate, path, AVUNERROR(ret)));
  }
  W().open.store(true);
  return 0;
}

namespace {
// A second pass that gets more pictures than its statistics cover (the
// capture path made a picture more than in the first pass): the library's
// encoders cannot code it, so it is left out.
bool BeyondStatistics() {
  WriterState& w = W();
  const int limit = w.pass.PictureLimit();
  if (limit <= 0 || w.videoPts < limit) return false;
  if (!w.beyondStatsLogged) WriteLog("Second pass: picture %lld has no statistics; left out", (long long)w.videoPts);
  w.beyondStatsLogged = true;
  return true;
}
}  // namespace

void Mp4WriteVideo(const std::uint8_t* frame) {
  WriterState& w = W();
  if (!w.open || w.failed || !frame || BeyondStatistics()) return;
  const EncoderParams& p = EncParams();
  if (av_frame_make_writable(w.picture.get()) < 0) return;
  const std::uint8_t* src[4] = {frame, nullptr, nullptr, nullptr};
  int srcStride[4] = {p.width * 2, 0, 0, 0};
  sws_scale(w.toPlanar.get(), src, srcStride, 0, p.height, w.picture->data, w.picture->linesize);
  w.picture->pts = w.videoPts++;
  if (EncodeAndWrite(w.video.get(), w.videoStream, w.picture.get(), w.videoPacket.get(), &w.pass) < 0) {
    WriteLog("error writing video");
    MarkFailed();
  }
}

int Mp4WriteAudio(const std::int16_t* samples, int count) {
  WriterState& w = W();
  if (!w.open || w.failed) return -1;
  if (count > 0)
    av_fifo_write(w.fifo.get(), samples, static_cast<size_t>(count) * w.outChannels * 2);
  const size_t frameBytes = static_cast<size_t>(w.audioFrameSamples) * 2 * w.outChannels;
  while (av_fifo_can_read(w.fifo.get()) >= frameBytes) {
    int ret = EncodeAudioFrame(w.audioFrameSamples);
    if (ret < 0) {
      WriteLog("Error while writing audio frame. hr=%d", ret);
      MarkFailed();
      return -1;
    }
  }
  return 0;
}

int Mp4End() {
  WriteLog("MP4_End...");
  if (!W().oc) return -1;
  int result = 0;
  if (W().open && !W().failed) result = DrainEncoders();
  if (W().open) {
    CritSecLock lock(MuxLock());
    if (av_write_trailer(W().oc.get()) < 0) result = -1;
    if (W().oc->pb && W().oc->pb->error < 0) result = -1;
  }
  if (result < 0) MarkFailed();
  if (result < 0) WriteLog("Error: the output could not be written completely");
  ReleaseAll();
  return result;
}
