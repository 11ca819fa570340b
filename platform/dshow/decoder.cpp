// Decoder filters: libavcodec with threaded decoding, then for video, where
// a picture needs it, a libavfilter chain (display rotation, deinterlacing,
// an even width, planar 4:2:0 or 4:2:2) and for audio libswresample to
// interleaved 16-bit (or 8-bit) PCM.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>

#include "core/diag_log.h"
#include "platform/dshow/filter_library.h"
#include "platform/dshow/media_filters.h"
#include "platform/dshow/packet_queue.h"
#include "platform/lumimg/lumimg.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/cpu.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

struct CodecFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct FilterGraphFree {
  void operator()(AVFilterGraph* g) const { LoadFilterLibrary()->graphFree(&g); }
};
struct SwrFree {
  void operator()(SwrContext* s) const { swr_free(&s); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using AvFilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphFree>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFree>;

const CLSID CLSID_Decoder = {0x6d2f0a14, 0x5b1e, 0x4c2a, {0x9e, 0x61, 0x43, 0x4f, 0x52, 0x56, 0x41, 0x4e}};
constexpr AVRational kHns = {1, 10000000};

// Rotation in whole quarter turns clockwise that makes the picture upright.
int StreamRotation(const AVStream* st) {
  const uint8_t* m = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
  if (!m) return 0;
  double theta = -av_display_rotation_get(reinterpret_cast<const int32_t*>(m));
  if (std::isnan(theta)) return 0;
  theta -= 360 * std::floor(theta / 360 + 0.9 / 360);
  return static_cast<int>(std::lround(theta / 90)) % 4;
}

// The colour a decoded picture is in. Pictures that do not say which matrix
// they use are BT.709 when high definition, BT.601 otherwise.
LumYuvColour ColourOf(const AVFrame* f) {
  LumYuvColour c;
  c.fullRange = f->color_range == AVCOL_RANGE_JPEG || f->format == AV_PIX_FMT_YUVJ420P ||
                f->format == AV_PIX_FMT_YUVJ422P;
  switch (f->colorspace) {
    case AVCOL_SPC_BT709: c.kr = 0.2126, c.kb = 0.0722; break;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL: c.kr = 0.2627, c.kb = 0.0593; break;
    case AVCOL_SPC_SMPTE240M: c.kr = 0.212, c.kb = 0.087; break;
    case AVCOL_SPC_FCC: c.kr = 0.30, c.kb = 0.11; break;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M: break;
    default:
      if (f->width >= 1280 || f->height > 576) c.kr = 0.2126, c.kb = 0.0722;
      break;
  }
  return c;
}

bool SameColour(const LumYuvColour& a, const LumYuvColour& b) {
  return a.fullRange == b.fullRange && a.kr == b.kr && a.kb == b.kb;
}

bool IsInterlaced(const AVCodecParameters* p) {
  return p->field_order != AV_FIELD_UNKNOWN && p->field_order != AV_FIELD_PROGRESSIVE;
}

// Decoding threads for a video stream. The library's own choice is one more
// than the cores: with one per core a three-picture interlaced MPEG-2 clip,
// converted after its preview, stalled now and then on a slow (sanitized)
// build. Pictures of 1280x720 and more get one more again: decoding them
// takes most of a conversion, and a fourth picture in flight keeps both
// cores of a two-core machine busier (3-5 % less time for 1080p, for about
// 8 MiB).
int DecodingThreads(const AVCodecParameters* p) {
  constexpr int kLibraryMaximum = 16;
  if (static_cast<int64_t>(p->width) * p->height < 1280 * 720) return 0;
  return std::min(av_cpu_count() + 2, kLibraryMaximum);
}

class DecoderFilter;

class DecoderInPin : public PinBase {
 public:
  DecoderInPin(FilterBase* f, bool video) : PinBase(f, L"In", PINDIR_INPUT), video_(video) {}
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;

 private:
  bool video_;
};

class DecoderOutPin : public PinBase {
 public:
  explicit DecoderOutPin(FilterBase* f) : PinBase(f, L"Out", PINDIR_OUTPUT) {}
  bool GetOfferedType(CMediaType* mt) override {
    std::lock_guard<std::mutex> lock(offerLock_);
    if (!offer_.IsValid()) return false;
    *mt = offer_;
    return true;
  }
  void SetOffer(const CMediaType& mt) {
    std::lock_guard<std::mutex> lock(offerLock_);
    offer_ = mt;
  }

 private:
  std::mutex offerLock_;  // guards offer_
  CMediaType offer_;
};

CMediaType VideoType(int w, int h, AVRational sar, REFERENCE_TIME frameTime) {
  CMediaType mt;
  mt.majortype = MEDIATYPE_Video;
  mt.subtype = MEDIASUBTYPE_YUY2;
  mt.bFixedSizeSamples = TRUE;
  mt.lSampleSize = static_cast<ULONG>(w * h * 2);
  BITMAPINFOHEADER bmi{};
  bmi.biSize = sizeof(BITMAPINFOHEADER);
  bmi.biWidth = w;
  bmi.biHeight = h;
  bmi.biPlanes = 1;
  bmi.biBitCount = 16;
  bmi.biCompression = 0x32595559;  // 'YUY2'
  bmi.biSizeImage = mt.lSampleSize;
  const bool square = sar.num <= 0 || sar.den <= 0 || sar.num == sar.den;
  if (square) {
    mt.formattype = FORMAT_VideoInfo;
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    vih->rcSource = {0, 0, w, h};
    vih->rcTarget = {0, 0, w, h};
    vih->AvgTimePerFrame = frameTime;
    vih->bmiHeader = bmi;
  } else {
    mt.formattype = FORMAT_VideoInfo2;
    auto* vih = reinterpret_cast<VIDEOINFOHEADER2*>(mt.AllocFormatBuffer(sizeof(VIDEOINFOHEADER2)));
    vih->rcSource = {0, 0, w, h};
    vih->rcTarget = {0, 0, w, h};
    vih->AvgTimePerFrame = frameTime;
    vih->dwInterlaceFlags = 0;  // frames leave the decoder deinterlaced
    AVRational dar;
    av_reduce(&dar.num, &dar.den, static_cast<int64_t>(w) * sar.num, static_cast<int64_t>(h) * sar.den, 1 << 16);
    vih->dwPictAspectRatioX = static_cast<DWORD>(dar.num);
    vih->dwPictAspectRatioY = static_cast<DWORD>(dar.den);
    vih->bmiHeader = bmi;
  }
  return mt;
}

CMediaType AudioType(int rate, int channels, int bits) {
  CMediaType mt;
  mt.majortype = MEDIATYPE_Audio;
  mt.subtype = MEDIASUBTYPE_PCM;
  mt.formattype = FORMAT_WaveFormatEx;
  mt.bFixedSizeSamples = TRUE;
  auto* wfx = reinterpret_cast<WAVEFORMATEX*>(mt.AllocFormatBuffer(sizeof(WAVEFORMATEX)));
  wfx->wFormatTag = WAVE_FORMAT_PCM;
  wfx->nChannels = static_cast<WORD>(channels);
  wfx->nSamplesPerSec = static_cast<DWORD>(rate);
  wfx->wBitsPerSample = static_cast<WORD>(bits);
  wfx->nBlockAlign = static_cast<WORD>(channels * bits / 8);
  wfx->nAvgBytesPerSec = wfx->nBlockAlign * wfx->nSamplesPerSec;
  mt.lSampleSize = wfx->nBlockAlign;
  return mt;
}

class DecoderFilter : public FilterBase {
 public:
  explicit DecoderFilter(bool video) : FilterBase("decoder", CLSID_Decoder), video_(video) {
    pins_.push_back(new DecoderInPin(this, video));
    pins_.push_back(out_ = new DecoderOutPin(this));
  }
  ~DecoderFilter() override { OnStop(); }
  int Rank() const override { return 2; }
  bool IsVideo() const { return video_; }

  // Opens the codec for the stream the source pin offers.
  HRESULT OpenFor(IPin* sourcePin) {
    IStreamPacketSource* src = nullptr;
    if (FAILED(sourcePin->QueryInterface(IID_IStreamPacketSource, reinterpret_cast<void**>(&src))) || !src)
      return VFW_E_TYPE_NOT_ACCEPTED;
    sourcePin->Release();  // the connection holds the pin
    const AVStream* st = src->Stream();
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec) return VFW_E_TYPE_NOT_ACCEPTED;
    CodecPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx || avcodec_parameters_to_context(ctx.get(), st->codecpar) < 0) return VFW_E_TYPE_NOT_ACCEPTED;
    ctx->pkt_timebase = st->time_base;
    if (video_) {
      ctx->thread_count = DecodingThreads(st->codecpar);
      ctx->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    }
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return VFW_E_TYPE_NOT_ACCEPTED;
    CMediaType offer;
    if (video_) {
      int w = st->codecpar->width, h = st->codecpar->height;
      if (w <= 0 || h <= 0) return VFW_E_TYPE_NOT_ACCEPTED;
      rotation_ = StreamRotation(st);
      interlaced_ = IsInterlaced(st->codecpar);
      cover_ = st->disposition & AV_DISPOSITION_ATTACHED_PIC;
      if (rotation_ % 2) std::swap(w, h);
      AVRational sar = av_guess_sample_aspect_ratio(nullptr, const_cast<AVStream*>(st), nullptr);
      if (rotation_ % 2) std::swap(sar.num, sar.den);
      // The container's average rate can be a little off (edit lists, a
      // short last frame); the stream's base rate is exact when they agree.
      AVRational fr = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
      if (st->r_frame_rate.num > 0 && st->avg_frame_rate.num > 0 &&
          std::fabs(av_q2d(st->r_frame_rate) / av_q2d(st->avg_frame_rate) - 1.0) < 0.05)
        fr = st->r_frame_rate;
      frameTime_ = fr.num > 0 && fr.den > 0 ? av_rescale_q(1, av_inv_q(fr), kHns) : 400000;
      offer = VideoType(std::max(w & ~1, 2), h, sar, frameTime_);
    } else {
      int ch = ctx->ch_layout.nb_channels;
      if (ch <= 0 || ctx->sample_rate <= 0) return VFW_E_TYPE_NOT_ACCEPTED;
      bits_ = (ctx->sample_fmt == AV_SAMPLE_FMT_U8 || ctx->sample_fmt == AV_SAMPLE_FMT_U8P) ? 8 : 16;
      offer = AudioType(ctx->sample_rate, ch, bits_);
    }
    src_ = src;
    timeBase_ = st->time_base;
    fileStart_ = src->FileStartTime();
    ctx_ = std::move(ctx);
    out_->SetOffer(offer);
    outType_ = offer;
    return S_OK;
  }

