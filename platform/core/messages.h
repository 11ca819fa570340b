#pragma once
// The one call through which engine and encoder code posts window messages.
// A window (the Qt main window, the batch converter's host, a test) implements
// MessageWindow; a window handle is a pointer to one.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "platform/core/win_types.h"

constexpr UINT WM_APP = 0x8000;
constexpr UINT WM_GRAPHNOTIFY = WM_APP + 1;       // 0x8001
constexpr UINT WM_VIDEO_RELAYOUT = WM_APP + 4;    // 0x8004
constexpr UINT WM_RECORD_PROGRESS = WM_APP + 6;   // 0x8006

class MessageWindow {
 public:
  virtual ~MessageWindow() = default;
  // Queues the message for the window's thread; may be called from any thread.
  virtual void Post(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};

using HWND = MessageWindow*;

// Posts to the window; false when there is no window.
BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// "Process pending messages": dispatches every message waiting for the
// user-interface thread. The front end installs what that means for it.
void SetPendingMessagePump(std::function<void()> pump);
void ProcessPendingMessages();

// While the user-interface thread waits inside the engine (a helper's
// time-out, a fixed pause), a front end can keep its event loop turning so
// that timers tick and windows repaint. The pump runs only on the thread
// that installed it; it must not call into the engine. Without one the
// waits simply block, as they do in the headless host.
void SetWaitPump(std::function<void()> pump);
// True when the calling thread installed the wait pump.
bool WaitPumpOnThisThread();
// Runs the wait pump when the caller is on its thread.
void RunWaitPump();
// Sleep(ms), cut into slices of at most 10 ms with the wait pump run
// between them on the pump's thread; a plain Sleep elsewhere.
void SleepPumping(DWORD ms);

// A message window without widgets: a thread-safe queue that the owning
// thread drains with Dispatch (used by the batch converter and tests).
class QueuedMessageWindow : public MessageWindow {
 public:
  using Handler = std::function<void(UINT, WPARAM, LPARAM)>;
  explicit QueuedMessageWindow(Handler handler) : handler_(std::move(handler)) {}
  void Post(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // Runs the handler for every queued message; returns how many ran.
  int Dispatch();
  // Waits up to timeoutMs for a message, then dispatches all that are queued.
  int WaitAndDispatch(int timeoutMs);

 private:
  struct Msg { UINT msg; WPARAM w; LPARAM l; };
  Handler handler_;
  std::mutex mutex_;  // guards queue_
  std::condition_variable cv_;
  std::deque<Msg> queue_;
};
