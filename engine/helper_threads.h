#pragma once
// One-shot helper threads for blocking graph calls. Each runs its one call
// on a thread of its own; the caller waits at most a fixed time. A helper
// that overruns its time-out finishes on its own and frees itself.
#include <functional>
#include <memory>

#include "platform/dshow/dshow.h"

class GraphHelper {
 public:
  virtual ~GraphHelper() = default;
  // Starts the helper and waits up to timeoutMs; true when it finished.
  static bool RunAndWait(std::shared_ptr<GraphHelper> helper, DWORD timeoutMs);

 protected:
  virtual void Execute() = 0;
};

// The helpers hold their own references: one that overruns its time-out
// may still be calling when the graph is closed.
class Movie_Play_Helper : public GraphHelper {
 protected:
  void Execute() override;
};

class Movie_Pause_Helper : public GraphHelper {
 public:
  explicit Movie_Pause_Helper(IMediaControl* control) : control_(control) {}

 protected:
  void Execute() override;

 private:
  ComPtr<IMediaControl> control_;
};

class Movie_Stop_Helper : public GraphHelper {
 public:
  explicit Movie_Stop_Helper(IMediaControl* control) : control_(control) {}

 protected:
  void Execute() override;

 private:
  ComPtr<IMediaControl> control_;
};

// A seek stops and restarts the streaming threads: it waits for them to
// end, which a source stuck in a read does not do.
class Movie_Seek_Helper : public GraphHelper {
 public:
  Movie_Seek_Helper(IMediaPosition* position, REFTIME seconds) : position_(position), seconds_(seconds) {}

 protected:
  void Execute() override;

 private:
  ComPtr<IMediaPosition> position_;
  REFTIME seconds_;
};

class SetVolume_Helper : public GraphHelper {
 public:
  SetVolume_Helper(IBasicAudio* audio, long volume) : audio_(audio), volume_(volume) {}

 protected:
  void Execute() override;

 private:
  ComPtr<IBasicAudio> audio_;
  long volume_;
};

// Long work of the user-interface thread (draining the encoder, ending the
// output). When a window keeps its event loop turning during engine waits,
// the work runs on a helper thread and the caller waits for it, however
// long it takes; otherwise the caller runs it itself.
void RunAwayFromWindowThread(const std::function<void()>& work);
