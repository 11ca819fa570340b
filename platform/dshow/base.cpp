#include "platform/dshow/base.h"

CUnknown::CUnknown(const char* name, IUnknown* outer)
    : name_(name), owner_(outer ? outer : &inner_) {}

HRESULT CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown)
    return GetInterface(&inner_, ppv);
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG CUnknown::NonDelegatingAddRef() { return ++refs_; }

ULONG CUnknown::NonDelegatingRelease() {
  ULONG n = --refs_;
  if (n == 0) {
    // Keep the count up while the destructor runs, so a reference taken and
    // dropped inside it does not delete twice.
    refs_ = 1;
    OnFinalRelease();
    delete this;
  }
  return n;
}

HRESULT GetInterface(IUnknown* pUnk, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = pUnk;
  pUnk->AddRef();
  return S_OK;
}

// The notification is sent with the lock held: a waiter that wakes may
// destroy the event at once, and must not do so while we still signal it.
void CAMEvent::Set() {
  std::lock_guard<std::mutex> lock(m_);
  signalled_ = true;
  if (manual_) cv_.notify_all();
  else cv_.notify_one();
}

void CAMEvent::Reset() {
  std::lock_guard<std::mutex> lock(m_);
  signalled_ = false;
}

bool CAMEvent::Wait(DWORD ms) {
  std::unique_lock<std::mutex> lock(m_);
  auto ready = [this] { return signalled_; };
  if (ms == INFINITE) cv_.wait(lock, ready);
  else if (!cv_.wait_for(lock, std::chrono::milliseconds(ms), ready)) return false;
  if (!manual_) signalled_ = false;
  return true;
}

void CAMSemaphore::Release(LONG n) {
  std::lock_guard<std::mutex> lock(m_);
  count_ = (count_ > max_ - n) ? max_ : count_ + n;
  cv_.notify_all();
}

bool CAMSemaphore::Wait(DWORD ms) {
  std::unique_lock<std::mutex> lock(m_);
  auto ready = [this] { return count_ > 0; };
  if (ms == INFINITE) cv_.wait(lock, ready);
  else if (!cv_.wait_for(lock, std::chrono::milliseconds(ms), ready)) return false;
  --count_;
  return true;
}

LONG CAMSemaphore::Count() {
  std::lock_guard<std::mutex> lock(m_);
  return count_;
}

UINT timeGetDevCaps(TIMECAPS* caps, UINT) {
  if (!caps) return 1;
  caps->wPeriodMin = 1;
  caps->wPeriodMax = 1000000;
  return TIMERR_NOERROR;
}
UINT timeBeginPeriod(UINT) { return TIMERR_NOERROR; }
UINT timeEndPeriod(UINT) { return TIMERR_NOERROR; }
