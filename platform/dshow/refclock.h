#pragma once
// IReferenceClock and CBaseReferenceClock: a clock running from the
// millisecond system timer, with an advise thread that fires the requests
// kept in a CAMSchedule.
#include <memory>
#include <thread>

#include "platform/dshow/base.h"
#include "platform/dshow/schedule.h"

struct IReferenceClock : IUnknown {
  virtual HRESULT GetTime(REFERENCE_TIME* pTime) = 0;
  virtual HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                             DWORD_PTR* pdwAdviseCookie) = 0;
  virtual HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE hSemaphore,
                                 DWORD_PTR* pdwAdviseCookie) = 0;
  virtual HRESULT Unadvise(DWORD_PTR dwAdviseCookie) = 0;
};
inline constexpr IID IID_IReferenceClock = {0x56a86897, 0x0ad4, 0x11ce, {0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};

class CBaseReferenceClock : public CUnknown, public IReferenceClock, public CCritSec {
 public:
  // A derived clock that overrides GetPrivateTime passes startThread false
  // and calls StartAdviseThread at the end of its own constructor, so the
  // thread never sees a half-built object.
  CBaseReferenceClock(const char* name, IUnknown* outer, HRESULT* phr, bool startThread = true);
  ~CBaseReferenceClock() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT GetTime(REFERENCE_TIME* pTime) override;
  HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                     DWORD_PTR* pdwAdviseCookie) override;
  HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE hSemaphore,
                         DWORD_PTR* pdwAdviseCookie) override;
  HRESULT Unadvise(DWORD_PTR dwAdviseCookie) override;

  // The clock's own time in 100-ns units (under the object's lock).
  virtual REFERENCE_TIME GetPrivateTime();
  // Moves the clock by delta and fires whatever became due.
  HRESULT SetTimeDelta(const REFERENCE_TIME& delta);
  CAMSchedule* GetSchedule() { return m_pSchedule.get(); }
  // Wakes the advise thread so it re-reads the schedule.
  void TriggerThread() { m_Event.Set(); }

 protected:
  // How long the advise thread sleeps before the next request is due.
  virtual DWORD AdviseWaitMilliseconds(REFERENCE_TIME nextAdvise, REFERENCE_TIME now);
  HRESULT StartAdviseThread();
  void StopAdviseThread();
  void OnFinalRelease() override { StopAdviseThread(); }

  DWORD m_dwPrevSystemTime;      // timeGetTime() at the last reading
  REFERENCE_TIME m_rtPrivateTime;
  REFERENCE_TIME m_rtLastGotTime = 0;  // last time GetTime reported
  REFERENCE_TIME m_rtNextAdvise = MAX_TIME;  // written by the advise thread only
  UINT m_TimerResolution = 0;
  std::atomic<bool> m_bAbort{false};
  CAMEvent m_Event;  // auto-reset; wakes the advise thread
  std::unique_ptr<CAMSchedule> m_pSchedule;

 private:
  void AdviseThread();
  std::thread m_hThread;
};

// The graph's own clock when no sync source was chosen.
HRESULT CreateSystemClock(IReferenceClock** ppClock);
