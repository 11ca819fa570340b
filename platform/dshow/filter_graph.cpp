// The filter graph manager: holds the filters, builds chains by intelligent
// connect, drives their states against the sync source, tracks the stream
// position and queues the graph's events for the owner window.
#include <algorithm>
#include <cmath>
#include <deque>
#include <mutex>

#include "core/diag_log.h"
#include "platform/core/messages.h"
#include "platform/dshow/media_filters.h"

const CLSID CLSID_FilterGraph = {0xe436ebb3, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};

namespace {

class FilterEnum final : public IEnumFilters {
 public:
  explicit FilterEnum(std::vector<ComPtr<IBaseFilter>> f) : f_(std::move(f)) {}
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IEnumFilters) return GetInterface(this, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT Next(ULONG c, IBaseFilter** out, ULONG* fetched) override {
    if (!out) return E_POINTER;
    ULONG n = 0;
    while (n < c && pos_ < f_.size()) {
      out[n] = f_[pos_++].get();
      out[n++]->AddRef();
    }
    if (fetched) *fetched = n;
    return n == c ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG c) override {
    pos_ += c;
    return pos_ <= f_.size() ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    pos_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumFilters** e) override {
    if (!e) return E_POINTER;
    auto* c = new FilterEnum(f_);
    c->pos_ = pos_;
    *e = c;
    c->AddRef();
    return S_OK;
  }

 private:
  ~FilterEnum() = default;
  std::atomic<ULONG> refs_{0};
  std::vector<ComPtr<IBaseFilter>> f_;
  std::size_t pos_ = 0;
};

struct Event {
  LONG code;
  LONG_PTR p1, p2;
};

class FilterGraph : public CUnknown,
                    public IGraphBuilder,
                    public IMediaControl,
                    public IMediaEventEx,
                    public IMediaEventSink,
                    public IMediaPosition,
                    public IMediaSeeking,
                    public IMediaFilter,
                    public IBasicAudio,
                    public IVideoWindow {
 public:
  FilterGraph() : CUnknown("filter graph", nullptr) {}
  ~FilterGraph() override {
    for (auto& e : entries_) e.base->JoinFilterGraph(nullptr, nullptr);
  }
  // Streaming threads report to the graph; they end before it is destroyed.
  // Connected pins hold each other's filters, so the graph breaks every
  // connection when it goes, as the DirectShow graph manager does.
  void OnFinalRelease() override {
    CAutoLock lock(&graphLock_);
    StopFilters();
    for (auto& e : entries_)
      for (PinBase* p : e.base->Pins()) p->Disconnect();
    for (auto& e : entries_) e.filter->SetSyncSource(nullptr);
  }

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IGraphBuilder || riid == IID_IFilterGraph) return GetInterface(static_cast<IGraphBuilder*>(this), ppv);
    if (riid == IID_IMediaControl) return GetInterface(static_cast<IMediaControl*>(this), ppv);
    if (riid == IID_IMediaEventEx || riid == IID_IMediaEvent) return GetInterface(static_cast<IMediaEventEx*>(this), ppv);
    if (riid == IID_IMediaEventSink) return GetInterface(static_cast<IMediaEventSink*>(this), ppv);
    if (riid == IID_IMediaPosition) return GetInterface(static_cast<IMediaPosition*>(this), ppv);
    if (riid == IID_IMediaSeeking) return GetInterface(static_cast<IMediaSeeking*>(this), ppv);
    if (riid == IID_IMediaFilter) return GetInterface(static_cast<IMediaFilter*>(this), ppv);
    if (riid == IID_IBasicAudio) return GetInterface(static_cast<IBasicAudio*>(this), ppv);
    if (riid == IID_IVideoWindow) return GetInterface(static_cast<IVideoWindow*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
  }

