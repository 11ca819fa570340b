#include "platform/core/messages.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/core/threads.h"

namespace {
std::mutex g_pumpMutex;  // guards g_pump
std::function<void()> g_pump;

std::mutex g_waitPumpMutex;  // guards g_waitPump and g_waitPumpThread
std::function<void()> g_waitPump;
std::thread::id g_waitPumpThread;
}  // namespace

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!hwnd) return FALSE;
  hwnd->Post(msg, wParam, lParam);
  return TRUE;
}

void SetPendingMessagePump(std::function<void()> pump) {
  std::lock_guard<std::mutex> lock(g_pumpMutex);
  g_pump = std::move(pump);
}

void ProcessPendingMessages() {
  std::function<void()> pump;
  {
    std::lock_guard<std::mutex> lock(g_pumpMutex);
    pump = g_pump;
  }
  if (pump) pump();
}

void SetWaitPump(std::function<void()> pump) {
  std::lock_guard<std::mutex> lock(g_waitPumpMutex);
  g_waitPump = std::move(pump);
  g_waitPumpThread = g_waitPump ? std::this_thread::get_id() : std::thread::id();
}

bool WaitPumpOnThisThread() {
  std::lock_guard<std::mutex> lock(g_waitPumpMutex);
  return g_waitPump && g_waitPumpThread == std::this_thread::get_id();
}

void RunWaitPump() {
  std::function<void()> pump;
  {
    std::lock_guard<std::mutex> lock(g_waitPumpMutex);
    if (g_waitPumpThread == std::this_thread::get_id()) pump = g_waitPump;
  }
  if (pump) pump();
}

void SleepPumping(DWORD ms) {
  if (!WaitPumpOnThisThread()) {
    Sleep(ms);
    return;
  }
  const DWORD begin = GetTickCount();
  for (DWORD waited = 0; waited < ms; waited = GetTickCount() - begin) {
    Sleep(std::min<DWORD>(10, ms - waited));
    RunWaitPump();
  }
}

void QueuedMessageWindow::Post(UINT msg, WPARAM wParam, LPARAM lParam) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back({msg, wParam, lParam});
  }
  cv_.notify_one();
}

int QueuedMessageWindow::Dispatch() {
  int n = 0;
  for (;;) {
    Msg m;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) return n;
      m = queue_.front();
      queue_.pop_front();
    }
    handler_(m.msg, m.w, m.l);
    ++n;
  }
}

int QueuedMessageWindow::WaitAndDispatch(int timeoutMs) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !queue_.empty(); });
  }
  return Dispatch();
}
