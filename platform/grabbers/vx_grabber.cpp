#include "platform/grabbers/vx_grabber.h"

#include <mutex>

#include "platform/dshow/filters.h"
#include "platform/dshow/media_filters.h"

const CLSID CLSID_VxVideoGrabber = {0xB9660384, 0x4E56, 0x4E3B, {0xA9, 0xCA, 0x66, 0x45, 0xD3, 0x7D, 0x7D, 0xB1}};
const CLSID CLSID_VxGrabber = {0x9FEB375E, 0x811C, 0x41C4, {0x9F, 0x20, 0xD6, 0xFB, 0xAF, 0xFA, 0xA7, 0x3D}};

namespace {

class GrabberFilter;

class GrabberInPin : public PinBase {
 public:
  GrabberInPin(FilterBase* f);
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
};

class GrabberOutPin : public PinBase {
 public:
  GrabberOutPin(FilterBase* f, PinBase* in) : PinBase(f, L"Out", PINDIR_OUTPUT), in_(in) {}
  // Offers downstream exactly what arrives on "In".
  bool GetOfferedType(CMediaType* mt) override {
    if (!in_->IsConnected()) return false;
    *mt = in_->CurrentType();
    return true;
  }

 private:
  PinBase* in_;
};

class GrabberFilter : public FilterBase, public IVxVideoGrabber, public IVxGrabber {
 public:
  GrabberFilter(bool video) : FilterBase(video ? "video grabber" : "audio grabber", video ? CLSID_VxVideoGrabber : CLSID_VxGrabber), video_(video) {
    auto* in = new GrabberInPin(this);
    pins_.push_back(in);
    pins_.push_back(new GrabberOutPin(this, in));
  }
  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (video_ && riid == IID_IVxVideoGrabber) return GetInterface(static_cast<IVxVideoGrabber*>(this), ppv);
    if (!video_ && riid == IID_IVxGrabber) return GetInterface(static_cast<IVxGrabber*>(this), ppv);
    return FilterBase::NonDelegatingQueryInterface(riid, ppv);
  }

  HRESULT GetSampleCount(LONG* count) override {
    if (!count) return E_POINTER;
    *count = count_.load();
    return S_OK;
  }
  HRESULT SetAcceptedMediaType(const AM_MEDIA_TYPE* pmt) override {
    if (!pmt) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_);
    accepted_ = *pmt;
    return S_OK;
  }
  HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* pmt) override { return pins_[0]->ConnectionMediaType(pmt); }
  HRESULT SetCallback(VxSampleCallback cb) override {
    std::lock_guard<std::mutex> lock(m_);
    callback_ = cb;
    return S_OK;
  }
  HRESULT SetEndOfStreamCallback(VxEndOfStreamCallback cb) override {
    std::lock_guard<std::mutex> lock(m_);
    endCallback_ = cb;
    return S_OK;
  }

  HRESULT Accepts(const AM_MEDIA_TYPE& mt) {
    if (video_)
      return mt.majortype == MEDIATYPE_Video && mt.subtype == MEDIASUBTYPE_YUY2 &&
                     (mt.formattype == FORMAT_VideoInfo || mt.formattype == FORMAT_VideoInfo2)
                 ? S_OK
                 : VFW_E_TYPE_NOT_ACCEPTED;
    // Grabbers sit on decoded streams only, never on a compressed one.
    if (mt.formattype == FORMAT_FfmpegStream) return VFW_E_TYPE_NOT_ACCEPTED;
    std::lock_guard<std::mutex> lock(m_);
    if (!accepted_.IsValid() || !(mt.majortype == accepted_.majortype)) return VFW_E_TYPE_NOT_ACCEPTED;
    if (!(accepted_.subtype == GUID_NULL) && !(mt.subtype == accepted_.subtype)) return VFW_E_TYPE_NOT_ACCEPTED;
    if (!(accepted_.formattype == GUID_NULL) && !(mt.formattype == accepted_.formattype)) return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
  }

  HRESULT OnReceive(PinBase* in, IMediaSample* s) override {
    if (State() == State_Stopped) return VFW_E_WRONG_STATE;
    AM_MEDIA_TYPE* mt = nullptr;
    const bool changed = s->GetMediaType(&mt) == S_OK && mt;
    if (changed) {
      in->SetCurrentType(CMediaType(*mt));
      pins_[1]->SetCurrentType(CMediaType(*mt));
      DeleteMediaType(mt);
    }
    VxSampleCallback cb;
    {
      std::lock_guard<std::mutex> lock(m_);
      cb = callback_;
    }
    const LONG n = count_++;
    if (cb) {
      REFERENCE_TIME start = 0, stop = 0;
      s->GetTime(&start, &stop);
      cb(s, &start, &stop, static_cast<BOOL>(n), changed ? TRUE : FALSE);
    }
    HRESULT hr = pins_[1]->Deliver(s);
    return hr == VFW_E_NOT_CONNECTED ? S_OK : hr;
  }

  HRESULT OnEndOfStream(PinBase*) override {
    VxEndOfStreamCallback cb;
    {
      std::lock_guard<std::mutex> lock(m_);
      cb = endCallback_;
    }
    if (cb && State() != State_Stopped) cb();
    pins_[1]->DeliverEndOfStream();
    return S_OK;
  }

 protected:
  void OnStart() override { count_ = 0; }

 private:
  const bool video_;
  std::mutex m_;  // guards accepted_, callback_ and endCallback_
  CMediaType accepted_;
  VxSampleCallback callback_ = nullptr;
  VxEndOfStreamCallback endCallback_ = nullptr;
  std::atomic<LONG> count_{0};
};

GrabberInPin::GrabberInPin(FilterBase* f) : PinBase(f, L"In", PINDIR_INPUT) {}
HRESULT GrabberInPin::CheckMediaType(const AM_MEDIA_TYPE& mt) { return static_cast<GrabberFilter*>(filter_)->Accepts(mt); }

template <bool Video>
HRESULT Create(IUnknown* outer, REFIID riid, void** ppv) {
  if (outer) return CLASS_E_NOAGGREGATION;
  return QueryNewObject(new GrabberFilter(Video), riid, ppv);
}

const bool registeredVideo = RegisterComClass(CLSID_VxVideoGrabber, Create<true>);
const bool registeredAudio = RegisterComClass(CLSID_VxGrabber, Create<false>);

}  // namespace
