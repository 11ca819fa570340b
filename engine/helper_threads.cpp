#include "engine/helper_threads.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/core/frame_state.h"

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
  std::unique_lock<std::mutex> lock(completion->m);
  return completion->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return completion->done; });
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

void SetVolume_Helper::Execute() {
  if (audio_) audio_->put_Volume(volume_);
}