  void OnConnected(PinBase* pin) override {
    if (pin == pins_[0] && !pin->IsConnected()) {
      src_ = nullptr;
      ctx_.reset();
    }
  }

 protected:
  void OnStart() override {
    if (!ctx_ || !src_) return;
    avcodec_flush_buffers(ctx_.get());
    filter_.reset();
    configured_ = false;
    swr_.reset();
    nextAudio_ = AV_NOPTS_VALUE;
    lastPts_ = AV_NOPTS_VALUE;
    discontinuity_ = true;
    abort_ = false;
    thread_ = std::thread([this] { Stream(); });
  }
  void OnStop() override {
    abort_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Stream() {
    SetCurrentThreadName(video_ ? "video decode" : "audio decode");
    FramePtr frame(av_frame_alloc());
    bool ended = false;
    while (!abort_ && !ended) {
      PacketPtr pkt;
      auto r = src_->Queue().Next(&pkt, 50);
      if (r == PacketQueue::Pop::kTimeout) continue;
      if (r == PacketQueue::Pop::kAborted) break;
      ended = (r == PacketQueue::Pop::kEnd);
      // A full decoder (EAGAIN) gives frames first and then takes the
      // packet; damaged data it refuses is skipped.
      if (video_) ctx_->skip_loop_filter = shrinking.load() ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
      for (int tries = 0; tries < 100 && !abort_; ++tries) {
        int sent = avcodec_send_packet(ctx_.get(), ended ? nullptr : pkt.get());
        ReceiveFrames(frame.get());
        if (sent != AVERROR(EAGAIN)) break;
      }
    }
    if (ended && !abort_) {
      if (video_) FlushFilters();
      out_->DeliverEndOfStream();
    }
  }

  void ReceiveFrames(AVFrame* frame) {
    while (!abort_) {
      int ret = avcodec_receive_frame(ctx_.get(), frame);
      if (ret < 0) break;  // EAGAIN, end of stream or a damaged frame
      if (video_) FilterVideo(frame);
      else DeliverAudio(frame);
      av_frame_unref(frame);
    }
  }

  // The common picture (progressive, upright, an even width, planar 4:2:0
  // or 4:2:2) goes to the delivery as decoded: the filters would pass it
  // through unchanged, and their library is then never loaded.
  bool NeedsFilters(const AVFrame* f) const {
    const bool planar = f->format == AV_PIX_FMT_YUV420P || f->format == AV_PIX_FMT_YUVJ420P ||
                        f->format == AV_PIX_FMT_YUV422P || f->format == AV_PIX_FMT_YUVJ422P;
    return interlaced_ || f->interlaced_frame || rotation_ != 0 || f->width < 2 || (f->width & 1) || !planar;
  }

  // Chooses, for the pictures of the first one's size and format, between
  // the delivery as decoded and the filters.
  bool Configure(const AVFrame* f) {
    configured_ = false;
    if (NeedsFilters(f)) {
      fl_ = LoadFilterLibrary();
      if (!fl_ || !BuildFilter(f)) return false;
      outTimeBase_ = fl_->sinkTimeBase(sink_ctx_);
    } else {
      filter_.reset();
      outTimeBase_ = timeBase_;
    }
    inW_ = f->width;
    inH_ = f->height;
    inFmt_ = f->format;
    configured_ = true;
    return true;
  }

  // End of input for the filters, if any; a refused flush leaves nothing
  // to drain.
  void FlushFilters() {
    if (filter_ && fl_->addFrame(src_ctx_, nullptr, 0) >= 0) DrainVideo();
  }

  bool BuildFilter(const AVFrame* f) {
    filter_.reset(fl_->graphAlloc());
    if (!filter_) return false;
    char args[256];
    AVRational sar = f->sample_aspect_ratio.num > 0 ? f->sample_aspect_ratio : AVRational{1, 1};
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", f->width,
                  f->height, f->format, timeBase_.num, timeBase_.den, sar.num, sar.den);
    std::string chain;
    if (interlaced_ || f->interlaced_frame) chain += "bwdif=mode=send_frame:deint=interlaced,";
    if (rotation_ == 1) chain += "transpose=clock,";
    else if (rotation_ == 2) chain += "hflip,vflip,";
    else if (rotation_ == 3) chain += "transpose=cclock,";
    // Packed 4:2:2 needs an even width: an odd one loses its last column,
    // a picture one pixel wide gets a second. The filters end in planar
    // 4:2:0 or 4:2:2 (most decoders give one of them, so no conversion
    // runs); the packing to YUY2 is ours, and fast.
    const int width = (rotation_ == 1 || rotation_ == 3) ? f->height : f->width;
    chain += width >= 2 ? "crop=trunc(iw/2)*2:ih," : "scale=2:ih:flags=neighbor,";
    chain += "format=yuv420p|yuvj420p|yuv422p|yuvj422p";
    AVFilterContext* sink = nullptr;
    if (fl_->createFilter(&src_ctx_, fl_->filterByName("buffer"), "in", args, nullptr, filter_.get()) < 0 ||
        fl_->createFilter(&sink, fl_->filterByName("buffersink"), "out", nullptr, nullptr, filter_.get()) < 0) {
      filter_.reset();
      return false;
    }
    AVFilterInOut* outputs = fl_->inOutAlloc();
    AVFilterInOut* inputs = fl_->inOutAlloc();
    outputs->name = av_strdup("in");
    outputs->filter_ctx = src_ctx_;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink;
    int r = fl_->graphParse(filter_.get(), chain.c_str(), &inputs, &outputs, nullptr);
    fl_->inOutFree(&inputs);
    fl_->inOutFree(&outputs);
    if (r < 0 || fl_->graphConfig(filter_.get(), nullptr) < 0) {
      filter_.reset();
      return false;
    }
    sink_ctx_ = sink;
    return true;
  }

