#include "platform/dshow/schedule.h"

void CAMSchedule::Insert(const Packet& p) {
  auto it = packets_.begin();
  while (it != packets_.end() && it->time <= p.time) ++it;
  packets_.insert(it, p);
}

DWORD_PTR CAMSchedule::AddAdvisePacket(REFERENCE_TIME time, REFERENCE_TIME period, void* handle, BOOL periodic) {
  if (!handle || time < 0 || time == MAX_TIME || (periodic && period <= 0)) return 0;
  bool newHead;
  DWORD_PTR cookie;
  {
    CAutoLock lock(&lock_);
    cookie = nextCookie_++;
    Packet p{cookie, time, periodic ? period : 0, handle};
    newHead = packets_.empty() || time < packets_.front().time;
    Insert(p);
  }
  // The advise thread sleeps until the old head; wake it for an earlier one.
  if (newHead && ev_) ev_->Set();
  return cookie;
}

HRESULT CAMSchedule::Unadvise(DWORD_PTR cookie) {
  CAutoLock lock(&lock_);
  for (auto it = packets_.begin(); it != packets_.end(); ++it)
    if (it->cookie == cookie) {
      packets_.erase(it);
      return S_OK;
    }
  return S_FALSE;
}

REFERENCE_TIME CAMSchedule::Advise(REFERENCE_TIME now) {
  CAutoLock lock(&lock_);
  while (!packets_.empty() && packets_.front().time <= now) {
    Packet p = packets_.front();
    packets_.pop_front();
    if (p.period > 0) {
      static_cast<HSEMAPHORE>(p.handle)->Release(1);
      // A periodic request that fell far behind fires once, then resumes
      // from now rather than firing for every missed period.
      REFERENCE_TIME next = p.time + p.period;
      if (next <= now) next = now + p.period - (now - p.time) % p.period;
      p.time = next;
      Insert(p);
    } else {
      static_cast<HEVENT>(p.handle)->Set();
    }
  }
  return packets_.empty() ? MAX_TIME : packets_.front().time;
}

REFERENCE_TIME CAMSchedule::GetNextAdviseTime() {
  CAutoLock lock(&lock_);
  return packets_.empty() ? MAX_TIME : packets_.front().time;
}

int CAMSchedule::GetAdviseCount() {
  CAutoLock lock(&lock_);
  return static_cast<int>(packets_.size());
}