  // IFilterGraph
  HRESULT AddFilter(IBaseFilter* f, LPCWSTR name) override {
    if (!f) return E_POINTER;
    CAutoLock lock(&graphLock_);
    for (auto& e : entries_)
      if (e.filter.get() == f) return VFW_E_CANNOT_CONNECT;
    std::wstring n = name ? name : L"";
    HRESULT hr = S_OK;
    if (FindByName(n)) {
      // As DirectShow: a taken name gets a four-digit suffix.
      for (int i = 1; i < 10000; ++i) {
        wchar_t suffix[8];
        std::swprintf(suffix, 8, L" %04d", i);
        if (!FindByName(n + suffix)) {
          n += suffix;
          break;
        }
      }
      hr = VFW_S_DUPLICATE_NAME;
    }
    auto* base = dynamic_cast<FilterBase*>(f);
    if (!base) return E_NOINTERFACE;  // only our own filters stream here
    entries_.push_back({ComPtr<IBaseFilter>(f), base});
    f->JoinFilterGraph(static_cast<IGraphBuilder*>(this), n.c_str());
    ComPtr<IReferenceClock> clock;
    {
      std::lock_guard<std::mutex> l(posLock_);
      clock = clock_;
    }
    f->SetSyncSource(clock.get());
    return hr;
  }