  void FilterVideo(AVFrame* f) {
    if (!configured_ || f->width != inW_ || f->height != inH_ || f->format != inFmt_) {
      FlushFilters();
      if (!Configure(f)) return;
    }
    if (f->pts == AV_NOPTS_VALUE) f->pts = f->best_effort_timestamp;
    // A picture without any time (the last one a decoder flushes from some
    // MPEG streams) follows the one before it; in a bare stream, which has
    // no times at all, the first starts the stream.
    if (f->pts == AV_NOPTS_VALUE)
      f->pts = lastPts_ == AV_NOPTS_VALUE ? av_rescale_q(fileStart_, kHns, timeBase_)
                                          : lastPts_ + std::max<int64_t>(av_rescale_q(frameTime_, kHns, timeBase_), 1);
    if (f->pts != AV_NOPTS_VALUE) lastPts_ = f->pts;
    if (!filter_) return DeliverVideo(f);
    if (fl_->addFrame(src_ctx_, f, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) return;
    DrainVideo();
  }

  void DrainVideo() {
    FramePtr out(av_frame_alloc());
    while (!abort_ && fl_->getFrame(sink_ctx_, out.get()) >= 0) {
      DeliverVideo(out.get());
      av_frame_unref(out.get());
    }
  }

  void DeliverVideo(const AVFrame* f) {
    const int w = f->width, h = f->height;
    if (f->pts == AV_NOPTS_VALUE) return;
    REFERENCE_TIME start = cover_ ? 0 : av_rescale_q(f->pts, outTimeBase_, kHns) - fileStart_ - SegmentStart();
    // A picture lasts as long as its container says (slide shows, variable
    // rates), else a frame time of the stream's rate. The filters keep the
    // packet's duration in the stream's time base.
    REFERENCE_TIME stop = start + (f->pkt_duration > 0 ? av_rescale_q(f->pkt_duration, timeBase_, kHns) : frameTime_);
    if (stop <= 0) return;  // before the segment start (after a seek)
    MediaSample* ms = KeptPicture(f);
    if (!ms) return;
    ComPtr<IMediaSample> s(ms);
    ms->SetActualDataLength(w * h * 2);
    ms->SetTime(&start, &stop);
    MarkDiscontinuity(ms);
    const auto* cur = reinterpret_cast<const VIDEOINFOHEADER*>(outType_.pbFormat);
    const BITMAPINFOHEADER& bmi = outType_.formattype == FORMAT_VideoInfo2
                                      ? reinterpret_cast<const VIDEOINFOHEADER2*>(outType_.pbFormat)->bmiHeader
                                      : cur->bmiHeader;
    if (bmi.biWidth != w || bmi.biHeight != h) {
      outType_ = VideoType(w, h, f->sample_aspect_ratio, frameTime_);
      out_->SetCurrentType(outType_);
      ms->SetMediaType(&outType_);
    }
    out_->Deliver(ms);
  }

  // A sample that keeps a reference to the filtered picture and packs it
  // into 4:2:2 only when read: the capture path scales the planes, so a
  // conversion packs just the pictures something shows.
  MediaSample* KeptPicture(const AVFrame* f) {
    std::shared_ptr<AVFrame> ref(av_frame_clone(f), [](AVFrame* p) { av_frame_free(&p); });
    if (!ref) return nullptr;
    LumPlanarPicture picture;
    for (int i = 0; i < 3; ++i) {
      picture.planes[i] = ref->data[i];
      picture.strides[i] = ref->linesize[i];
    }
    picture.width = f->width;
    picture.height = f->height;
    picture.chromaRowShift = f->format == AV_PIX_FMT_YUV420P || f->format == AV_PIX_FMT_YUVJ420P ? 1 : 0;
    if (const LumColourMap* map = ColourMapFor(f)) {
      picture.converts = true;
      picture.colour = *map;
    }
    const std::size_t bytes = static_cast<std::size_t>(f->width) * f->height * 2;
    return new MediaSample(bytes, picture, [ref, picture](BYTE* dst) {
      LumPlanarToPacked422(picture.planes[0], picture.strides[0], picture.planes[1], picture.strides[1],
                           picture.planes[2], picture.strides[2], picture.chromaRowShift, dst, picture.width * 2,
                           picture.width, picture.height, picture.Colour());
    });
  }

  // Everything downstream (the preview, the capture path, the thumbnails)
  // takes studio-range BT.601: other pictures are converted while packed
  // (or, in the capture path, once scaled).
  const LumColourMap* ColourMapFor(const AVFrame* f) {
    const LumYuvColour c = ColourOf(f);
    if (SameColour(c, kLumStudioBt601)) return nullptr;
    if (!SameColour(c, mapColour_)) {
      colourMap_ = LumMakeColourMap(c, kLumStudioBt601);
      mapColour_ = c;
    }
    return &colourMap_;
  }

  void DeliverAudio(AVFrame* f) {
    const int ch = f->ch_layout.nb_channels;
    if (ch <= 0 || f->sample_rate <= 0 || f->nb_samples <= 0) return;
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(outType_.pbFormat);
    bool changed = wfx->nChannels != ch || static_cast<int>(wfx->nSamplesPerSec) != f->sample_rate;
    if (changed || !swr_ || swrFmt_ != f->format) {
      SwrContext* raw = nullptr;
      AVSampleFormat outFmt = bits_ == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
      if (swr_alloc_set_opts2(&raw, &f->ch_layout, outFmt, f->sample_rate, &f->ch_layout,
                              static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr) < 0)
        return;
      swr_.reset(raw);
      if (swr_init(swr_.get()) < 0) {
        swr_.reset();
        return;
      }
      swrFmt_ = f->format;
    }
    const int bytesPerFrame = ch * bits_ / 8;
    auto* ms = new MediaSample(static_cast<std::size_t>(f->nb_samples + 32) * bytesPerFrame);
    ComPtr<IMediaSample> s(ms);
    uint8_t* outp[1] = {ms->Data()};
    int n = swr_convert(swr_.get(), outp, f->nb_samples + 32, const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
    if (n <= 0) return;
    ms->SetActualDataLength(n * bytesPerFrame);
    // Times follow the sample count; a jump of more than 40 ms in the frame
    // times (a gap in the file) starts the count again there.
    REFERENCE_TIME start = nextAudio_;
    int64_t pts = f->best_effort_timestamp;
    if (pts != AV_NOPTS_VALUE) {
      REFERENCE_TIME t = av_rescale_q(pts, timeBase_, kHns) - fileStart_ - SegmentStart();
      if (start == AV_NOPTS_VALUE || std::llabs(t - start) > 400000) start = t;
    }
    if (start == AV_NOPTS_VALUE) start = 0;
    REFERENCE_TIME stop = start + av_rescale(n, 10000000, f->sample_rate);
    nextAudio_ = stop;
    if (stop <= 0) return;
    ms->SetTime(&start, &stop);
    MarkDiscontinuity(ms);
    if (changed) {
      outType_ = AudioType(f->sample_rate, ch, bits_);
      out_->SetCurrentType(outType_);
      ms->SetMediaType(&outType_);
    }
    out_->Deliver(ms);
  }

  REFERENCE_TIME SegmentStart();

  // The first sample after the stream (re)starts, as after a seek, is
  // marked: what came before it does not continue into it.
  void MarkDiscontinuity(MediaSample* ms) {
    ms->SetDiscontinuity(discontinuity_);
    discontinuity_ = false;
  }

  bool video_;
  DecoderOutPin* out_;
  IStreamPacketSource* src_ = nullptr;  // the connected source pin
  CodecPtr ctx_;
  const FilterLibrary* fl_ = nullptr;  // loaded when a picture needs the filters
  AvFilterGraphPtr filter_;            // null while pictures go as decoded
  AVFilterContext* src_ctx_ = nullptr;
  AVFilterContext* sink_ctx_ = nullptr;
  bool configured_ = false;  // for pictures of inW_ x inH_ in inFmt_
  int inW_ = 0, inH_ = 0, inFmt_ = -1;
  AVRational outTimeBase_{1, 1};  // of the pictures delivered
  SwrPtr swr_;
  int swrFmt_ = -1;
  int bits_ = 16;
  int rotation_ = 0;
  LumColourMap colourMap_{};  // streaming thread: the map from mapColour_
  LumYuvColour mapColour_ = kLumStudioBt601;
  bool interlaced_ = false;
  bool cover_ = false;  // a sound file's cover picture: one picture, shown from the start
  REFERENCE_TIME frameTime_ = 400000;
  int64_t lastPts_ = AV_NOPTS_VALUE;  // of the previous picture, in the stream's time base
  bool discontinuity_ = true;         // the next sample is the first since the stream started
  REFERENCE_TIME fileStart_ = 0;
  REFERENCE_TIME nextAudio_ = AV_NOPTS_VALUE;
  AVRational timeBase_{1, 1};
  CMediaType outType_;  // streaming thread, or the graph while stopped
  std::thread thread_;
  std::atomic<bool> abort_{false};

 public:
  std::atomic<REFERENCE_TIME> segmentStart{0};
  // Pictures no other picture refers to are decoded without deblocking
  // while this is set: for pictures shrunk to half their size or less,
  // where its effect averages away (see SetDecodersShrinking).
  std::atomic<bool> shrinking{false};
};

REFERENCE_TIME DecoderFilter::SegmentStart() { return segmentStart.load(); }

HRESULT DecoderInPin::CheckMediaType(const AM_MEDIA_TYPE& mt) {
  if (!(mt.formattype == FORMAT_FfmpegStream)) return VFW_E_TYPE_NOT_ACCEPTED;
  if (!(mt.majortype == (video_ ? MEDIATYPE_Video : MEDIATYPE_Audio))) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

}  // namespace

FilterBase* CreateDecoder(bool video) { return new DecoderFilter(video); }

HRESULT OpenDecoderFor(FilterBase* decoder, IPin* sourcePin) {
  return static_cast<DecoderFilter*>(decoder)->OpenFor(sourcePin);
}

void SetDecoderSegment(FilterBase* decoder, REFERENCE_TIME t) {
  static_cast<DecoderFilter*>(decoder)->segmentStart = t;
}

namespace {
// Calls visit for each of the graph's decoders.
template <typename Visit>
void ForEachDecoder(IFilterGraph* graph, Visit visit) {
  ComPtr<IEnumFilters> filters;
  if (!graph || FAILED(graph->EnumFilters(&filters)) || !filters) return;
  for (IBaseFilter* f = nullptr; filters->Next(1, &f, nullptr) == S_OK; f = nullptr) {
    if (auto* base = static_cast<FilterBase*>(f); IsDecoder(base)) visit(*static_cast<DecoderFilter*>(base));
    f->Release();
  }
}
}  // namespace

void SetDecodersShrinking(IFilterGraph* graph, bool shrinking) {
  ForEachDecoder(graph, [shrinking](DecoderFilter& d) { d.shrinking = shrinking; });
}

bool DecodersShrinking(IFilterGraph* graph) {
  bool any = false;
  ForEachDecoder(graph, [&any](DecoderFilter& d) { any = any || d.shrinking.load(); });
  return any;
}

bool IsDecoder(FilterBase* f) {
  CLSID c;
  return f && SUCCEEDED(f->GetClassID(&c)) && c == CLSID_Decoder;
}
