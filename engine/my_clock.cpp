#include "engine/my_clock.h"

#include <climits>
#include <cmath>

namespace {
// Only touched under the lock of the clock being read; atomic because two
// clock objects have two different locks.
std::atomic<REFERENCE_TIME> LastClockTime{0};
}  // namespace

CMyClock::CMyClock(const char* name, IUnknown* outer, HRESULT* phr)
    : CBaseReferenceClock(name, outer, phr, false) {
  HRESULT hr = StartAdviseThread();
  if (phr && FAILED(hr)) *phr = hr;
}

CMyClock::~CMyClock() {
  // The advise thread calls our overrides; it must end before they go.
  StopAdviseThread();
}

REFERENCE_TIME CMyClock::GetPrivateTime() {
  CAutoLock lock(this);
  // 1. Wall time since the previous reading (wrap-safe 32-bit difference).
  const DWORD now = timeGetTime();
  const long long elapsed = static_cast<std::int32_t>(now - m_dwPrevSystemTime);
  // 2. Scale by the rate and apply a pending jump once.
  m_rtPrivateTime = std::llround(static_cast<double>(elapsed) * 10000.0 * Rate.load(std::memory_order_relaxed) +
                                 static_cast<double>(PendingAdvance) + static_cast<double>(m_rtPrivateTime));
  PendingAdvance = 0;
  // 3. Never below what any clock object has reported.
  const REFERENCE_TIME floor = LastClockTime.load();
  if (floor > m_rtPrivateTime) m_rtPrivateTime = floor + 1;
  LastClockTime.store(m_rtPrivateTime);
  // 4.
  m_dwPrevSystemTime = now;
  return m_rtPrivateTime;
}

void CMyClock::Advance(double seconds) {
  REFERENCE_TIME now;
  {
    CAutoLock lock(this);
    PendingAdvance = std::llround(seconds * 1e7);
    now = GetPrivateTime();
  }
  // Fire what is due now, then let the advise thread recompute its sleep.
  GetSchedule()->Advise(now);
  TriggerThread();
}

void CMyClock::Resync() {
  CAutoLock lock(this);
  m_dwPrevSystemTime = timeGetTime();
}

HRESULT CMyClock::AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                             DWORD_PTR* pdwAdviseCookie) {
  // A renderer waiting on an all-but-stopped clock restarts normal time.
  if (Rate.load() < 0.1f) Rate = 1.0f;
  return CBaseReferenceClock::AdviseTime(baseTime, streamTime, hEvent, pdwAdviseCookie);
}

HRESULT CMyClock::AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE hSemaphore,
                                 DWORD_PTR* pdwAdviseCookie) {
  if (Rate.load() < 0.1f) Rate = 1.5f;
  return CBaseReferenceClock::AdvisePeriodic(startTime, periodTime, hSemaphore, pdwAdviseCookie);
}

DWORD CMyClock::AdviseWaitMilliseconds(REFERENCE_TIME nextAdvise, REFERENCE_TIME now) {
  if (nextAdvise == MAX_TIME) return INFINITE;
  const float rate = Rate.load(std::memory_order_relaxed);
  // Sleep in step with a slowed clock; a stopped clock waits until woken.
  if (rate <= 0.0f) return INFINITE;
  const double ms = std::round(static_cast<double>(nextAdvise - now) / 10000.0 / rate);
  if (ms <= 0.0) return 1;
  if (ms >= static_cast<double>(UINT_MAX)) return INFINITE;
  return static_cast<DWORD>(ms);
}

REFERENCE_TIME CMyClock::LastClockTimeForTest() { return LastClockTime.load(); }
