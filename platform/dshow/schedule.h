#pragma once
// CAMSchedule: the time-ordered list of advise requests behind a reference
// clock. Due one-shot requests set their event; due periodic requests
// release their semaphore once and move on by their period.
#include <list>

#include "platform/dshow/base.h"

inline constexpr REFERENCE_TIME MAX_TIME = 0x7FFFFFFFFFFFFFFFLL;

class CAMSchedule {
 public:
  // ev wakes the clock's advise thread whenever the earliest request changes.
  explicit CAMSchedule(HEVENT ev) : ev_(ev) {}
  HEVENT GetEvent() const { return ev_; }

  // Returns the cookie, or 0 when the request is invalid.
  DWORD_PTR AddAdvisePacket(REFERENCE_TIME time, REFERENCE_TIME period, void* handle, BOOL periodic);
  HRESULT Unadvise(DWORD_PTR cookie);
  // Fires every request due at or before now; returns the next due time
  // (MAX_TIME when none is left).
  REFERENCE_TIME Advise(REFERENCE_TIME now);
  REFERENCE_TIME GetNextAdviseTime();
  int GetAdviseCount();

 private:
  struct Packet {
    DWORD_PTR cookie;
    REFERENCE_TIME time;
    REFERENCE_TIME period;  // 0 for one-shot
    void* handle;           // HEVENT or HSEMAPHORE
  };
  void Insert(const Packet& p);

  HEVENT ev_;
  CCritSec lock_;  // guards packets_ and nextCookie_
  std::list<Packet> packets_;  // ordered by time
  DWORD_PTR nextCookie_ = 1;
};
