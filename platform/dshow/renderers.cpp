// The renderers. Each waits for a sample's start time with AdviseTime on
// the graph's sync source (a late sample is presented at once, none is
// dropped), then presents it: the video renderer to the owner window's
// frame sink, the audio renderer to the sound device when there is one.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/core/messages.h"
#include "platform/dshow/media_filters.h"

#ifdef CORVANE_HAVE_SDL2
#include <SDL2/SDL.h>
#endif

namespace {

const CLSID CLSID_VideoRenderer = {0x70e102b0, 0x5556, 0x11ce, {0x97, 0xc0, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5f}};
const CLSID CLSID_AudioRender = {0xe30629d1, 0x27e5, 0x11ce, {0x87, 0x5d, 0x00, 0x60, 0x8c, 0xb7, 0x80, 0x66}};

class RendererPin : public PinBase {
 public:
  RendererPin(FilterBase* f, bool video) : PinBase(f, L"In", PINDIR_INPUT), video_(video) {}
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
    if (video_)
      return mt.majortype == MEDIATYPE_Video && mt.subtype == MEDIASUBTYPE_YUY2 &&
                     (mt.formattype == FORMAT_VideoInfo || mt.formattype == FORMAT_VideoInfo2) && mt.pbFormat
                 ? S_OK
                 : VFW_E_TYPE_NOT_ACCEPTED;
    return mt.majortype == MEDIATYPE_Audio && mt.subtype == MEDIASUBTYPE_PCM && mt.formattype == FORMAT_WaveFormatEx &&
                   mt.cbFormat >= sizeof(WAVEFORMATEX)
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
  }

 private:
  bool video_;
};

class Renderer : public FilterBase {
 public:
  Renderer(const char* name, const CLSID& clsid, bool video) : FilterBase(name, clsid) {
    pins_.push_back(new RendererPin(this, video));
  }
  int Rank() const override { return 0; }
  bool IsCued() override {
    std::lock_guard<std::mutex> lock(m_);
    return cued_ || eos_ || !pins_[0]->IsConnected();
  }

  HRESULT OnReceive(PinBase*, IMediaSample* s) override {
    REFERENCE_TIME start = 0, stop = 0;
    bool timed = SUCCEEDED(s->GetTime(&start, &stop));
    AM_MEDIA_TYPE* mt = nullptr;
    if (s->GetMediaType(&mt) == S_OK && mt) {
      pins_[0]->SetCurrentType(CMediaType(*mt));
      DeleteMediaType(mt);
    }
    bool presented = false, repaintDue = false;
    for (;;) {
      const unsigned gen = gen_.load();
      FILTER_STATE st = State();
      if (st == State_Stopped) return VFW_E_WRONG_STATE;
      if (st == State_Paused) {
        // Hold the sample; the video renderer shows the first one as the
        // paused picture, and asks for a repaint once the pause has lasted
        // (a Run straight from Stop passes through a brief pause).
        bool first;
        {
          std::lock_guard<std::mutex> lock(m_);
          first = !cued_;
          cued_ = true;
        }
        if (first && !presented && ShowsWhilePaused()) {
          Present(s);
          presented = repaintDue = true;
        }
        if (!WaitStateChange(gen, 100) && repaintDue) {
          repaintDue = false;
          Notify(EC_REPAINT, 0, 0);
        }
        continue;
      }
      ComPtr<IReferenceClock> clock = Clock();
      // A sample already due is rendered at once, without a trip through
      // the clock's advise thread.
      REFERENCE_TIME now = 0;
      if (clock && timed && SUCCEEDED(clock->GetTime(&now)) && StartTime() + start <= now) break;
      if (clock && timed) {
        DWORD_PTR cookie = 0;
        advise_.Reset();
        if (SUCCEEDED(clock->AdviseTime(StartTime(), start, &advise_, &cookie))) {
          bool fired = false;
          // Wake every 50 ms to notice a pause or stop while waiting.
          while (!(fired = advise_.Wait(50)))
            if (gen_.load() != gen) break;
          if (!fired) {
            clock->Unadvise(cookie);
            continue;
          }
        }
      }
      break;
    }
    {
      std::lock_guard<std::mutex> lock(m_);
      cued_ = false;
    }
    if (!presented) Present(s);
    return S_OK;
  }

  HRESULT OnEndOfStream(PinBase*) override {
    if (State() == State_Stopped) return S_OK;
    {
      std::lock_guard<std::mutex> lock(m_);
      eos_ = true;
    }
    SendCompleteIfRunning();
    return S_OK;
  }

 protected:
  virtual void Present(IMediaSample* s) = 0;
  virtual bool ShowsWhilePaused() const = 0;

  void OnStart() override {
    std::lock_guard<std::mutex> lock(m_);
    eos_ = false;
    eosSent_ = false;
    cued_ = false;
  }
  void OnStateChanged() override {
    {
      std::lock_guard<std::mutex> lock(m_);
      ++gen_;
    }
    stateCv_.notify_all();
    SendCompleteIfRunning();
  }

