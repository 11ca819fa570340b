#include "platform/dshow/filters.h"

#include <cstring>
#include <cwchar>

void FreeMediaType(AM_MEDIA_TYPE& mt) {
  if (mt.pbFormat) CoTaskMemFree(mt.pbFormat);
  mt.pbFormat = nullptr;
  mt.cbFormat = 0;
  if (mt.pUnk) mt.pUnk->Release();
  mt.pUnk = nullptr;
}

void DeleteMediaType(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return;
  FreeMediaType(*pmt);
  CoTaskMemFree(pmt);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src) {
  if (!dst || !src) return E_POINTER;
  *dst = *src;
  if (src->cbFormat && src->pbFormat) {
    dst->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(src->cbFormat));
    if (!dst->pbFormat) {
      dst->cbFormat = 0;
      return E_OUTOFMEMORY;
    }
    std::memcpy(dst->pbFormat, src->pbFormat, src->cbFormat);
  } else {
    dst->pbFormat = nullptr;
    dst->cbFormat = 0;
  }
  if (dst->pUnk) dst->pUnk->AddRef();
  return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* src) {
  auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!mt) return nullptr;
  if (FAILED(CopyMediaType(mt, src))) {
    CoTaskMemFree(mt);
    return nullptr;
  }
  return mt;
}

CMediaType::CMediaType() : AM_MEDIA_TYPE{} {}
CMediaType::CMediaType(const AM_MEDIA_TYPE& mt) : AM_MEDIA_TYPE{} { CopyMediaType(this, &mt); }
CMediaType::CMediaType(const CMediaType& mt) : AM_MEDIA_TYPE{} { CopyMediaType(this, &mt); }
CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& mt) {
  if (&mt != this) {
    FreeMediaType(*this);
    CopyMediaType(this, &mt);
  }
  return *this;
}
CMediaType& CMediaType::operator=(const CMediaType& mt) { return *this = static_cast<const AM_MEDIA_TYPE&>(mt); }
CMediaType::~CMediaType() { FreeMediaType(*this); }
BYTE* CMediaType::AllocFormatBuffer(ULONG length) {
  if (pbFormat) CoTaskMemFree(pbFormat);
  pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(length));
  cbFormat = pbFormat ? length : 0;
  if (pbFormat) std::memset(pbFormat, 0, length);
  return pbFormat;
}
bool CMediaType::operator==(const CMediaType& o) const {
  return majortype == o.majortype && subtype == o.subtype && formattype == o.formattype &&
         cbFormat == o.cbFormat && (cbFormat == 0 || std::memcmp(pbFormat, o.pbFormat, cbFormat) == 0);
}

MediaSample::MediaSample(std::size_t size) : data_(new BYTE[size]), size_(size) {}

MediaSample::MediaSample(std::size_t size, const LumPlanarPicture& planes, std::function<void(BYTE*)> pack)
    : planes_(planes), pack_(std::move(pack)), size_(size) {}

const LumPlanarPicture* PlanarPictureOf(IMediaSample* sample) {
  const auto* own = dynamic_cast<MediaSample*>(sample);
  return own ? own->Planes() : nullptr;
}

HRESULT MediaSample::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IMediaSample) return GetInterface(this, ppv);
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG MediaSample::Release() {
  ULONG n = --refs_;
  if (n == 0) delete this;
  return n;
}

HRESULT MediaSample::GetPointer(BYTE** ppBuffer) {
  if (!ppBuffer) return E_POINTER;
  // Readers on several threads (the capture callback, a renderer) pack once.
  if (pack_)
    std::call_once(packed_, [this] {
      data_.reset(new BYTE[size_]);
      pack_(data_.get());
    });
  *ppBuffer = data_.get();
  return S_OK;
}

HRESULT MediaSample::GetTime(REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd) {
  if (!pStart || !pEnd) return E_POINTER;
  if (!timeValid_) return VFW_E_RUNTIME_ERROR;
  *pStart = start_;
  *pEnd = stop_;
  return S_OK;
}

