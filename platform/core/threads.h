#pragma once
// Threads, critical sections and the millisecond clocks of the design.
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/core/win_types.h"

// Sleep(ms): gives up the processor for at least ms milliseconds.
void Sleep(DWORD ms);

// GetTickCount(): milliseconds since an arbitrary start, 32 bits, wrapping.
DWORD GetTickCount();

// timeGetTime(): the same clock as GetTickCount (the design's multimedia timer).
DWORD timeGetTime();

// A recursive critical section, as EnterCriticalSection allows re-entry from
// the owning thread.
class CriticalSection {
 public:
  void Enter() { m_.lock(); }
  void Leave() { m_.unlock(); }
  bool TryEnter() { return m_.try_lock(); }
  void lock() { m_.lock(); }
  void unlock() { m_.unlock(); }
  bool try_lock() { return m_.try_lock(); }

 private:
  std::recursive_mutex m_;
};

// Holds a critical section for a scope; Unlock/Relock let a loop sleep
// without it, as the design's waits do.
class CritSecLock {
 public:
  explicit CritSecLock(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  ~CritSecLock() {
    if (held_) cs_.Leave();
  }
  CritSecLock(const CritSecLock&) = delete;
  CritSecLock& operator=(const CritSecLock&) = delete;
  void Unlock() {
    if (held_) { cs_.Leave(); held_ = false; }
  }
  void Relock() {
    if (!held_) { cs_.Enter(); held_ = true; }
  }
  // Leaves the section, sleeps ms, takes it again.
  void SleepUnlocked(DWORD ms) {
    Unlock();
    Sleep(ms);
    Relock();
  }

 private:
  CriticalSection& cs_;
  bool held_ = true;
};

// Raises the calling thread to the highest priority that an unprivileged
// process may take (a no-op when the system refuses).
void SetCurrentThreadHighestPriority();

// Names the calling thread for debuggers and the thread list (at most 15 chars).
void SetCurrentThreadName(const char* name);
