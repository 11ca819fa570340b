// The two delivery entry points of the recording encoder.
#include "encode/encoder_params.h"
#include "encode/encoder_state.h"
#include "encode/encoder_threads.h"
#include "encode/part_files.h"
#include "encode/recording_encoder.h"

DeliverFn Deliver = DeliverInline;

namespace {
// Waits while cond holds, leaving the lock to sleep stepMs at a time; gives
// up when the worker threads are gone, since nobody else would empty the queue.
template <typename Cond>
void WaitWhile(CritSecLock& lock, int stepMs, Cond cond) {
  while (cond() && EncoderThreadsRunning()) WaitForEncoderChange(lock, stepMs);
}
}  // namespace

int DeliverQueued(const std::uint8_t* frame, const std::int16_t* audio, int sampleCount) {
  CritSecLock lock(EncoderLock());
  // A second pass covers the pictures of the first and no more: a picture
  // beyond them (the first pass was stopped between two whole seconds) is
  // not taken, nor the sound of its slot.
  if (frame && BeyondFirstPass()) return 0;
  EncoderState& e = Enc();
  const EncoderParams& p = EncParams();
  const int frameBytes = SourceFrameBytes();
  const double x = SamplesPerFrame();
  const int audioHigh = static_cast<int>((3 * x + 1) * p.srcChannels * 2);
  // 1. The video encoder lags while audio piles up: let it catch up.
  WaitWhile(lock, 1, [&] { return e.FrameQueue.size() > 2 && e.AudioBuffer.bytes() > audioHigh; });
  // 2. Room for the audio.
  const int bytes = sampleCount * frameBytes;
  if (e.AudioEnabled && audio && bytes > 0) {
    WaitWhile(lock, 80, [&] { return e.AudioBuffer.bytes() + bytes > kAudioBufferBytes; });
    e.AudioBuffer.Append(audio, bytes);
  }
  // 3. Room for the frame.
  if (frame) {
    WaitWhile(lock, 50, [&] {
      return e.FrameQueue.size() >= static_cast<size_t>(kFrameQueueLimit) ||
             (e.VideoFramesDone < e.AudioBlocksDone && e.FrameQueue.size() >= 5);
    });
    QueueFrameCopy(frame);
  }
  NotifyEncoderChange();
  return 0;
}

int DeliverInline(const std::uint8_t* frame, const std::int16_t* audio, int sampleCount) {
  CritSecLock lock(EncoderLock());
  if (frame && BeyondFirstPass()) return 0;
  EncoderState& e = Enc();
  if (e.AudioEnabled && audio && sampleCount > 0) e.AudioBuffer.Append(audio, sampleCount * SourceFrameBytes());
  if (frame) QueueFrameCopy(frame);
  for (;;) {
    if (e.AudioEnabled) {
      if (!AudioBlockAvailable()) return 0;
      EncodeAudioBlock(lock);
    }
    if (e.FrameQueue.empty()) return 0;
    EncodeVideoFrame(lock);
    if (e.FrameQueue.empty()) return 0;
  }
}