HRESULT MediaSample::SetTime(REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd) {
  if (!pStart) {
    timeValid_ = false;
    return S_OK;
  }
  start_ = *pStart;
  stop_ = pEnd ? *pEnd : *pStart + 1;
  timeValid_ = true;
  return S_OK;
}

HRESULT MediaSample::SetActualDataLength(LONG len) {
  if (len < 0 || static_cast<std::size_t>(len) > size_) return E_INVALIDARG;
  actual_ = len;
  return S_OK;
}

HRESULT MediaSample::GetMediaType(AM_MEDIA_TYPE** ppMediaType) {
  if (!ppMediaType) return E_POINTER;
  if (!typeSet_) {
    *ppMediaType = nullptr;
    return S_FALSE;
  }
  *ppMediaType = CreateMediaType(&type_);
  return *ppMediaType ? S_OK : E_OUTOFMEMORY;
}

HRESULT MediaSample::SetMediaType(AM_MEDIA_TYPE* pMediaType) {
  if (!pMediaType) {
    typeSet_ = false;
    return S_OK;
  }
  type_ = *pMediaType;
  typeSet_ = true;
  return S_OK;
}

namespace {
class PinEnum final : public IEnumPins {
 public:
  PinEnum(FilterBase* f, std::size_t pos) : f_(f), pos_(pos) { f_->AddRef(); }
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IEnumPins) return GetInterface(this, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG n = --refs_;
    if (n == 0) {
      f_->Release();
      delete this;
    }
    return n;
  }
  HRESULT Next(ULONG c, IPin** pins, ULONG* fetched) override {
    if (!pins) return E_POINTER;
    ULONG n = 0;
    while (n < c && pos_ < f_->Pins().size()) {
      pins[n] = f_->Pins()[pos_++];
      pins[n]->AddRef();
      ++n;
    }
    if (fetched) *fetched = n;
    return n == c ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG c) override {
    pos_ += c;
    return pos_ <= f_->Pins().size() ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    pos_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumPins** e) override {
    if (!e) return E_POINTER;
    *e = new PinEnum(f_, pos_);
    (*e)->AddRef();
    return S_OK;
  }

 private:
  ~PinEnum() = default;
  std::atomic<ULONG> refs_{0};
  FilterBase* f_;
  std::size_t pos_;
};

void CopyName(WCHAR* dst, const std::wstring& src) {
  std::wcsncpy(dst, src.c_str(), 127);
  dst[127] = 0;
}
}  // namespace

PinBase::PinBase(FilterBase* filter, const wchar_t* name, PIN_DIRECTION dir)
    : filter_(filter), name_(name), dir_(dir) {}

HRESULT PinBase::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IPin) return GetInterface(static_cast<IPin*>(this), ppv);
  if (riid == IID_IMemInputPin && dir_ == PINDIR_INPUT)
    return GetInterface(static_cast<IMemInputPin*>(this), ppv);
  *ppv = nullptr;
  return E_NOINTERFACE;
}
ULONG PinBase::AddRef() { return filter_->AddRef(); }
ULONG PinBase::Release() { return filter_->Release(); }

bool PinBase::IsConnected() {
  CAutoLock lock(&pinLock_);
  return static_cast<bool>(peer_);
}
ComPtr<IPin> PinBase::Peer() {
  CAutoLock lock(&pinLock_);
  return peer_;
}
CMediaType PinBase::CurrentType() {
  CAutoLock lock(&pinLock_);
  return type_;
}
void PinBase::SetCurrentType(const CMediaType& mt) {
  CAutoLock lock(&pinLock_);
  type_ = mt;
}

