// The file source: a libavformat demuxer with one output pin for the best
// video stream and one for the best audio stream. A demux thread fills one
// packet queue per pin; each decoder pulls from its queue on its own thread.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <algorithm>

#include "core/diag_log.h"
#include "platform/dshow/media_filters.h"
#include "platform/dshow/packet_queue.h"
#include "platform/dshow/source_streams.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

struct FormatCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;

// The demuxer's interrupt: every read that waits (a network stream, a
// share that stopped answering) asks it and gives up once the stop has set
// it. It is handed to the format context before the file opens, which is
// when the reading layers below take their copy of the callback.
struct ReadInterrupt {
  std::atomic<bool> abort{false};
  static int Asked(void* self) { return static_cast<ReadInterrupt*>(self)->abort.load() ? 1 : 0; }
};

const CLSID CLSID_FileSource = {0x6d2f0a12, 0x5b1e, 0x4c2a, {0x9e, 0x61, 0x43, 0x4f, 0x52, 0x56, 0x41, 0x4e}};

class SourcePin : public PinBase, public IStreamPacketSource {
 public:
  SourcePin(FilterBase* f, const wchar_t* name, AVStream* st, AVFormatContext* fmt)
      : PinBase(f, name, PINDIR_OUTPUT), stream_(st), fmt_(fmt) {}
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IStreamPacketSource) {
      *ppv = static_cast<IStreamPacketSource*>(this);
      AddRef();
      return S_OK;
    }
    return PinBase::QueryInterface(riid, ppv);
  }
  bool GetOfferedType(CMediaType* mt) override {
    mt->majortype = stream_->codecpar->codec_type == AVMEDIA_TYPE_VIDEO ? MEDIATYPE_Video : MEDIATYPE_Audio;
    mt->subtype = FORMAT_FfmpegStream;
    mt->subtype.Data1 = static_cast<std::uint32_t>(stream_->codecpar->codec_id);
    mt->formattype = FORMAT_FfmpegStream;
    return true;
  }
  const AVStream* Stream() const override { return stream_; }
  REFERENCE_TIME FileStartTime() const override {
    return fmt_->start_time == AV_NOPTS_VALUE ? 0 : av_rescale(fmt_->start_time, 10, 1);
  }
  PacketQueue& Queue() override { return queue_; }

 private:
  AVStream* stream_;
  AVFormatContext* fmt_;
  PacketQueue queue_;
};

class FileSource : public FilterBase {
 public:
  FileSource(std::unique_ptr<ReadInterrupt> interrupt, FormatPtr fmt, int video, int audio)
      : FilterBase("file source", CLSID_FileSource), interrupt_(std::move(interrupt)), fmt_(std::move(fmt)) {
    if (video >= 0) pins_.push_back(new SourcePin(this, L"Video", fmt_->streams[video], fmt_.get()));
    if (audio >= 0) pins_.push_back(new SourcePin(this, L"Audio", fmt_->streams[audio], fmt_.get()));
  }
  ~FileSource() override { OnStop(); }
  int Rank() const override { return 3; }

  void SetStart(REFERENCE_TIME t) {
    std::lock_guard<std::mutex> lock(startLock_);
    start_ = t;
  }
  REFERENCE_TIME Duration() const {
    return fmt_->duration == AV_NOPTS_VALUE ? 0 : av_rescale(fmt_->duration, 10, 1);
  }

 protected:
  void OnStart() override {
    for (PinBase* p : pins_) static_cast<SourcePin*>(p)->Queue().Reset();
    abort_ = false;
    thread_ = std::thread([this] { Demux(); });
  }
  void OnStop() override {
    abort_ = true;
    for (PinBase* p : pins_) static_cast<SourcePin*>(p)->Queue().Abort();
    if (thread_.joinable()) thread_.join();
    // Decoders start before the source on the next start: they must find
    // an empty, open queue rather than the abort of this stop.
    for (PinBase* p : pins_) static_cast<SourcePin*>(p)->Queue().Reset();
  }

 private:
  SourcePin* PinFor(int streamIndex) {
    for (PinBase* p : pins_) {
      auto* sp = static_cast<SourcePin*>(p);
      if (sp->Stream()->index == streamIndex && sp->IsConnected()) return sp;
    }
    return nullptr;
  }

  // True when some other connected queue has run dry: the demuxer must then
  // go on reading, or that stream's decoder would starve.
  bool OtherQueueEmpty(SourcePin* self) {
    for (PinBase* p : pins_) {
      auto* sp = static_cast<SourcePin*>(p);
      if (sp != self && sp->IsConnected() && sp->Queue().Size() == 0 && !sp->Queue().Ended()) return true;
    }
    return false;
  }

