#pragma once
// The re-timing state shared by the two sample callbacks: the time-stamped
// audio buffer with the silence in front of it, and where the output
// timeline stands. Everything is guarded by the capture lock; the fields the
// main window's timer reads without the lock are atomic.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/core/shared_value.h"
#include "platform/core/threads.h"
#include "platform/core/zero_pages.h"
#include "platform/dshow/dshow.h"

constexpr int kHeldAudioBytes = 3456000;     // the time-stamped audio buffer
// Silence in front of the buffer. A slot's audio can reach up to 1536000
// bytes before the buffered audio before the silence blocks pay it off, so
// the silence covers that much: no offset before the buffer reads anything
// but zeros.
constexpr int kSilenceBytes = 1536000;
constexpr int kSilenceBlockBytes = 192000;   // one silence delivery
constexpr int kMaxChunkBytes = 768000;       // most buffered audio in one delivery
constexpr int kBorrowLimitBytes = 1536000;   // owed audio paid off with silence blocks

// The silence area and the audio buffer in one allocation, silence first
// (pages only written ever take memory: the silence never is).
class AudioBuffer {
 public:
  AudioBuffer() : bytes_(kSilenceBytes + kHeldAudioBytes) {}
  std::uint8_t* data() { return bytes_.data() + kSilenceBytes; }       // offset 0
  const std::int16_t* silence() const { return reinterpret_cast<const std::int16_t*>(bytes_.data()); }
  void ClearAll() { bytes_.Clear(); }
  // Zeros [from, to) of the buffer (offsets from its start, clipped).
  void Zero(int from, int to);
  // Drops n bytes from the front of held bytes.
  void DropFront(int n, int held);

 private:
  ZeroPages bytes_;
};

struct SyncState {
  AudioBuffer audio;
  int audio_buffer_i = 0;                 // bytes held
  double audio_buffer_start_time = 0.0;   // stream time of the first held byte
  int audio_borrow = 0;                   // bytes delivered beyond what was held
  SharedValue<double> SampleStartTime = 0.0;
  double ExpectedSampleTime = 0.0;
  double AudioCarry = 0.0;                // sample frames
  SharedValue<double> LastVideoTime = 0.0;
  double PrevVideoStart = 0.0;
  SharedValue<double> RecordStartPosition = 0.0;
  int Slowdown = 0;
  // Seconds of source the conversion covers from its first picture (the
  // range on the position bar); 0 for no limit. Slots beyond it are not
  // written, so the output holds exactly the range.
  double RangeLength = 0.0;
  SharedValue<int> FrameCounter = 0;
  double PrevAudioStart = -1.0;           // negative: none yet
  // The picture last written, held for the slots after it until the next
  // picture or the sound comes: the sample itself while it is the output
  // frame (no copy), else the output buffer's picture.
  ComPtr<IMediaSample> HeldSample;
  bool HeldInOutputBuffer = false;
  bool HeldValid = false;
  bool Holding = false;                   // the video thread waits for sound to write the held picture with
  bool AudioEnded = false;                // the sound's end of stream came
  double AudioJumpAt = -1e300;            // stream time where the held sound last stopped being continuous
  long AudioSamplesSeen = 0;              // sound samples taken since the buffer was reset
  std::vector<std::int16_t> widened;      // 8-bit samples widened to 16 bits
  std::vector<std::int16_t> slotScratch;  // a slot that straddles held and missing audio
};

SyncState& Sync();

// The capture lock: held by each sample callback for its whole run.
CriticalSection& CaptureLock();

// Clears the silence area, the audio buffer and the timeline (a new source).
void ResetSyncState();