HRESULT PinBase::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) {
  if (!pReceivePin) return E_POINTER;
  if (dir_ != PINDIR_OUTPUT) return E_UNEXPECTED;
  if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  CMediaType mt;
  if (!GetOfferedType(&mt)) return VFW_E_NO_ACCEPTABLE_TYPES;
  if (pmt && !(pmt->majortype == GUID_NULL) && !(pmt->majortype == mt.majortype)) return VFW_E_TYPE_NOT_ACCEPTED;
  PIN_DIRECTION d;
  if (FAILED(pReceivePin->QueryDirection(&d)) || d != PINDIR_INPUT) return VFW_E_CANNOT_CONNECT;
  HRESULT hr = pReceivePin->ReceiveConnection(this, &mt);
  if (FAILED(hr)) return hr;
  ComPtr<IMemInputPin> input;
  if (FAILED(pReceivePin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input)))) {
    pReceivePin->Disconnect();
    return VFW_E_CANNOT_CONNECT;
  }
  {
    CAutoLock lock(&pinLock_);
    peer_ = ComPtr<IPin>(pReceivePin);
    peerInput_ = input;
    type_ = mt;
  }
  filter_->OnConnected(this);
  return S_OK;
}

HRESULT PinBase::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
  if (!pConnector || !pmt) return E_POINTER;
  if (dir_ != PINDIR_INPUT) return E_UNEXPECTED;
  if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  HRESULT hr = CheckMediaType(*pmt);
  if (FAILED(hr)) return hr;
  {
    CAutoLock lock(&pinLock_);
    peer_ = ComPtr<IPin>(pConnector);
    type_ = *pmt;
  }
  filter_->OnConnected(this);
  return S_OK;
}

HRESULT PinBase::Disconnect() {
  {
    CAutoLock lock(&pinLock_);
    if (!peer_) return S_FALSE;
    peer_.Reset();
    peerInput_.Reset();
    type_ = CMediaType();
  }
  filter_->OnConnected(this);
  return S_OK;
}

HRESULT PinBase::ConnectedTo(IPin** pPin) {
  if (!pPin) return E_POINTER;
  CAutoLock lock(&pinLock_);
  *pPin = peer_.get();
  if (!*pPin) return VFW_E_NOT_CONNECTED;
  (*pPin)->AddRef();
  return S_OK;
}

HRESULT PinBase::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  CAutoLock lock(&pinLock_);
  if (!peer_) {
    *pmt = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(pmt, &type_);
}

HRESULT PinBase::QueryPinInfo(PIN_INFO* pInfo) {
  if (!pInfo) return E_POINTER;
  pInfo->pFilter = filter_;
  filter_->AddRef();
  pInfo->dir = dir_;
  CopyName(pInfo->achName, name_);
  return S_OK;
}

HRESULT PinBase::QueryDirection(PIN_DIRECTION* pPinDir) {
  if (!pPinDir) return E_POINTER;
  *pPinDir = dir_;
  return S_OK;
}

HRESULT PinBase::QueryId(LPWSTR* Id) {
  if (!Id) return E_POINTER;
  *Id = static_cast<LPWSTR>(CoTaskMemAlloc((name_.size() + 1) * sizeof(wchar_t)));
  if (!*Id) return E_OUTOFMEMORY;
  std::wmemcpy(*Id, name_.c_str(), name_.size() + 1);
  return S_OK;
}

HRESULT PinBase::QueryAccept(const AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  return SUCCEEDED(CheckMediaType(*pmt)) ? S_OK : S_FALSE;
}

HRESULT PinBase::EndOfStream() {
  if (dir_ != PINDIR_INPUT) return E_UNEXPECTED;
  return filter_->OnEndOfStream(this);
}

HRESULT PinBase::Receive(IMediaSample* pSample) {
  if (!pSample) return E_POINTER;
  if (dir_ != PINDIR_INPUT) return E_UNEXPECTED;
  return filter_->OnReceive(this, pSample);
}

HRESULT PinBase::Deliver(IMediaSample* sample) {
  ComPtr<IMemInputPin> in;
  {
    CAutoLock lock(&pinLock_);
    in = peerInput_;
  }
  if (!in) return VFW_E_NOT_CONNECTED;
  return in->Receive(sample);
}

HRESULT PinBase::DeliverEndOfStream() {
  ComPtr<IPin> p = Peer();
  if (!p) return VFW_E_NOT_CONNECTED;
  return p->EndOfStream();
}

FilterBase::FilterBase(const char* objName, const CLSID& clsid) : CUnknown(objName, nullptr), clsid_(clsid) {}