  void SeekToStart() {
    REFERENCE_TIME start;
    {
      std::lock_guard<std::mutex> lock(startLock_);
      start = start_;
    }
    if (start <= 0 && !started_) {
      started_ = true;
      return;
    }
    started_ = true;
    // A bare stream cannot seek by time; a search by time stamps in a format
    // without an index can land past the first pictures: the start itself
    // is the first byte.
    const bool fromTheStart = start <= 0 && (fmt_->iformat->flags & AVFMT_TS_DISCONT);
    if (IsBareStream(fmt_.get()) || fromTheStart) {
      SeekToFirstByte(fmt_.get());
      return;
    }
    int64_t ts = av_rescale(start, 1, 10);
    // Formats without an index land after the target, often past its
    // key frame: start a second early; the decoder drops what comes before.
    if (fmt_->iformat->flags & AVFMT_TS_DISCONT) ts = std::max<int64_t>(0, ts - AV_TIME_BASE);
    if (fmt_->start_time != AV_NOPTS_VALUE) ts += fmt_->start_time;
    if (avformat_seek_file(fmt_.get(), -1, INT64_MIN, ts, ts, 0) < 0)
      av_seek_frame(fmt_.get(), -1, ts, AVSEEK_FLAG_BACKWARD);
  }

  void Demux() {
    SetCurrentThreadName("demux");
    SeekToStart();
    AVPacket* pkt = av_packet_alloc();
    int errors = 0;
    while (!abort_ && pkt) {
      int r = av_read_frame(fmt_.get(), pkt);
      if (r == AVERROR(EAGAIN)) {
        Sleep(5);
        continue;
      }
      if (r < 0) {
        // End of file, a truncated file or an unreadable rest: all end here.
        if (r != AVERROR_EOF && ++errors < 3 && !(fmt_->pb && fmt_->pb->eof_reached)) continue;
        break;
      }
      errors = 0;
      SourcePin* pin = PinFor(pkt->stream_index);
      if (!pin) {
        av_packet_unref(pkt);
        continue;
      }
      if (pin->Queue().Ended()) {  // after its last packet
        av_packet_unref(pkt);
        continue;
      }
      const bool last = IsLastPacket(pin->Stream(), *pkt);
      PacketPtr copy(av_packet_alloc());
      av_packet_move_ref(copy.get(), pkt);
      pin->Queue().Push(std::move(copy), [&] { return abort_.load() || OtherQueueEmpty(pin); });
      if (last) pin->Queue().End();
    }
    av_packet_free(&pkt);
    for (PinBase* p : pins_) static_cast<SourcePin*>(p)->Queue().End();
  }

  std::unique_ptr<ReadInterrupt> interrupt_;  // outlives fmt_, which asks it
  FormatPtr fmt_;
  std::thread thread_;
  std::atomic<bool>& abort_ = interrupt_->abort;
  std::mutex startLock_;  // guards start_
  REFERENCE_TIME start_ = 0;
  bool started_ = false;  // demux thread only (threads never overlap)
};

}  // namespace

FilterBase* CreateFileSource(const std::wstring& path, HRESULT* phr) {
  RouteMediaLibraryLog();
  std::string p = WideToUtf8(path.c_str());
  auto interrupt = std::make_unique<ReadInterrupt>();
  AVFormatContext* raw = avformat_alloc_context();
  if (!raw) {
    *phr = E_OUTOFMEMORY;
    return nullptr;
  }
  raw->interrupt_callback = {ReadInterrupt::Asked, interrupt.get()};
  int r = avformat_open_input(&raw, p.c_str(), nullptr, nullptr);
  if (r < 0) {
    *phr = (r == AVERROR(ENOENT)) ? HRESULT_FILE_NOT_FOUND : VFW_E_INVALID_FILE_FORMAT;
    return nullptr;
  }
  FormatPtr fmt(raw);
  if (avformat_find_stream_info(fmt.get(), nullptr) < 0) {
    *phr = VFW_E_INVALID_FILE_FORMAT;
    return nullptr;
  }
  StreamChoice chosen = ChooseStreams(fmt.get());
  if (chosen.video >= 0 && !LearnPictureSize(fmt.get(), chosen.video)) chosen.video = -1;
  if (chosen.video < 0 && chosen.audio < 0) {
    *phr = VFW_E_UNSUPPORTED_STREAM;
    return nullptr;
  }
  EstimateBareStreamDuration(fmt.get(), chosen.video);
  CorrectJumpedDuration(fmt.get());
  *phr = S_OK;
  return new FileSource(std::move(interrupt), std::move(fmt), chosen.video, chosen.audio);
}

void SetSourceStart(FilterBase* source, REFERENCE_TIME t) { static_cast<FileSource*>(source)->SetStart(t); }
REFERENCE_TIME SourceDuration(FilterBase* source) { return static_cast<FileSource*>(source)->Duration(); }
bool IsFileSource(FilterBase* f) {
  CLSID c;
  return f && SUCCEEDED(f->GetClassID(&c)) && c == CLSID_FileSource;
}
