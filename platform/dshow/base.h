#pragma once
// The DirectShow base classes that our filters and clocks build on:
// CUnknown (non-delegating reference counting), CCritSec / CAutoLock, and
// the event and semaphore objects that clock advises signal.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/com/com.h"
#include "platform/core/threads.h"

inline constexpr DWORD INFINITE = 0xFFFFFFFFu;

struct INonDelegatingUnknown {
  virtual HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG NonDelegatingAddRef() = 0;
  virtual ULONG NonDelegatingRelease() = 0;

 protected:
  ~INonDelegatingUnknown() = default;
};

// Reference counting and interface lookup for one object. The count starts
// at 0; the object deletes itself when the last reference goes.
class CUnknown : public INonDelegatingUnknown {
 public:
  CUnknown(const char* name, IUnknown* outer);
  virtual ~CUnknown() = default;
  CUnknown(const CUnknown&) = delete;
  CUnknown& operator=(const CUnknown&) = delete;

  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  ULONG NonDelegatingAddRef() override;
  ULONG NonDelegatingRelease() override;
  IUnknown* GetOwner() const { return owner_; }
  const char* ObjectName() const { return name_; }
  // The object's own IUnknown, which forwards to the non-delegating methods.
  IUnknown* InnerUnknown() { return &inner_; }

 protected:
  // Runs when the last reference goes, before any destructor: the place to
  // end threads that call the object's virtual methods.
  virtual void OnFinalRelease() {}

 private:
  struct Inner : IUnknown {
    CUnknown* self;
    explicit Inner(CUnknown* s) : self(s) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override { return self->NonDelegatingQueryInterface(riid, ppv); }
    ULONG AddRef() override { return self->NonDelegatingAddRef(); }
    ULONG Release() override { return self->NonDelegatingRelease(); }
  };
  const char* name_;
  Inner inner_{this};
  IUnknown* owner_;  // the outer object, or inner_ when not aggregated
  std::atomic<ULONG> refs_{0};
};

// The last step of a class factory: hands out the asked interface of a new
// object, which is destroyed again when it has none.
template <typename T>
HRESULT QueryNewObject(T* object, REFIID riid, void** ppv) {
  object->NonDelegatingAddRef();
  HRESULT hr = object->NonDelegatingQueryInterface(riid, ppv);
  object->NonDelegatingRelease();
  return hr;
}

// Hands out pUnk as *ppv with one more reference.
HRESULT GetInterface(IUnknown* pUnk, void** ppv);

// Implements the IUnknown methods of a class deriving from CUnknown.
#define DECLARE_IUNKNOWN                                                                          \
  HRESULT QueryInterface(REFIID riid, void** ppv) override {                                      \
    return GetOwner()->QueryInterface(riid, ppv);                                                 \
  }                                                                                               \
  ULONG AddRef() override { return GetOwner()->AddRef(); }                                        \
  ULONG Release() override { return GetOwner()->Release(); }

// A re-entrant critical section.
class CCritSec {
 public:
  void Lock() { cs_.lock(); }
  void Unlock() { cs_.unlock(); }
  void lock() { cs_.lock(); }
  void unlock() { cs_.unlock(); }

 private:
  std::recursive_mutex cs_;
};

class CAutoLock {
 public:
  explicit CAutoLock(CCritSec* cs) : cs_(cs) { cs_->Lock(); }
  ~CAutoLock() { cs_->Unlock(); }
  CAutoLock(const CAutoLock&) = delete;
  CAutoLock& operator=(const CAutoLock&) = delete;

 private:
  CCritSec* cs_;
};

// A Win32-style event: manual or auto reset.
class CAMEvent {
 public:
  explicit CAMEvent(bool manualReset = false) : manual_(manualReset) {}
  void Set();
  void Reset();
  // True when signalled within ms (INFINITE waits for ever).
  bool Wait(DWORD ms = INFINITE);
  bool Check() { return Wait(0); }

 private:
  const bool manual_;
  std::mutex m_;  // guards signalled_
  std::condition_variable cv_;
  bool signalled_ = false;
};

// A counting semaphore for periodic advises.
class CAMSemaphore {
 public:
  explicit CAMSemaphore(LONG initial = 0, LONG maximum = 0x7FFFFFFF) : count_(initial), max_(maximum) {}
  void Release(LONG n = 1);
  bool Wait(DWORD ms = INFINITE);
  LONG Count();

 private:
  std::mutex m_;  // guards count_
  std::condition_variable cv_;
  LONG count_;
  const LONG max_;
};

using HEVENT = CAMEvent*;
using HSEMAPHORE = CAMSemaphore*;

// Multimedia timer resolution: the system's timers are already millisecond
// accurate, so these only report a 1 ms period.
struct TIMECAPS {
  UINT wPeriodMin;
  UINT wPeriodMax;
};
inline constexpr UINT TIMERR_NOERROR = 0;
UINT timeGetDevCaps(TIMECAPS* caps, UINT size);
UINT timeBeginPeriod(UINT period);
UINT timeEndPeriod(UINT period);
