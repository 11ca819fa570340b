#pragma once
// Base pieces of our filters: media samples, pins, the filter object and
// its state machine. Pins are part of their filter: their references count
// on the filter.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/dshow.h"
#include "platform/lumimg/lumimg.h"

class MediaSample final : public IMediaSample {
 public:
  explicit MediaSample(std::size_t size);
  // A decoded picture kept in its planes (held alive by pack) and packed
  // into the sample's bytes only when GetPointer first asks for them: a
  // reader that scales the planes never pays for the full-size packing.
  MediaSample(std::size_t size, const LumPlanarPicture& planes, std::function<void(BYTE*)> pack);
  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override;
  HRESULT GetPointer(BYTE** ppBuffer) override;
  LONG GetSize() override { return static_cast<LONG>(size_); }
  HRESULT GetTime(REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd) override;
  HRESULT SetTime(REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd) override;
  HRESULT IsSyncPoint() override { return sync_ ? S_OK : S_FALSE; }
  HRESULT SetSyncPoint(BOOL b) override { sync_ = b; return S_OK; }
  HRESULT IsPreroll() override { return S_FALSE; }
  HRESULT SetPreroll(BOOL) override { return S_OK; }
  LONG GetActualDataLength() override { return actual_; }
  HRESULT SetActualDataLength(LONG len) override;
  HRESULT GetMediaType(AM_MEDIA_TYPE** ppMediaType) override;
  HRESULT SetMediaType(AM_MEDIA_TYPE* pMediaType) override;
  HRESULT IsDiscontinuity() override { return discontinuity_ ? S_OK : S_FALSE; }
  HRESULT SetDiscontinuity(BOOL b) override { discontinuity_ = b; return S_OK; }
  HRESULT GetMediaTime(LONGLONG*, LONGLONG*) override { return VFW_E_RUNTIME_ERROR; }
  HRESULT SetMediaTime(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }
  BYTE* Data() { return data_.get(); }
  // The picture's planes, for a sample made with them; else null.
  const LumPlanarPicture* Planes() const { return pack_ ? &planes_ : nullptr; }

 private:
  ~MediaSample() = default;
  LumPlanarPicture planes_;
  std::function<void(BYTE*)> pack_;
  std::once_flag packed_;
  std::atomic<ULONG> refs_{0};
  // Left uninitialised: the producer writes what it sets as the actual length
  // (zeroing a decoded HD picture first cost as much as a copy of it).
  std::unique_ptr<BYTE[]> data_;
  std::size_t size_;
  LONG actual_ = 0;
  REFERENCE_TIME start_ = 0, stop_ = 0;
  bool timeValid_ = false;
  bool sync_ = true, discontinuity_ = false;
  CMediaType type_;
  bool typeSet_ = false;
};

// The planes of a sample that kept them (see MediaSample), else null.
const LumPlanarPicture* PlanarPictureOf(IMediaSample* sample);

class FilterBase;

class PinBase : public IPin, public IMemInputPin {
 public:
  PinBase(FilterBase* filter, const wchar_t* name, PIN_DIRECTION dir);
  virtual ~PinBase() = default;

  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
  HRESULT ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
  HRESULT Disconnect() override;
  HRESULT ConnectedTo(IPin** pPin) override;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
  HRESULT QueryPinInfo(PIN_INFO* pInfo) override;
  HRESULT QueryDirection(PIN_DIRECTION* pPinDir) override;
  HRESULT QueryId(LPWSTR* Id) override;
  HRESULT QueryAccept(const AM_MEDIA_TYPE* pmt) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override { return S_OK; }
  HRESULT EndFlush() override { return S_OK; }
  HRESULT NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }
  HRESULT Receive(IMediaSample* pSample) override;

  // The type an output pin offers; an input pin offers none.
  virtual bool GetOfferedType(CMediaType* mt) { (void)mt; return false; }
  virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) { (void)mt; return VFW_E_TYPE_NOT_ACCEPTED; }

  const std::wstring& Name() const { return name_; }
  PIN_DIRECTION Direction() const { return dir_; }
  bool IsConnected();
  ComPtr<IPin> Peer();
  CMediaType CurrentType();
  void SetCurrentType(const CMediaType& mt);
  FilterBase* Filter() const { return filter_; }

  // Output side: hands a sample / end of stream to the connected input pin.
  HRESULT Deliver(IMediaSample* sample);
  HRESULT DeliverEndOfStream();

 protected:
  FilterBase* filter_;
  std::wstring name_;
  PIN_DIRECTION dir_;
  CCritSec pinLock_;  // guards peer_, peerInput_, type_
  ComPtr<IPin> peer_;
  ComPtr<IMemInputPin> peerInput_;
  CMediaType type_;
};

class FilterBase : public CUnknown, public IBaseFilter, public IMediaEventSink {
 public:
  FilterBase(const char* objName, const CLSID& clsid);
  ~FilterBase() override;
  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT GetClassID(CLSID* pClassID) override;
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME tStart) override;
  HRESULT GetState(DWORD ms, FILTER_STATE* State) override;
  HRESULT SetSyncSource(IReferenceClock* pClock) override;
  HRESULT GetSyncSource(IReferenceClock** pClock) override;
  HRESULT EnumPins(IEnumPins** ppEnum) override;
  HRESULT FindPin(LPCWSTR Id, IPin** ppPin) override;
  HRESULT QueryFilterInfo(FILTER_INFO* pInfo) override;
  HRESULT JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
  HRESULT QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }
  // Events from pins go on to the graph.
  HRESULT Notify(LONG code, LONG_PTR p1, LONG_PTR p2) override;

  // Streaming order: the graph changes state from the renderers upstream.
  virtual int Rank() const { return 1; }
  // True once a paused renderer holds a sample or has had end of stream.
  virtual bool IsCued() { return true; }
  // A pin's connection changed.
  virtual void OnConnected(PinBase* pin) { (void)pin; }
  virtual HRESULT OnReceive(PinBase* pin, IMediaSample* s) { (void)pin; (void)s; return E_UNEXPECTED; }
  virtual HRESULT OnEndOfStream(PinBase* pin) { (void)pin; return S_OK; }

  const std::vector<PinBase*>& Pins() const { return pins_; }
  FILTER_STATE State();
  REFERENCE_TIME StartTime();
  ComPtr<IReferenceClock> Clock();
  IFilterGraph* Graph();
  std::wstring FilterName();

 protected:
  // Streaming threads end before any destructor runs.
  void OnFinalRelease() override { Stop(); }
  // Called with the state already set, outside the filter lock.
  virtual void OnStart() {}   // stopped -> paused: begin streaming
  virtual void OnStop() {}    // -> stopped: end streaming and join threads
  virtual void OnStateChanged() {}

  CLSID clsid_;
  std::vector<PinBase*> pins_;  // owned; fixed after construction
  CCritSec filterLock_;         // guards state_, tStart_, clock_, graph_, name_
  FILTER_STATE state_ = State_Stopped;
  REFERENCE_TIME tStart_ = 0;
  ComPtr<IReferenceClock> clock_;
  IFilterGraph* graph_ = nullptr;  // not counted: the graph holds us
  std::wstring name_;
};
