#pragma once
// State of the recording encoder shared by the delivery entry points, the
// two worker threads and the output operations. Everything below is guarded
// by EncoderLock, which every thread holds while it decides and releases to
// sleep and for the duration of a writer call.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "encode/temp_output.h"
#include "platform/core/threads.h"
#include "platform/core/zero_pages.h"
#include "platform/lumimg/lumimg.h"

constexpr int kFrameQueueLimit = 80;
constexpr std::size_t kSpareFrames = 4;
constexpr int kAudioBufferBytes = 1536000;
constexpr int kChannelBufferSamples = 384000;

// Delivered PCM not yet encoded; taking a block removes it from the front.
class PcmBuffer {
 public:
  PcmBuffer() : data_(kAudioBufferBytes) {}
  int bytes() const { return bytes_; }
  const std::uint8_t* front() const { return data_.data() + start_; }
  bool Append(const void* src, int n);
  void Consume(int n);
  void Clear() { start_ = bytes_ = 0; }

 private:
  static constexpr int kCompactBytes = 65536;
  ZeroArray<std::uint8_t> data_;
  int start_ = 0;
  int bytes_ = 0;
};

struct EncoderState {
  bool AudioEnabled = true;
  std::deque<std::vector<std::uint8_t>> FrameQueue;  // oldest first
  // The storage of a few encoded frames, taken again by the next copies: a
  // conversion does not allocate and free a frame's worth for every frame.
  std::vector<std::vector<std::uint8_t>> SpareFrames;
  double QueueAverage = 0.0;
  PcmBuffer AudioBuffer;
  int AudioBlocksDone = 0;
  int VideoFramesDone = 0;
  double SampleRemainder = 0.0;
  // Channel and resampled buffers of the audio block in hand, sized for the
  // largest block: memory is taken only as far as blocks reach.
  ZeroArray<std::int16_t> channelA, channelB, resampledA, resampledB, interleaved;
  std::unique_ptr<LumResampler> resampler1, resampler2;
  bool outputOpen = false;   // a writer is open and takes frames
  std::string OpenFilePath;  // the file that writer writes, empty without one
  TempOutput file;           // that file, under its temporary name until it is finished
  bool queuedMode = false;   // worker threads encode (DeliverQueued)
  int writersInFlight = 0;   // writer calls running with the lock released

  EncoderState()
      : channelA(kChannelBufferSamples), channelB(kChannelBufferSamples),
        resampledA(kChannelBufferSamples), resampledB(kChannelBufferSamples),
        interleaved(2 * kChannelBufferSamples) {}
};

EncoderState& Enc();
CriticalSection& EncoderLock();
// The encoder's waits ("wait 5 ms" and the like): leaves EncoderLock, sleeps
// up to ms, and takes the lock again. A change of the encoder's state (a
// delivery, an encoded frame or audio block) ends the sleep at once, so the
// capture thread and the two encoding threads never sleep past the moment
// one of them could go on.
void WaitForEncoderChange(CritSecLock& lock, unsigned ms);
// Wakes those waits; called after every such change.
void NotifyEncoderChange();

// Source sample frames per output frame (source rate / frame rate).
double SamplesPerFrame();
// Bytes of one source sample frame.
int SourceFrameBytes();
// True when at least one audio block is buffered.
bool AudioBlockAvailable();

// Encodes one audio block (conversion under the lock, writer call without
// it); the caller holds lock. lastBlock takes whatever is buffered, at the
// end of a recording. Returns the writer's result.
int EncodeAudioBlock(CritSecLock& lock, bool lastBlock = false);
// Encodes the oldest queued frame (writer call without the lock).
void EncodeVideoFrame(CritSecLock& lock);
// Queues a copy of frame unless the queue is full; updates QueueAverage.
void QueueFrameCopy(const std::uint8_t* frame);