  HRESULT RemoveFilter(IBaseFilter* f) override {
    if (!f) return E_POINTER;
    CAutoLock lock(&graphLock_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->filter.get() != f) continue;
      ComPtr<IBaseFilter> keep = it->filter;
      keep->Stop();
      for (PinBase* p : it->base->Pins()) {
        ComPtr<IPin> peer = p->Peer();
        if (peer) peer->Disconnect();
        p->Disconnect();
      }
      entries_.erase(it);
      keep->SetSyncSource(nullptr);
      keep->JoinFilterGraph(nullptr, nullptr);
      return S_OK;
    }
    return VFW_E_NOT_FOUND;
  }

  HRESULT EnumFilters(IEnumFilters** e) override {
    if (!e) return E_POINTER;
    CAutoLock lock(&graphLock_);
    std::vector<ComPtr<IBaseFilter>> list;
    for (auto& en : entries_) list.push_back(en.filter);
    *e = new FilterEnum(std::move(list));
    (*e)->AddRef();
    return S_OK;
  }

  HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** out) override {
    if (!name || !out) return E_POINTER;
    CAutoLock lock(&graphLock_);
    *out = FindByName(name);
    if (!*out) return VFW_E_NOT_FOUND;
    (*out)->AddRef();
    return S_OK;
  }

  HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt) override {
    if (!out || !in) return E_POINTER;
    return out->Connect(in, mt);
  }
  HRESULT Reconnect(IPin*) override { return E_NOTIMPL; }
  HRESULT Disconnect(IPin* p) override {
    if (!p) return E_POINTER;
    return p->Disconnect();
  }
  HRESULT SetDefaultSyncSource() override {
    ComPtr<IReferenceClock> c;
    HRESULT hr = CreateSystemClock(&c);
    if (FAILED(hr)) return hr;
    return SetSyncSource(c.get());
  }

  // IGraphBuilder
  HRESULT Connect(IPin* out, IPin* in) override {
    if (!out || !in) return E_POINTER;
    return out->Connect(in, nullptr);
  }

  HRESULT Render(IPin* out) override {
    if (!out) return E_POINTER;
    CAutoLock lock(&graphLock_);
    return RenderPin(out, 0);
  }

  HRESULT RenderFile(LPCWSTR file, LPCWSTR) override {
    if (!file) return E_POINTER;
    CAutoLock lock(&graphLock_);
    if (State() != State_Stopped) return VFW_E_NOT_STOPPED;
    HRESULT hr = S_OK;
    FilterBase* src = CreateFileSource(file, &hr);
    if (!src) {
      WriteLog("RenderFile: cannot open %s (hr=0x%x)", WideToUtf8(file).c_str(), static_cast<unsigned>(hr));
      return hr;
    }
    ComPtr<IBaseFilter> keep(src);
    AddFilter(src, file);
    int rendered = 0, failed = 0;
    for (PinBase* p : src->Pins()) {
      if (SUCCEEDED(RenderPin(p, 0))) ++rendered;
      else ++failed;
    }
    if (rendered == 0) {
      RemoveFilter(src);
      return VFW_E_CANNOT_RENDER;
    }
    std::lock_guard<std::mutex> l(posLock_);
    duration_ = SourceDuration(src);
    return failed ? VFW_S_PARTIAL_RENDER : S_OK;
  }

  HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR name, IBaseFilter** out) override {
    if (!file || !out) return E_POINTER;
    HRESULT hr = S_OK;
    FilterBase* src = CreateFileSource(file, &hr);
    if (!src) return hr;
    ComPtr<IBaseFilter> keep(src);
    hr = AddFilter(src, name ? name : file);
    if (FAILED(hr)) return hr;
    {
      std::lock_guard<std::mutex> l(posLock_);
      duration_ = SourceDuration(src);
    }
    *out = keep.Detach();
    return S_OK;
  }
  HRESULT Abort() override { return S_OK; }

  // IMediaControl
  HRESULT Run() override {
    CAutoLock lock(&graphLock_);
    FILTER_STATE st = State();
    if (st == State_Running) return S_OK;
    if (st == State_Stopped) StartFilters();
    ComPtr<IReferenceClock> clock = EnsureClock();
    REFERENCE_TIME now = 0;
    if (clock) clock->GetTime(&now);
    REFERENCE_TIME tStart;
    {
      std::lock_guard<std::mutex> l(posLock_);
      // Resume where the pause stood; a fresh start gets 10 ms to settle.
      tStart_ = st == State_Paused && pausedValid_ ? now - pausedStream_ : now + 100000;
      tStart = tStart_;
      state_ = State_Running;
    }
    for (auto& e : Ordered()) e.filter->Run(tStart);
    return S_OK;
  }

  HRESULT Pause() override {
    CAutoLock lock(&graphLock_);
    FILTER_STATE st = State();
    if (st == State_Paused) return S_OK;
    if (st == State_Stopped) {
      StartFilters();
      return S_FALSE;  // becomes paused once the renderers hold a sample
    }
    ComPtr<IReferenceClock> clock = EnsureClock();
    REFERENCE_TIME now = 0;
    if (clock) clock->GetTime(&now);
    {
      std::lock_guard<std::mutex> l(posLock_);
      pausedStream_ = std::max<REFERENCE_TIME>(0, now - tStart_);
      pausedValid_ = true;
      state_ = State_Paused;
    }
    for (auto& e : Ordered()) e.filter->Pause();
    return S_FALSE;
  }

  HRESULT Stop() override {
    CAutoLock lock(&graphLock_);
    if (State() == State_Stopped) return S_OK;
    REFERENCE_TIME pos = CurrentStreamPosition();
    StopFilters();
    std::lock_guard<std::mutex> l(posLock_);
    // The next start continues from where playback stood.
    segStart_ = pos;
    SetSegment(pos);
    return S_OK;
  }

  HRESULT GetState(LONG msTimeout, OAFilterState* pfs) override {
    if (!pfs) return E_POINTER;
    *pfs = State();
    if (*pfs != State_Paused) return S_OK;
    // A pause is complete once every renderer holds a sample.
    const DWORD begin = GetTickCount();
    for (;;) {
      bool cued = true;
      {
        CAutoLock lock(&graphLock_);
        for (auto& e : entries_) cued = cued && e.base->IsCued();
      }
      if (cued) return S_OK;
      if (msTimeout >= 0 && GetTickCount() - begin >= static_cast<DWORD>(msTimeout)) return VFW_S_STATE_INTERMEDIATE;
      Sleep(5);
      if (State() != State_Paused) return S_OK;
    }
  }
  HRESULT RenderFile(BSTR name) override { return RenderFile(name, nullptr); }
  HRESULT StopWhenReady() override { return Stop(); }

  // IMediaFilter (the graph as a whole)
  HRESULT GetClassID(CLSID* c) override {
    if (!c) return E_POINTER;
    *c = CLSID_FilterGraph;
    return S_OK;
  }
  HRESULT Run(REFERENCE_TIME) override { return Run(); }
  HRESULT GetState(DWORD ms, FILTER_STATE* s) override {
    if (!s) return E_POINTER;
    OAFilterState fs;
    HRESULT hr = GetState(static_cast<LONG>(ms), &fs);
    *s = static_cast<FILTER_STATE>(fs);
    return hr;
  }
  HRESULT SetSyncSource(IReferenceClock* c) override {
    CAutoLock lock(&graphLock_);
    {
      std::lock_guard<std::mutex> l(posLock_);
      clock_ = ComPtr<IReferenceClock>(c);
      clockChosen_ = true;
    }
    for (auto& e : entries_) e.filter->SetSyncSource(c);
    return S_OK;
  }
  HRESULT GetSyncSource(IReferenceClock** c) override {
    if (!c) return E_POINTER;
    std::lock_guard<std::mutex> l(posLock_);
    *c = clock_.get();
    if (*c) (*c)->AddRef();
    return S_OK;
  }

  // IMediaEvent(Ex)
  HRESULT GetEvent(LONG* code, LONG_PTR* p1, LONG_PTR* p2, LONG msTimeout) override {
    if (!code || !p1 || !p2) return E_POINTER;
    std::unique_lock<std::mutex> lock(evLock_);
    auto ready = [this] { return !events_.empty(); };
    if (msTimeout < 0) evCv_.wait(lock, ready);
    else if (!evCv_.wait_for(lock, std::chrono::milliseconds(msTimeout), ready)) return E_ABORT;
    Event e = events_.front();
    events_.pop_front();
    *code = e.code;
    *p1 = e.p1;
    *p2 = e.p2;
    return S_OK;
  }
  HRESULT WaitForCompletion(LONG msTimeout, LONG* evCode) override {
    if (!evCode) return E_POINTER;
    const DWORD begin = GetTickCount();
    for (;;) {
      LONG c;
      LONG_PTR a, b;
      LONG left = msTimeout < 0 ? 100 : std::max<LONG>(0, msTimeout - static_cast<LONG>(GetTickCount() - begin));
      if (GetEvent(&c, &a, &b, std::min<LONG>(left, 100)) == S_OK &&
          (c == EC_COMPLETE || c == EC_ERRORABORT || c == EC_USERABORT)) {
        *evCode = c;
        return S_OK;
      }
      if (msTimeout >= 0 && GetTickCount() - begin >= static_cast<DWORD>(msTimeout)) {
        *evCode = 0;
        return E_ABORT;
      }
    }
  }
  HRESULT CancelDefaultHandling(LONG) override { return S_OK; }
  HRESULT RestoreDefaultHandling(LONG) override { return S_OK; }
  HRESULT FreeEventParams(LONG, LONG_PTR, LONG_PTR) override { return S_OK; }
  HRESULT SetNotifyWindow(OAHWND hwnd, LONG msg, LONG_PTR inst) override {
    std::lock_guard<std::mutex> lock(evLock_);
    notifyWnd_ = reinterpret_cast<HWND>(hwnd);
    notifyMsg_ = static_cast<UINT>(msg);
    notifyInst_ = inst;
    return S_OK;
  }
  HRESULT SetNotifyFlags(LONG f) override {
    std::lock_guard<std::mutex> lock(evLock_);
    notifyFlags_ = f;
    return S_OK;
  }
  HRESULT GetNotifyFlags(LONG* f) override {
    if (!f) return E_POINTER;
    std::lock_guard<std::mutex> lock(evLock_);
    *f = notifyFlags_;
    return S_OK;
  }

  // IMediaEventSink: the renderers' events. EC_COMPLETE goes out once all
  // renderers have reached the end of their streams.
  HRESULT Notify(LONG code, LONG_PTR p1, LONG_PTR p2) override {
    if (code == EC_COMPLETE) {
      std::lock_guard<std::mutex> l(posLock_);
      if (++completeCount_ < renderers_) return S_OK;
      completed_ = true;
    }
    std::lock_guard<std::mutex> lock(evLock_);
    events_.push_back({code, p1, p2});
    evCv_.notify_all();
    if (notifyWnd_ && notifyFlags_ == 0) PostMessage(notifyWnd_, notifyMsg_, 0, notifyInst_);
    return S_OK;
  }

  // IMediaPosition (seconds)
  HRESULT get_Duration(REFTIME* d) override {
    if (!d) return E_POINTER;
    std::lock_guard<std::mutex> l(posLock_);
    *d = duration_ / 1e7;
    return S_OK;
  }
  HRESULT put_CurrentPosition(REFTIME t) override { return SeekTo(static_cast<REFERENCE_TIME>(std::llround(t * 1e7))); }
  HRESULT get_CurrentPosition(REFTIME* t) override {
    if (!t) return E_POINTER;
    *t = CurrentStreamPosition() / 1e7;
    return S_OK;
  }
  HRESULT get_StopTime(REFTIME* t) override { return get_Duration(t); }
  HRESULT put_StopTime(REFTIME) override { return E_NOTIMPL; }
  HRESULT get_PrerollTime(REFTIME* t) override {
    if (!t) return E_POINTER;
    *t = 0;
    return S_OK;
  }
  HRESULT put_PrerollTime(REFTIME) override { return S_OK; }
  HRESULT put_Rate(double r) override { return r == 1.0 ? S_OK : E_NOTIMPL; }
  HRESULT get_Rate(double* r) override {
    if (!r) return E_POINTER;
    *r = 1.0;
    return S_OK;
  }
  HRESULT CanSeekForward(LONG* c) override {
    if (!c) return E_POINTER;
    *c = OATRUE;
    return S_OK;
  }
  HRESULT CanSeekBackward(LONG* c) override { return CanSeekForward(c); }

  // IMediaSeeking (100-ns media time)
  HRESULT GetCapabilities(DWORD* c) override {
    if (!c) return E_POINTER;
    *c = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards |
         AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetDuration;
    return S_OK;
  }
  HRESULT GetTimeFormat(GUID* f) override {
    if (!f) return E_POINTER;
    *f = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
  }
  HRESULT SetTimeFormat(const GUID* f) override {
    if (!f) return E_POINTER;
    return *f == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
  }
  HRESULT GetDuration(LONGLONG* d) override {
    if (!d) return E_POINTER;
    std::lock_guard<std::mutex> l(posLock_);
    *d = duration_;
    return S_OK;
  }
  HRESULT GetStopPosition(LONGLONG* s) override { return GetDuration(s); }
  HRESULT GetCurrentPosition(LONGLONG* c) override {
    if (!c) return E_POINTER;
    *c = CurrentStreamPosition();
    return S_OK;
  }
  HRESULT SetPositions(LONGLONG* cur, DWORD curFlags, LONGLONG*, DWORD) override {
    if ((curFlags & 3) == AM_SEEKING_AbsolutePositioning && cur) return SeekTo(*cur);
    return S_OK;
  }
  HRESULT GetPositions(LONGLONG* cur, LONGLONG* stop) override {
    if (cur) *cur = CurrentStreamPosition();
    if (stop) return GetDuration(stop);
    return S_OK;
  }
  HRESULT SetRate(double r) override { return put_Rate(r); }
  HRESULT GetRate(double* r) override { return get_Rate(r); }

  // IBasicAudio: applied by every audio renderer in the graph.
  HRESULT put_Volume(LONG v) override {
    if (v > 0 || v < -10000) return E_INVALIDARG;
    volume_ = v;
    ForEach<IBasicAudio>(IID_IBasicAudio, [v](IBasicAudio* a) { a->put_Volume(v); });
    return S_OK;
  }
  HRESULT get_Volume(LONG* v) override {
    if (!v) return E_POINTER;
    *v = volume_;
    return S_OK;
  }
  HRESULT put_Balance(LONG b) override {
    ForEach<IBasicAudio>(IID_IBasicAudio, [b](IBasicAudio* a) { a->put_Balance(b); });
    return S_OK;
  }
  HRESULT get_Balance(LONG* b) override {
    if (!b) return E_POINTER;
    *b = 0;
    return S_OK;
  }

  // IVideoWindow: kept here and handed to every video renderer, including
  // one that rendering adds later.
  HRESULT put_Owner(OAHWND o) override { return SetWin([&](WinState& w) { w.owner = o; }); }
  HRESULT get_Owner(OAHWND* o) override { return GetWin(o, [](const WinState& w) { return w.owner; }); }
  HRESULT put_WindowStyle(LONG s) override { return SetWin([&](WinState& w) { w.style = s; }); }
  HRESULT get_WindowStyle(LONG* s) override { return GetWin(s, [](const WinState& w) { return w.style; }); }
  HRESULT put_MessageDrain(OAHWND d) override { return SetWin([&](WinState& w) { w.drain = d; }); }
  HRESULT get_MessageDrain(OAHWND* d) override { return GetWin(d, [](const WinState& w) { return w.drain; }); }
  HRESULT SetWindowPosition(LONG l, LONG t, LONG wd, LONG h) override {
    return SetWin([&](WinState& w) { w.pos = {l, t, wd, h}; });
  }
  HRESULT GetWindowPosition(LONG* l, LONG* t, LONG* w, LONG* h) override {
    if (!l || !t || !w || !h) return E_POINTER;
    std::lock_guard<std::mutex> lk(winLock_);
    *l = win_.pos.left; *t = win_.pos.top; *w = win_.pos.right; *h = win_.pos.bottom;
    return S_OK;
  }
  HRESULT put_Visible(LONG v) override { return SetWin([&](WinState& w) { w.visible = v; }); }
  HRESULT get_Visible(LONG* v) override { return GetWin(v, [](const WinState& w) { return w.visible; }); }
  HRESULT put_AutoShow(LONG a) override { return SetWin([&](WinState& w) { w.autoShow = a; }); }
  HRESULT get_AutoShow(LONG* a) override { return GetWin(a, [](const WinState& w) { return w.autoShow; }); }

 private:
  struct Entry {
    ComPtr<IBaseFilter> filter;
    FilterBase* base;
  };
  struct WinState {
    OAHWND owner = 0, drain = 0;
    LONG style = 0, visible = OATRUE, autoShow = OATRUE;
    RECT pos{0, 0, 0, 0};
  };

  FILTER_STATE State() {
    std::lock_guard<std::mutex> l(posLock_);
    return state_;
  }

  IBaseFilter* FindByName(const std::wstring& n) {
    for (auto& e : entries_)
      if (e.base->FilterName() == n) return e.filter.get();
    return nullptr;
  }

  // Renderers first, the source last: state changes travel upstream.
  std::vector<Entry> Ordered() {
    std::vector<Entry> v = entries_;
    std::stable_sort(v.begin(), v.end(), [](const Entry& a, const Entry& b) { return a.base->Rank() < b.base->Rank(); });
    return v;
  }

  ComPtr<IReferenceClock> EnsureClock() {
    {
      std::lock_guard<std::mutex> l(posLock_);
      if (clock_ || clockChosen_) return clock_;
    }
    SetDefaultSyncSource();
    std::lock_guard<std::mutex> l(posLock_);
    return clock_;
  }

  void StartFilters() {
    EnsureClock();
    int renderers = 0;
    for (auto& e : entries_)
      if (IsRenderer(e.base) && e.base->Pins()[0]->IsConnected()) ++renderers;
    {
      std::lock_guard<std::mutex> l(posLock_);
      renderers_ = renderers;
      completeCount_ = 0;
      completed_ = false;
      pausedStream_ = 0;
      pausedValid_ = true;
      state_ = State_Paused;
    }
    for (auto& e : Ordered()) e.filter->Pause();
  }

  void StopFilters() {
    {
      std::lock_guard<std::mutex> l(posLock_);
      state_ = State_Stopped;
      pausedValid_ = false;
    }
    for (auto& e : Ordered()) e.filter->Stop();
  }

  void SetSegment(REFERENCE_TIME t) {
    for (auto& e : entries_) {
      if (IsFileSource(e.base)) SetSourceStart(e.base, t);
      if (IsDecoder(e.base)) SetDecoderSegment(e.base, t);
    }
  }

  REFERENCE_TIME CurrentStreamPosition() {
    ComPtr<IReferenceClock> clock;
    FILTER_STATE st;
    REFERENCE_TIME tStart, seg, paused, dur;
    bool done;
    {
      std::lock_guard<std::mutex> l(posLock_);
      clock = clock_;
      st = state_;
      tStart = tStart_;
      seg = segStart_;
      paused = pausedStream_;
      dur = duration_;
      done = completed_;
    }
    if (done) return dur;
    REFERENCE_TIME stream = 0;
    if (st == State_Running && clock) {
      REFERENCE_TIME now = 0;
      clock->GetTime(&now);
      stream = now - tStart;
    } else if (st == State_Paused) {
      stream = paused;
    }
    return std::clamp<REFERENCE_TIME>(seg + std::max<REFERENCE_TIME>(0, stream), 0, std::max<REFERENCE_TIME>(dur, 0));
  }

  // Stream times restart at 0 from the new position.
  HRESULT SeekTo(REFERENCE_TIME t) {
    CAutoLock lock(&graphLock_);
    REFERENCE_TIME dur;
    {
      std::lock_guard<std::mutex> l(posLock_);
      dur = duration_;
    }
    t = std::clamp<REFERENCE_TIME>(t, 0, std::max<REFERENCE_TIME>(dur, 0));
    FILTER_STATE st = State();
    if (st != State_Stopped) StopFilters();
    {
      std::lock_guard<std::mutex> l(posLock_);
      segStart_ = t;
      completed_ = false;
    }
    SetSegment(t);
    if (st != State_Stopped) StartFilters();
    if (st == State_Running) {
      {
        std::lock_guard<std::mutex> l(posLock_);
        pausedValid_ = false;
      }
      ComPtr<IReferenceClock> clock = EnsureClock();
      REFERENCE_TIME now = 0;
      if (clock) clock->GetTime(&now);
      {
        std::lock_guard<std::mutex> l(posLock_);
        tStart_ = now + 100000;
        state_ = State_Running;
      }
      for (auto& e : Ordered()) e.filter->Run(now + 100000);
    }
    return S_OK;
  }

  // Intelligent connect: filters already in the graph with a free input pin
  // come first (so grabbers added before rendering land on the decoded
  // streams), then a new decoder or renderer for the pin's type.
  HRESULT RenderPin(IPin* out, int depth) {
    if (depth > 8) return VFW_E_CANNOT_RENDER;
    ComPtr<IPin> peer;
    if (SUCCEEDED(out->ConnectedTo(&peer))) return VFW_E_ALREADY_CONNECTED;
    PIN_INFO pi{};
    out->QueryPinInfo(&pi);
    ComPtr<IBaseFilter> owner;
    owner.Attach(pi.pFilter);
    std::vector<Entry> snapshot = entries_;
    for (auto& e : snapshot) {
      if (e.filter.get() == owner.get()) continue;
      for (PinBase* in : e.base->Pins()) {
        if (in->Direction() != PINDIR_INPUT || in->IsConnected()) continue;
        if (IsDecoder(e.base) && FAILED(OpenDecoderFor(e.base, out))) continue;
        if (FAILED(out->Connect(in, nullptr))) continue;
        RenderOutputs(e.base, depth);
        return S_OK;
      }
    }
    AM_MEDIA_TYPE offered{};
    auto* outPin = dynamic_cast<PinBase*>(out);
    if (!outPin) return VFW_E_CANNOT_RENDER;
    CMediaType mt;
    if (!outPin->GetOfferedType(&mt)) return VFW_E_CANNOT_RENDER;
    (void)offered;
    FilterBase* f = nullptr;
    const wchar_t* name = nullptr;
    const bool video = mt.majortype == MEDIATYPE_Video;
    if (mt.formattype == FORMAT_FfmpegStream) {
      f = CreateDecoder(video);
      name = video ? L"Video Decoder" : L"Audio Decoder";
    } else if (video) {
      f = CreateVideoRenderer();
      name = L"Video Renderer";
    } else if (mt.majortype == MEDIATYPE_Audio) {
      f = CreateAudioRenderer();
      name = L"Audio Renderer";
    }
    if (!f) return VFW_E_CANNOT_RENDER;
    ComPtr<IBaseFilter> keep(f);
    if (IsDecoder(f) && FAILED(OpenDecoderFor(f, out))) return VFW_E_CANNOT_RENDER;
    AddFilter(f, name);
    if (FAILED(out->Connect(f->Pins()[0], nullptr))) {
      RemoveFilter(f);
      return VFW_E_CANNOT_RENDER;
    }
    ApplySettingsTo(f);
    HRESULT hr = RenderOutputs(f, depth);
    if (FAILED(hr)) {
      // A decoder whose output nothing takes is taken out again.
      RemoveFilter(f);
      return hr;
    }
    return S_OK;
  }

  HRESULT RenderOutputs(FilterBase* f, int depth) {
    HRESULT result = S_OK;
    for (PinBase* p : f->Pins())
      if (p->Direction() == PINDIR_OUTPUT && !p->IsConnected()) {
        HRESULT hr = RenderPin(p, depth + 1);
        if (FAILED(hr)) result = hr;
      }
    return result;
  }

  template <class I, class Fn>
  void ForEach(REFIID iid, Fn fn) {
    CAutoLock lock(&graphLock_);
    for (auto& e : entries_) {
      ComPtr<I> i;
      if (SUCCEEDED(e.filter->QueryInterface(iid, reinterpret_cast<void**>(&i)))) fn(i.get());
    }
  }

  template <class Fn>
  HRESULT SetWin(Fn change) {
    WinState w;
    {
      std::lock_guard<std::mutex> lk(winLock_);
      change(win_);
      w = win_;
    }
    ForEach<IVideoWindow>(IID_IVideoWindow, [&](IVideoWindow* v) { Apply(v, w); });
    return S_OK;
  }
  template <class T, class Get>
  HRESULT GetWin(T* out, Get get) {
    if (!out) return E_POINTER;
    std::lock_guard<std::mutex> lk(winLock_);
    *out = get(win_);
    return S_OK;
  }
  static void Apply(IVideoWindow* v, const WinState& w) {
    v->put_Owner(w.owner);
    v->put_WindowStyle(w.style);
    v->put_MessageDrain(w.drain);
    v->SetWindowPosition(w.pos.left, w.pos.top, w.pos.right, w.pos.bottom);
    v->put_Visible(w.visible);
    v->put_AutoShow(w.autoShow);
  }
  void ApplySettingsTo(FilterBase* f) {
    ComPtr<IVideoWindow> v;
    if (SUCCEEDED(f->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&v)))) {
      std::lock_guard<std::mutex> lk(winLock_);
      Apply(v.get(), win_);
    }
    ComPtr<IBasicAudio> a;
    if (SUCCEEDED(f->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&a)))) a->put_Volume(volume_);
  }

  CCritSec graphLock_;  // guards entries_; serialises building and state changes
  std::vector<Entry> entries_;

  // posLock_ guards the state, clock and position fields. It is never held
  // while filters change state, so streaming threads (a grabber callback
  // reading the position) cannot deadlock against Stop.
  std::mutex posLock_;
  FILTER_STATE state_ = State_Stopped;
  ComPtr<IReferenceClock> clock_;
  bool clockChosen_ = false;
  REFERENCE_TIME tStart_ = 0, segStart_ = 0, pausedStream_ = 0, duration_ = 0;
  bool pausedValid_ = false;
  int renderers_ = 0, completeCount_ = 0;
  bool completed_ = false;

  std::mutex evLock_;  // guards events_ and the notify settings
  std::condition_variable evCv_;
  std::deque<Event> events_;
  HWND notifyWnd_ = nullptr;
  UINT notifyMsg_ = 0;
  LONG_PTR notifyInst_ = 0;
  LONG notifyFlags_ = 0;

  std::mutex winLock_;  // guards win_
  WinState win_;
  std::atomic<LONG> volume_{0};
};

HRESULT CreateFilterGraph(IUnknown* outer, REFIID riid, void** ppv) {
  if (outer) return CLASS_E_NOAGGREGATION;
  return QueryNewObject(new FilterGraph(), riid, ppv);
}

const bool registered = RegisterComClass(CLSID_FilterGraph, CreateFilterGraph);

}  // namespace