  // True when the state changed within ms.
  bool WaitStateChange(unsigned gen, int ms) {
    std::unique_lock<std::mutex> lock(m_);
    return stateCv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return gen_.load() != gen; });
  }

  void SendCompleteIfRunning() {
    const bool running = State() == State_Running;
    {
      std::lock_guard<std::mutex> lock(m_);
      if (!eos_ || eosSent_ || !running) return;
      eosSent_ = true;
    }
    Notify(EC_COMPLETE, S_OK, 0);
  }

  std::mutex m_;  // guards cued_, eos_, eosSent_ and orders gen_ with stateCv_
  std::condition_variable stateCv_;
  std::atomic<unsigned> gen_{0};
  bool cued_ = false, eos_ = false, eosSent_ = false;
  CAMEvent advise_;  // streaming thread's advise event
};

class VideoRenderer : public Renderer, public IVideoWindow {
 public:
  VideoRenderer() : Renderer("video renderer", CLSID_VideoRenderer, true) {}
  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IVideoWindow) return GetInterface(static_cast<IVideoWindow*>(this), ppv);
    return Renderer::NonDelegatingQueryInterface(riid, ppv);
  }
  HRESULT put_Owner(OAHWND o) override { std::lock_guard<std::mutex> l(w_); owner_ = o; return S_OK; }
  HRESULT get_Owner(OAHWND* o) override { if (!o) return E_POINTER; std::lock_guard<std::mutex> l(w_); *o = owner_; return S_OK; }
  HRESULT put_WindowStyle(LONG s) override { std::lock_guard<std::mutex> l(w_); style_ = s; return S_OK; }
  HRESULT get_WindowStyle(LONG* s) override { if (!s) return E_POINTER; std::lock_guard<std::mutex> l(w_); *s = style_; return S_OK; }
  HRESULT put_MessageDrain(OAHWND d) override { std::lock_guard<std::mutex> l(w_); drain_ = d; return S_OK; }
  HRESULT get_MessageDrain(OAHWND* d) override { if (!d) return E_POINTER; std::lock_guard<std::mutex> l(w_); *d = drain_; return S_OK; }
  HRESULT SetWindowPosition(LONG l, LONG t, LONG w, LONG h) override {
    std::lock_guard<std::mutex> lk(w_);
    pos_ = {l, t, w, h};
    return S_OK;
  }
  HRESULT GetWindowPosition(LONG* l, LONG* t, LONG* w, LONG* h) override {
    if (!l || !t || !w || !h) return E_POINTER;
    std::lock_guard<std::mutex> lk(w_);
    *l = pos_.left; *t = pos_.top; *w = pos_.right; *h = pos_.bottom;
    return S_OK;
  }
  HRESULT put_Visible(LONG v) override { std::lock_guard<std::mutex> l(w_); visible_ = v; return S_OK; }
  HRESULT get_Visible(LONG* v) override { if (!v) return E_POINTER; std::lock_guard<std::mutex> l(w_); *v = visible_; return S_OK; }
  HRESULT put_AutoShow(LONG a) override { std::lock_guard<std::mutex> l(w_); autoShow_ = a; return S_OK; }
  HRESULT get_AutoShow(LONG* a) override { if (!a) return E_POINTER; std::lock_guard<std::mutex> l(w_); *a = autoShow_; return S_OK; }

 protected:
  bool ShowsWhilePaused() const override { return true; }
  void Present(IMediaSample* s) override {
    IVideoFrameSink* sink = nullptr;
    {
      std::lock_guard<std::mutex> l(w_);
      if (owner_ && visible_) sink = dynamic_cast<IVideoFrameSink*>(reinterpret_cast<MessageWindow*>(owner_));
    }
    if (!sink) return;
    CMediaType mt = pins_[0]->CurrentType();
    if (!mt.pbFormat) return;
    const BITMAPINFOHEADER& bmi = mt.formattype == FORMAT_VideoInfo2
                                      ? reinterpret_cast<const VIDEOINFOHEADER2*>(mt.pbFormat)->bmiHeader
                                      : reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader;
    BYTE* p = nullptr;
    REFERENCE_TIME a = 0, b = 0;
    s->GetTime(&a, &b);
    if (SUCCEEDED(s->GetPointer(&p)) && s->GetActualDataLength() >= bmi.biWidth * bmi.biHeight * 2)
      sink->PresentFrame(p, bmi.biWidth, bmi.biHeight, a);
  }

 private:
  std::mutex w_;  // guards the window settings below
  OAHWND owner_ = 0, drain_ = 0;
  LONG style_ = 0, visible_ = OATRUE, autoShow_ = OATRUE;
  RECT pos_{0, 0, 0, 0};
};

