#include "engine/helper_threads.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/frame_state.h"
#include "platform/core/messages.h"

namespace {
// What the waiting caller and the helper share; it outlives whichever ends last.
struct Completion {
  std::mutex m;  // guards done
  std::condition_variable cv;
  bool done = false;
};

// Joins COM for the helper's thread as the graph requires.
struct ComApartment {
  ComApartment() { CoInitializeEx(nullptr, 0); }
  ~ComApartment() { CoUninitialize(); }
};
}  // namespace

bool GraphHelper::RunAndWait(std::shared_ptr<GraphHelper> helper, DWORD timeoutMs) {
  auto completion = std::make_shared<Completion>();
  std::thread([helper, completion] {
    {
      ComApartment com;
      helper->Execute();
    }
    std::lock_guard<std::mutex> lock(completion->m);
    completion->done = true;
    completion->cv.notify_all();
  }).detach();
  // The time-out is the same either way; on the thread with a wait pump the
  // wait is cut into slices so the window's event loop keeps turning.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  const bool pumping = WaitPumpOnThisThread();
  std::unique_lock<std::mutex> lock(completion->m);
  for (;;) {
    const auto until = pumping ? std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(10))
                               : deadline;
    if (completion->cv.wait_until(lock, until, [&] { return completion->done; })) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    lock.unlock();
    RunWaitPump();
    lock.lock();
  }
}

namespace {
class Work_Helper : public GraphHelper {
 public:
  explicit Work_Helper(std::function<void()> work) : work_(std::move(work)) {}

 protected:
  void Execute() override { work_(); }

 private:
  std::function<void()> work_;
};
}  // namespace

void RunAwayFromWindowThread(const std::function<void()>& work) {
  if (!WaitPumpOnThisThread()) {
    work();
    return;
  }
  // The caller may only go on after the work: no time limit to speak of
  // (49 days).
  constexpr DWORD kNoTimeLimit = 0xFFFFFFFF;
  GraphHelper::RunAndWait(std::make_shared<Work_Helper>(work), kNoTimeLimit);
}

void Movie_Play_Helper::Execute() {
  // A file source needs no call once the graph runs.
}

void Movie_Pause_Helper::Execute() {
  if (control_ && SUCCEEDED(control_->Pause())) Frame().PlaybackState = 1;
}

void Movie_Stop_Helper::Execute() {
  if (control_ && SUCCEEDED(control_->Stop())) Frame().PlaybackState = 0;
}

void Movie_Seek_Helper::Execute() {
  if (position_) position_->put_CurrentPosition(seconds_);
}

void SetVolume_Helper::Execute() {
  if (audio_) audio_->put_Volume(volume_);
}
