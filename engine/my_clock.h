#pragma once
// CMyClock: the engine's reference clock. The engine decides how fast the
// graph runs: Rate scales the passing of wall time, Advance jumps forward
// once, Resync forgets the wall time since the last reading, and a
// process-wide floor keeps readings monotonic across clock objects.
#include <atomic>

#include "platform/dshow/refclock.h"

class CMyClock : public CBaseReferenceClock {
 public:
  // name is "vxclk" in the engine; outer is always null there.
  CMyClock(const char* name, IUnknown* outer, HRESULT* phr);
  ~CMyClock() override;

  REFERENCE_TIME GetPrivateTime() override;
  HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                     DWORD_PTR* pdwAdviseCookie) override;
  HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE hSemaphore,
                         DWORD_PTR* pdwAdviseCookie) override;

  // One-shot forward jump; advises that are due then fire at once.
  void Advance(double seconds);
  // The wall time elapsed since the last reading will not count.
  void Resync();

  // Factor applied to elapsed wall time. Written by the engine from any
  // thread without the clock's lock; atomic so that is well defined.
  std::atomic<float> Rate{1.0f};

  // The process-wide floor shared by all clock objects (for tests).
  static REFERENCE_TIME LastClockTimeForTest();

 protected:
  DWORD AdviseWaitMilliseconds(REFERENCE_TIME nextAdvise, REFERENCE_TIME now) override;

 private:
  REFERENCE_TIME PendingAdvance = 0;  // guarded by the object's lock
};