#ifdef CORVANE_HAVE_SDL2
// One process-wide SDL audio subsystem; opening it fails quietly without a
// sound device (as on build machines), and then the renderer is silent.
bool SdlAudioAvailable() {
  static const bool ok = [] {
    if (!SDL_getenv("SDL_AUDIODRIVER") && !SDL_getenv("DISPLAY") && !SDL_getenv("XDG_RUNTIME_DIR"))
      SDL_setenv("SDL_AUDIODRIVER", "dummy", 0);
    // The dummy driver (the batch programs, machines without sound) plays
    // nothing: SDL is not started at all.
    const char* chosen = SDL_getenv("SDL_AUDIODRIVER");
    if (chosen && std::strcmp(chosen, "dummy") == 0) return false;
    // SIGINT and SIGTERM belong to the programs: SDL's own handlers would
    // take them and end nothing.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Not quit at exit: quitting joins the device threads, and in the test
    // programs that join now and then never returned (one thread left,
    // waiting for a device thread already gone). The system closes the
    // device with the process.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    // SDL may still fall back to its dummy driver: then no device is opened
    // either, and no device thread ends at the close.
    const char* driver = SDL_GetCurrentAudioDriver();
    return !driver || std::strcmp(driver, "dummy") != 0;
  }();
  return ok;
}
#endif

class AudioRenderer : public Renderer, public IBasicAudio {
 public:
  AudioRenderer() : Renderer("audio renderer", CLSID_AudioRender, false) {}
  ~AudioRenderer() override { CloseDevice(); }
  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IBasicAudio) return GetInterface(static_cast<IBasicAudio*>(this), ppv);
    return Renderer::NonDelegatingQueryInterface(riid, ppv);
  }
  HRESULT put_Volume(LONG v) override {
    if (v > 0 || v < -10000) return E_INVALIDARG;
    volume_ = v;
    return S_OK;
  }
  HRESULT get_Volume(LONG* v) override { if (!v) return E_POINTER; *v = volume_; return S_OK; }
  HRESULT put_Balance(LONG b) override {
    if (b < -10000 || b > 10000) return E_INVALIDARG;
    balance_ = b;
    return S_OK;
  }
  HRESULT get_Balance(LONG* b) override { if (!b) return E_POINTER; *b = balance_; return S_OK; }

 protected:
  bool ShowsWhilePaused() const override { return false; }
  void Present(IMediaSample* s) override {
#ifdef CORVANE_HAVE_SDL2
    CMediaType mt = pins_[0]->CurrentType();
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat);
    if (!wfx) return;
    if (!OpenDevice(*wfx)) return;
    BYTE* p = nullptr;
    if (FAILED(s->GetPointer(&p))) return;
    LONG len = s->GetActualDataLength();
    // Volume in hundredths of a decibel to a linear factor.
    const double gain = volume_ <= -10000 ? 0.0 : std::pow(10.0, volume_.load() / 2000.0);
    buf_.assign(p, p + len);
    if (wfx->wBitsPerSample == 16) {
      auto* v = reinterpret_cast<int16_t*>(buf_.data());
      for (std::size_t i = 0; i < buf_.size() / 2; ++i) v[i] = static_cast<int16_t>(v[i] * gain);
    } else {
      for (auto& b : buf_) b = static_cast<BYTE>(128 + (b - 128) * gain);
    }
    // Keep at most half a second queued so the sound stays with the picture.
    if (SDL_GetQueuedAudioSize(dev_) > wfx->nAvgBytesPerSec / 2) SDL_ClearQueuedAudio(dev_);
    SDL_QueueAudio(dev_, buf_.data(), static_cast<Uint32>(buf_.size()));
#else
    (void)s;
#endif
  }

 private:
#ifdef CORVANE_HAVE_SDL2
  bool OpenDevice(const WAVEFORMATEX& wfx) {
    if (dev_ && wfx.nSamplesPerSec == rate_ && wfx.nChannels == channels_) return true;
    CloseDevice();
    if (failed_ || !SdlAudioAvailable()) return false;
    SDL_AudioSpec want{}, have{};
    want.freq = static_cast<int>(wfx.nSamplesPerSec);
    want.format = wfx.wBitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(wfx.nChannels);
    want.samples = 1024;
    dev_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!dev_) {
      failed_ = true;
      return false;
    }
    rate_ = wfx.nSamplesPerSec;
    channels_ = wfx.nChannels;
    SDL_PauseAudioDevice(dev_, 0);
    return true;
  }
  SDL_AudioDeviceID dev_ = 0;  // streaming thread while running; OnStop after the join
  DWORD rate_ = 0;
  WORD channels_ = 0;
  bool failed_ = false;
  std::vector<BYTE> buf_;
#endif
  void CloseDevice() {
#ifdef CORVANE_HAVE_SDL2
    if (dev_) SDL_CloseAudioDevice(dev_);
    dev_ = 0;
#endif
  }
  std::atomic<LONG> volume_{0}, balance_{0};
};

}  // namespace

FilterBase* CreateVideoRenderer() { return new VideoRenderer(); }
FilterBase* CreateAudioRenderer() { return new AudioRenderer(); }
bool IsRenderer(FilterBase* f) { return f && f->Rank() == 0; }
