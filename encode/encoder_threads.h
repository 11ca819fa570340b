#pragma once
// The two worker threads of the recording encoder on machines with two or
// more processors.
#include <atomic>
#include <thread>

class EncoderThread {
 public:
  virtual ~EncoderThread();
  void Start();
  void Join();
  std::atomic<bool> StopRequested{false};  // set by the stop sequence
  std::atomic<bool> Finished{false};       // set by the thread as its last act

 protected:
  virtual void Execute() = 0;
  virtual const char* Name() const = 0;

 private:
  std::thread thread_;
};

// Cuts the buffered audio into one-frame blocks and encodes them.
class Encode_Audio_Thread : public EncoderThread {
 protected:
  void Execute() override;
  const char* Name() const override { return "Encode_Audio"; }
};

// Encodes the queued frames.
class Encode_Video_Thread : public EncoderThread {
 protected:
  void Execute() override;
  const char* Name() const override { return "Encode_Video"; }
};

// Creates both threads, running, and points Deliver at DeliverQueued. Called
// by the recording start after OpenOutput has succeeded.
void StartEncoderThreads();

// The stop sequence's wait, once the recording flag is clear: up to
// 200 x 10 ms for the video thread (and as long for the audio thread) to
// drain and finish, then StopRequested on both and a wait until both have
// finished. Points Deliver back at DeliverInline. False when the threads
// had not finished by themselves within the first wait.
bool StopEncoderThreads();

// True from StartEncoderThreads until StopEncoderThreads returns.
bool EncoderThreadsRunning();
