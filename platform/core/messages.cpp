#include "platform/core/messages.h"

#include <chrono>

namespace {
std::mutex g_pumpMutex;  // guards g_pump
std::function<void()> g_pump;
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
