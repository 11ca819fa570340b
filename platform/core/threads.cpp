#include "platform/core/threads.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

void Sleep(DWORD ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

DWORD GetTickCount() {
  using namespace std::chrono;
  auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  return static_cast<DWORD>(static_cast<std::uint64_t>(ms));
}

DWORD timeGetTime() { return GetTickCount(); }

void SetCurrentThreadHighestPriority() {
  // Without privileges a thread cannot go above its process's nice value;
  // ask for it anyway so a privileged run gets the designed priority.
  setpriority(PRIO_PROCESS, 0, getpriority(PRIO_PROCESS, 0));
}

void SetCurrentThreadName(const char* name) { pthread_setname_np(pthread_self(), name); }
