#include "encode/encoder_threads.h"

#include <memory>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "encode/encoder_params.h"
#include "encode/encoder_state.h"
#include "encode/recording_encoder.h"
#include "platform/core/fpu.h"
#include "platform/core/threads.h"

namespace {
struct ThreadSet {
  std::unique_ptr<Encode_Audio_Thread> audio;  // UI thread only
  std::unique_ptr<Encode_Video_Thread> video;
  std::atomic<bool> running{false};
};

ThreadSet& Threads() {
  static ThreadSet t;
  return t;
}

bool Recording() { return Frame().IsRecording.load(); }

void PrepareEncodingThread(const char* name) {
  SetCurrentThreadName(name);
  SetCurrentThreadHighestPriority();
  SetFpu53BitMasked();
}

// Waits up to steps x 10 ms for the thread's Finished.
bool WaitFinished(const EncoderThread& t, int steps) {
  for (int i = 0; i < steps && !t.Finished.load(); ++i) Sleep(10);
  return t.Finished.load();
}
}  // namespace

EncoderThread::~EncoderThread() { Join(); }

void EncoderThread::Start() {
  StopRequested = false;
  Finished = false;
  thread_ = std::thread([this] {
    PrepareEncodingThread(Name());
    Execute();
  });
}

void EncoderThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void Encode_Audio_Thread::Execute() {
  CritSecLock lock(EncoderLock());
  EncoderState& e = Enc();
  // The loop also runs on after the recording stopped while whole blocks
  // remain, so the end of the audio reaches the file with the last frames.
  auto keepGoing = [&] {
    return (Recording() || !e.FrameQueue.empty() || (e.AudioEnabled && AudioBlockAvailable())) &&
           !StopRequested.load();
  };
  while (keepGoing()) {
    if (!e.AudioEnabled) {
      WaitForEncoderChange(lock, 5);
    } else if (!AudioBlockAvailable()) {
      if (!Recording()) break;
      WaitForEncoderChange(lock, 5);
    } else if (e.VideoFramesDone >= e.AudioBlocksDone || e.FrameQueue.size() < 2) {
      EncodeAudioBlock(lock);
      NotifyEncoderChange();
    } else {
      WaitForEncoderChange(lock, 2);  // audio is ahead while video is queued
    }
  }
  Finished = true;
}

void Encode_Video_Thread::Execute() {
  CritSecLock lock(EncoderLock());
  EncoderState& e = Enc();
  const EncoderParams& p = EncParams();
  for (;;) {
    if ((!Recording() && e.FrameQueue.empty()) || StopRequested.load()) break;
    const int audioHigh = static_cast<int>((3 * SamplesPerFrame() + 1) * p.srcChannels * 2);
    if (e.FrameQueue.empty()) {
      WaitForEncoderChange(lock, 5);
    } else if (e.AudioBlocksDone < e.VideoFramesDone && e.AudioBuffer.bytes() >= audioHigh) {
      WaitForEncoderChange(lock, 2);  // audio must catch up
    } else {
      EncodeVideoFrame(lock);
      NotifyEncoderChange();
    }
  }
  Finished = true;
}

void StartEncoderThreads() {
  ThreadSet& t = Threads();
  {
    CritSecLock lock(EncoderLock());
    Enc().queuedMode = true;
  }
  t.audio = std::make_unique<Encode_Audio_Thread>();
  t.video = std::make_unique<Encode_Video_Thread>();
  t.running = true;
  t.audio->Start();
  t.video->Start();
  Deliver = DeliverQueued;
}

bool StopEncoderThreads() {
  ThreadSet& t = Threads();
  if (!t.video || !t.audio) return true;
  const bool drained = WaitFinished(*t.video, 200) && WaitFinished(*t.audio, 200);
  t.audio->StopRequested = true;
  t.video->StopRequested = true;
  if (!WaitFinished(*t.video, 3000) || !WaitFinished(*t.audio, 3000))
    WriteLog("Encoder threads still busy after 30 s; waiting for them to end");
  t.audio->Join();
  t.video->Join();
  t.audio.reset();
  t.video.reset();
  t.running = false;
  {
    CritSecLock lock(EncoderLock());
    Enc().queuedMode = false;
  }
  Deliver = DeliverInline;
  return drained;
}

bool EncoderThreadsRunning() { return Threads().running.load(); }
