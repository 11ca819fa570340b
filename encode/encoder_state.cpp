#include "encode/encoder_state.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "encode/audio_blocks.h"
#include "encode/encoder_params.h"
#include "encode/mp4_writer.h"
#include "encode/part_files.h"

bool PcmBuffer::Append(const void* src, int n) {
  if (n <= 0) return true;
  if (bytes_ + n > static_cast<int>(data_.size())) return false;
  // The held bytes move to the front once the taken ones before them
  // outweigh them (a copy no longer than what was taken), so the buffer
  // touches little more than it holds instead of cycling through all of it.
  if (start_ + bytes_ + n > static_cast<int>(data_.size()) || (start_ >= bytes_ && start_ >= kCompactBytes)) {
    std::memmove(data_.data(), data_.data() + start_, static_cast<size_t>(bytes_));
    start_ = 0;
  }
  std::memcpy(data_.data() + start_ + bytes_, src, static_cast<size_t>(n));
  bytes_ += n;
  return true;
}

void PcmBuffer::Consume(int n) {
  n = std::clamp(n, 0, bytes_);
  start_ += n;
  bytes_ -= n;
  if (bytes_ == 0) start_ = 0;
}

EncoderState& Enc() {
  static EncoderState state;
  return state;
}

namespace {
// Counts the changes of the encoder's state, so that a waiter that read the
// count under EncoderLock misses none that come after.
std::mutex g_changeMutex;  // guards g_changes
std::condition_variable g_changed;
unsigned long long g_changes = 0;
}  // namespace

void WaitForEncoderChange(CritSecLock& lock, unsigned ms) {
  std::unique_lock<std::mutex> guard(g_changeMutex);
  const auto seen = g_changes;
  lock.Unlock();
  g_changed.wait_for(guard, std::chrono::milliseconds(ms), [&] { return g_changes != seen; });
  guard.unlock();
  lock.Relock();
}

void NotifyEncoderChange() {
  {
    std::lock_guard<std::mutex> guard(g_changeMutex);
    ++g_changes;
  }
  g_changed.notify_all();
}

CriticalSection& EncoderLock() {
  static CriticalSection lock;
  return lock;
}

double SamplesPerFrame() {
  const EncoderParams& p = EncParams();
  return p.frameRate > 0 ? p.srcSampleRate / p.frameRate : 0.0;
}

int SourceFrameBytes() { return std::max(EncParams().srcChannels, 1) * 2; }

bool AudioBlockAvailable() {
  const double x = SamplesPerFrame();
  return x > 0 && Enc().AudioBuffer.bytes() >= AudioBlockThresholdBytes(x, EncParams().srcChannels);
}

namespace {
// Converts the block's channels and rate into Enc().interleaved; returns the
// sample frames produced.
int ConvertBlock(const std::int16_t* src, int n) {
  EncoderState& e = Enc();
  const EncoderParams& p = EncParams();
  const bool stereoOut = p.outChannels >= 2;
  ConvertChannels(src, n, p.srcChannels, p.outChannels, p.monoChoice, e.channelA.data(), e.channelB.data());
  const int cap = kChannelBufferSamples;
  int count = e.resampler1 ? e.resampler1->Convert(e.channelA.data(), n, e.resampledA.data(), cap) : 0;
  if (stereoOut) {
    if (p.srcChannels >= 2 && e.resampler2)
      count = std::min(count, e.resampler2->Convert(e.channelB.data(), n, e.resampledB.data(), cap));
    else
      std::copy_n(e.resampledA.begin(), count, e.resampledB.begin());
    for (int i = 0; i < count; ++i) {
      e.interleaved[2 * i] = e.resampledA[i];
      e.interleaved[2 * i + 1] = e.resampledB[i];
    }
  } else {
    std::copy_n(e.resampledA.begin(), count, e.interleaved.begin());
  }
  return count;
}
}  // namespace

int EncodeAudioBlock(CritSecLock& lock, bool lastBlock) {
  EncoderState& e = Enc();
  const int frameBytes = SourceFrameBytes();
  int n = lastBlock ? e.AudioBuffer.bytes() / frameBytes : NextAudioBlockSize(SamplesPerFrame(), e.SampleRemainder);
  n = std::clamp(n, 0, std::min(e.AudioBuffer.bytes() / frameBytes, kChannelBufferSamples / 2));
  ++e.AudioBlocksDone;
  const int count = ConvertBlock(reinterpret_cast<const std::int16_t*>(e.AudioBuffer.front()), n);
  int result = 0;
  if (e.outputOpen) {
    ++e.writersInFlight;
    lock.Unlock();
    result = Mp4WriteAudio(e.interleaved.data(), count);
    lock.Relock();
    --e.writersInFlight;
  }
  e.AudioBuffer.Consume(n * frameBytes);
  return result;
}

void EncodeVideoFrame(CritSecLock& lock) {
  EncoderState& e = Enc();
  if (e.FrameQueue.empty()) return;
  std::vector<std::uint8_t> frame = std::move(e.FrameQueue.front());
  e.FrameQueue.pop_front();
  ++e.VideoFramesDone;
  if (!e.outputOpen) return;
  ++e.writersInFlight;
  lock.Unlock();
  Mp4WriteVideo(frame.data());
  lock.Relock();
  --e.writersInFlight;
  if (e.SpareFrames.size() < kSpareFrames) e.SpareFrames.push_back(std::move(frame));
}

void QueueFrameCopy(const std::uint8_t* frame) {
  EncoderState& e = Enc();
  if (static_cast<int>(e.FrameQueue.size()) < kFrameQueueLimit) {
    const EncoderParams& p = EncParams();
    try {
      const std::uint8_t* end = frame + static_cast<size_t>(p.width) * p.height * 2;
      if (e.SpareFrames.empty()) {
        e.FrameQueue.emplace_back(frame, end);
      } else {
        e.FrameQueue.push_back(std::move(e.SpareFrames.back()));
        e.SpareFrames.pop_back();
        e.FrameQueue.back().assign(frame, end);
      }
      CountPartPicture();
    } catch (const std::bad_alloc&) {
      // The frame is dropped; the recording goes on.
    }
  }
  e.QueueAverage = e.QueueAverage * 0.99 + static_cast<double>(e.FrameQueue.size()) * 0.01;
}
