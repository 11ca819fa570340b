#include "platform/dshow/refclock.h"

#include <climits>

CBaseReferenceClock::CBaseReferenceClock(const char* name, IUnknown* outer, HRESULT* phr, bool startThread)
    : CUnknown(name, outer), m_pSchedule(std::make_unique<CAMSchedule>(&m_Event)) {
  TIMECAPS tc;
  m_TimerResolution = (timeGetDevCaps(&tc, sizeof tc) == TIMERR_NOERROR) ? tc.wPeriodMin : 1;
  timeBeginPeriod(m_TimerResolution);
  m_dwPrevSystemTime = timeGetTime();
  m_rtPrivateTime = static_cast<REFERENCE_TIME>(m_dwPrevSystemTime) * 10000;
  if (startThread) {
    HRESULT hr = StartAdviseThread();
    if (phr && FAILED(hr)) *phr = hr;
  }
}

CBaseReferenceClock::~CBaseReferenceClock() {
  StopAdviseThread();
  timeEndPeriod(m_TimerResolution);
}

HRESULT CBaseReferenceClock::StartAdviseThread() {
  try {
    m_hThread = std::thread([this] { AdviseThread(); });
  } catch (...) {
    return E_FAIL;
  }
  return S_OK;
}

void CBaseReferenceClock::StopAdviseThread() {
  m_bAbort = true;
  m_Event.Set();
  if (m_hThread.joinable()) m_hThread.join();
}

HRESULT CBaseReferenceClock::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IReferenceClock) return GetInterface(static_cast<IReferenceClock*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

REFERENCE_TIME CBaseReferenceClock::GetPrivateTime() {
  CAutoLock lock(this);
  DWORD now = timeGetTime();
  // Unsigned difference: correct across the 49.7-day wrap of the tick count.
  m_rtPrivateTime += static_cast<REFERENCE_TIME>(static_cast<DWORD>(now - m_dwPrevSystemTime)) * 10000;
  m_dwPrevSystemTime = now;
  return m_rtPrivateTime;
}

HRESULT CBaseReferenceClock::GetTime(REFERENCE_TIME* pTime) {
  if (!pTime) return E_POINTER;
  CAutoLock lock(this);
  REFERENCE_TIME now = GetPrivateTime();
  HRESULT hr;
  if (now > m_rtLastGotTime) {
    m_rtLastGotTime = now;
    hr = S_OK;
  } else {
    hr = S_FALSE;
  }
  *pTime = m_rtLastGotTime;
  return hr;
}

HRESULT CBaseReferenceClock::AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                                        DWORD_PTR* pdwAdviseCookie) {
  if (!pdwAdviseCookie) return E_POINTER;
  *pdwAdviseCookie = 0;
  if (!hEvent) return E_INVALIDARG;
  // Sum in unsigned arithmetic so huge arguments cannot overflow into UB.
  const REFERENCE_TIME refTime =
      static_cast<REFERENCE_TIME>(static_cast<std::uint64_t>(baseTime) + static_cast<std::uint64_t>(streamTime));
  if (refTime <= 0 || refTime == MAX_TIME) return E_INVALIDARG;
  *pdwAdviseCookie = m_pSchedule->AddAdvisePacket(refTime, 0, hEvent, FALSE);
  return *pdwAdviseCookie ? S_OK : E_OUTOFMEMORY;
}

HRESULT CBaseReferenceClock::AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                                            HSEMAPHORE hSemaphore, DWORD_PTR* pdwAdviseCookie) {
  if (!pdwAdviseCookie) return E_POINTER;
  *pdwAdviseCookie = 0;
  if (!hSemaphore || startTime <= 0 || periodTime <= 0 || startTime == MAX_TIME) return E_INVALIDARG;
  *pdwAdviseCookie = m_pSchedule->AddAdvisePacket(startTime, periodTime, hSemaphore, TRUE);
  return *pdwAdviseCookie ? S_OK : E_OUTOFMEMORY;
}

HRESULT CBaseReferenceClock::Unadvise(DWORD_PTR dwAdviseCookie) { return m_pSchedule->Unadvise(dwAdviseCookie); }

HRESULT CBaseReferenceClock::SetTimeDelta(const REFERENCE_TIME& delta) {
  {
    CAutoLock lock(this);
    m_rtPrivateTime += delta;
    if (delta < 0) m_rtLastGotTime = m_rtPrivateTime;
  }
  TriggerThread();
  return S_OK;
}

DWORD CBaseReferenceClock::AdviseWaitMilliseconds(REFERENCE_TIME nextAdvise, REFERENCE_TIME now) {
  if (nextAdvise == MAX_TIME) return INFINITE;
  long long ms = (nextAdvise - now) / 10000;
  if (ms <= 0) return 1;
  return ms >= static_cast<long long>(UINT_MAX) ? INFINITE : static_cast<DWORD>(ms);
}

void CBaseReferenceClock::AdviseThread() {
  SetCurrentThreadName("clock advise");
  SetCurrentThreadHighestPriority();
  DWORD wait = INFINITE;
  while (!m_bAbort) {
    // Sleeps until the next request is due or the schedule's head changes.
    m_Event.Wait(wait);
    if (m_bAbort) break;
    const REFERENCE_TIME now = GetPrivateTime();
    m_rtNextAdvise = m_pSchedule->Advise(now + 10000);
    wait = AdviseWaitMilliseconds(m_rtNextAdvise, now);
  }
}

namespace {
class SystemClock : public CBaseReferenceClock {
 public:
  explicit SystemClock(HRESULT* phr) : CBaseReferenceClock("system clock", nullptr, phr) {}
};
}  // namespace

HRESULT CreateSystemClock(IReferenceClock** ppClock) {
  if (!ppClock) return E_POINTER;
  HRESULT hr = S_OK;
  auto* c = new SystemClock(&hr);
  if (FAILED(hr)) {
    delete c;
    *ppClock = nullptr;
    return hr;
  }
  *ppClock = c;
  c->AddRef();
  return S_OK;
}