FilterBase::~FilterBase() {
  for (PinBase* p : pins_) delete p;
}

HRESULT FilterBase::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IBaseFilter || riid == IID_IMediaFilter) return GetInterface(static_cast<IBaseFilter*>(this), ppv);
  if (riid == IID_IMediaEventSink) return GetInterface(static_cast<IMediaEventSink*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT FilterBase::GetClassID(CLSID* pClassID) {
  if (!pClassID) return E_POINTER;
  *pClassID = clsid_;
  return S_OK;
}

FILTER_STATE FilterBase::State() {
  CAutoLock lock(&filterLock_);
  return state_;
}
REFERENCE_TIME FilterBase::StartTime() {
  CAutoLock lock(&filterLock_);
  return tStart_;
}
ComPtr<IReferenceClock> FilterBase::Clock() {
  CAutoLock lock(&filterLock_);
  return clock_;
}
IFilterGraph* FilterBase::Graph() {
  CAutoLock lock(&filterLock_);
  return graph_;
}
std::wstring FilterBase::FilterName() {
  CAutoLock lock(&filterLock_);
  return name_;
}

HRESULT FilterBase::Stop() {
  {
    CAutoLock lock(&filterLock_);
    if (state_ == State_Stopped) return S_OK;
    state_ = State_Stopped;
  }
  OnStateChanged();
  OnStop();
  return S_OK;
}

HRESULT FilterBase::Pause() {
  FILTER_STATE old;
  {
    CAutoLock lock(&filterLock_);
    old = state_;
    state_ = State_Paused;
  }
  OnStateChanged();
  if (old == State_Stopped) OnStart();
  return S_OK;
}

HRESULT FilterBase::Run(REFERENCE_TIME tStart) {
  FILTER_STATE old;
  {
    CAutoLock lock(&filterLock_);
    old = state_;
    tStart_ = tStart;
    state_ = State_Running;
  }
  if (old == State_Stopped) OnStart();
  OnStateChanged();
  return S_OK;
}

HRESULT FilterBase::GetState(DWORD, FILTER_STATE* State) {
  if (!State) return E_POINTER;
  *State = this->State();
  return S_OK;
}

HRESULT FilterBase::SetSyncSource(IReferenceClock* pClock) {
  {
    CAutoLock lock(&filterLock_);
    clock_ = ComPtr<IReferenceClock>(pClock);
  }
  OnStateChanged();
  return S_OK;
}

HRESULT FilterBase::GetSyncSource(IReferenceClock** pClock) {
  if (!pClock) return E_POINTER;
  CAutoLock lock(&filterLock_);
  *pClock = clock_.get();
  if (*pClock) (*pClock)->AddRef();
  return S_OK;
}

HRESULT FilterBase::EnumPins(IEnumPins** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = new PinEnum(this, 0);
  (*ppEnum)->AddRef();
  return S_OK;
}

HRESULT FilterBase::FindPin(LPCWSTR Id, IPin** ppPin) {
  if (!Id || !ppPin) return E_POINTER;
  for (PinBase* p : pins_)
    if (p->Name() == Id) {
      *ppPin = p;
      p->AddRef();
      return S_OK;
    }
  *ppPin = nullptr;
  return VFW_E_NOT_FOUND;
}

HRESULT FilterBase::QueryFilterInfo(FILTER_INFO* pInfo) {
  if (!pInfo) return E_POINTER;
  CAutoLock lock(&filterLock_);
  CopyName(pInfo->achName, name_);
  pInfo->pGraph = graph_;
  if (graph_) graph_->AddRef();
  return S_OK;
}

HRESULT FilterBase::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
  CAutoLock lock(&filterLock_);
  graph_ = pGraph;
  name_ = pName ? pName : L"";
  return S_OK;
}

HRESULT FilterBase::Notify(LONG code, LONG_PTR p1, LONG_PTR p2) {
  IFilterGraph* g = Graph();
  if (!g) return E_UNEXPECTED;
  ComPtr<IMediaEventSink> sink;
  if (FAILED(g->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink)))) return E_UNEXPECTED;
  return sink->Notify(code, p1, p2);
}
