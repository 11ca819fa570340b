#include "engine/recording_slots.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "encode/encoder_params.h"
#include "encode/recording_encoder.h"
#include "engine/audio_sync.h"
#include "engine/capture_frames.h"
#include "engine/engine_state.h"
#include "engine/picture_hold.h"
#include "engine/sync_state.h"
#include "settings/settings.h"

namespace {
double Fps() { return EncParams().frameRate > 0 ? EncParams().frameRate : 30000.0 / 1001; }

// Picture times come in whole 100-ns units, rounded; a slot edge and a
// picture edge closer than this are the same instant.
constexpr double kEdgeSlack = 1e-6;
const AudioFormatState& Fmt() { return CaptureFrames().audio; }
int DebugLevel() { return CaptureFrames().DebugLevel; }

// Bytes of audio of one output frame slot.
double SlotBytes() { return static_cast<double>(Fmt().AudioRate) * Fmt().AudioFrameBytes / Fps(); }

}  // namespace

bool RangeComplete() {
  const SyncState& s = Sync();
  return s.RangeLength > 0 && s.ExpectedSampleTime - s.SampleStartTime >= s.RangeLength - 0.5 / Fps();
}

double OutputFrameTime() { return 1 / Fps(); }

namespace {
// A picture lasting longer than this (a slide show's) takes its sound as it
// comes rather than borrowing seconds of it.
constexpr double kLongPicture = 1.0;
// A part's end waits this often for the sound its slots borrowed, this long
// each time (without the capture lock), before it gives silence instead.
constexpr int kOwedAudioPolls = 1000;
constexpr DWORD kOwedAudioPollMs = 2;

// A source of a picture a second or slower has intervals of a second and
// more between its pictures: only a jump of several of its frame times is
// a gap.
double GapLimit() { return std::max(1.0, 3 * CaptureFrames().video.ActualFrameTime); }

// Byte offset in the audio buffer of stream time t, to the nearest sample frame.
long long OffsetOf(double t) {
  const SyncState& s = Sync();
  return NearestSampleFrame((t - s.audio_buffer_start_time) * Fmt().AudioRate) * Fmt().AudioFrameBytes;
}

// Audio of [x1, x2) of the buffer as 16-bit samples: held audio where the
// buffer has it, silence everywhere else (before the buffer, and past what
// it holds). Never reads outside the silence area and the held bytes.
const std::int16_t* AudioAt(long long x1, long long x2) {
  SyncState& s = Sync();
  if (x1 >= -kSilenceBytes && x2 <= s.audio_buffer_i)
    return reinterpret_cast<const std::int16_t*>(s.audio.data() + x1);
  const long long n = std::max<long long>(x2 - x1, 0);
  std::vector<std::int16_t>& out = s.slotScratch;
  out.assign(static_cast<size_t>(n / 2 + 1), 0);
  const long long from = std::max<long long>(x1, 0), to = std::min<long long>(x2, s.audio_buffer_i);
  if (to > from)
    std::memcpy(reinterpret_cast<std::uint8_t*>(out.data()) + (from - x1), s.audio.data() + from,
                static_cast<size_t>(to - from));
  return out.data();
}

int SampleFrames(long long bytes) { return static_cast<int>(bytes / 2 / Fmt().AudioChannels); }

void DeliverBytes(const std::uint8_t* frame, long long x1, long long x2) {
  Deliver(frame, AudioAt(x1, x2), SampleFrames(x2 - x1));
}

void DeliverSilenceBlock(const std::uint8_t* frame) {
  Deliver(frame, Sync().audio.silence(), kSilenceBlockBytes / 2 / Fmt().AudioChannels);
}

// Step 10.1: the first picture of a conversion or pass starts the output
// timeline; older audio is dropped.
void StartTimeline(double start) {
  SyncState& s = Sync();
  FrameState& f = Frame();
  if (f.CurrentPass == 1) {
    REFTIME pos = 0;
    if (IMediaPosition* mp = Graph().pMediaPosition; mp && SUCCEEDED(mp->get_CurrentPosition(&pos)))
      s.RecordStartPosition = pos;
  }
  s.SampleStartTime = start;
  WriteLog("%%%%%%%%%%%% SampleStartTime=%f   ActualFrameTime=%f", start,
           CaptureFrames().video.ActualFrameTime.load());
  Engine().bRecordingFirstSample = false;
  s.ExpectedSampleTime = start;
  s.audio_borrow = 0;
  s.AudioCarry = 0;
  s.FrameCounter = 0;
  s.Slowdown = 0;
  const long long p = OffsetOf(start);
  if (p <= 0) return;
  if (p < s.audio_buffer_i) {
    s.audio.DropFront(static_cast<int>(p), s.audio_buffer_i);
    s.audio_buffer_start_time = start;
    s.audio_buffer_i -= static_cast<int>(p);
  } else {
    s.audio_buffer_i = 0;
  }
}

void PostProgress() {
  SyncState& s = Sync();
  if (s.FrameCounter % 20 == 0) PostMessage(Engine().hMainFrame, WM_RECORD_PROGRESS, 0, 0);
  s.FrameCounter = s.FrameCounter + 1;
}

// Before a picture that comes later than the gap limit: when the sound ran
// on meanwhile (a variable-rate recording pausing its pictures), the pause
// is real time, and the last picture holds for it with its sound.
HoldEnd HoldThroughPause(CritSecLock& lock, double t1) {
  const SyncState& s = Sync();
  if (t1 - s.ExpectedSampleTime <= GapLimit() || !SoundRunsOnThrough(s.ExpectedSampleTime, t1)) return HoldEnd::kReached;
  WriteLog("Pictures pause from %.3f to %.3f; the last one holds while the sound goes on",
           s.ExpectedSampleTime - s.SampleStartTime, t1 - s.SampleStartTime);
  return HoldPicture(lock, t1);
}

// Step 10.3: a jump of more than a second in the picture times (a gap in
// the source, or times starting again) is left out of the output timeline,
// sound included: the sound jumped with the pictures.
void RemoveLargeGap(double t1) {
  SyncState& s = Sync();
  if (std::fabs(t1 - s.ExpectedSampleTime) <= GapLimit()) return;
  WriteLog("Large gap between video samples t1:%.5f expecting:%.5f  ActualFrameTime=%f", t1, s.ExpectedSampleTime,
           CaptureFrames().video.ActualFrameTime.load());
  const double snapped = std::round(t1 * Fps()) / Fps();
  // The renderers would wait for the clock to reach the times after a
  // jump forward (hours, in a broadcast capture): it jumps with them.
  if (CMyClock* clock = EngineClock(); clock && t1 > s.ExpectedSampleTime) clock->Advance(t1 - s.ExpectedSampleTime);
  s.SampleStartTime = s.SampleStartTime + (snapped - s.ExpectedSampleTime);
  s.ExpectedSampleTime = snapped;
}

// A source without any audio stream: every slot carries its share of
// silence, so the output has a silent track as long as the video.
void DeliverSilentSlot(const std::uint8_t* frame, long long x1, long long x2) {
  const long long n = std::min<long long>(x2 - x1, kSilenceBytes);
  Deliver(frame, Sync().audio.silence(), SampleFrames(std::max<long long>(n, 0)));
}

struct Slot {
  long long x1, x2;
};

// The slot's place in the buffer with the carried fraction and what is owed.
Slot SlotBounds() {
  SyncState& s = Sync();
  const AudioFormatState& f = Fmt();
  const double fps = Fps();
  Slot slot{OffsetOf(s.ExpectedSampleTime), OffsetOf(s.ExpectedSampleTime + 1 / fps)};
  const long long n = (slot.x2 - slot.x1) / f.AudioFrameBytes;
  s.AudioCarry += f.AudioRate / fps - static_cast<double>(n);
  if (std::fabs(s.AudioCarry) >= 1) {
    const int dir = s.AudioCarry > 0 ? 1 : -1;
    slot.x2 += dir * 2 * f.AudioChannels;
    s.AudioCarry -= dir;
  }
  if (DebugLevel() >= 20)
    WriteLog("  audio_buffer_i=%d  audio_buffer_start_time=%.3f  audio_borrow=%d  video_time=%.3f  x1=%d x2=%d  x2-x1=%d",
             s.audio_buffer_i, s.audio_buffer_start_time, s.audio_borrow, s.ExpectedSampleTime,
             static_cast<int>(slot.x1), static_cast<int>(slot.x2), static_cast<int>(slot.x2 - slot.x1));
  return slot;
}

// What the buffer cannot give yet is borrowed from the next slots; more
// than kBorrowLimitBytes owed is paid off with a block of silence.
void SettleBorrow(const std::uint8_t* frame, Slot& slot) {
  SyncState& s = Sync();
  const double slotBytes = SlotBytes();
  slot.x1 -= s.audio_borrow;
  if (slot.x1 < s.audio_buffer_i + slotBytes / 2) {
    if (s.audio_buffer_i < slot.x2) {
      s.audio_borrow = static_cast<int>(slot.x2 - s.audio_buffer_i);
      if (s.audio_borrow > 0 && DebugLevel() > 0)
        WriteLog("  Borrow=%d    x1=%d  x2=%d", s.audio_borrow, static_cast<int>(slot.x1), static_cast<int>(slot.x2));
      if (s.audio_borrow >= kBorrowLimitBytes) {
        DeliverSilenceBlock(frame);
        s.audio_borrow = static_cast<int>(std::lround(s.audio_borrow - (kSilenceBlockBytes - slotBytes)));
        WriteLog("  Not enough audio. Fill in blank ..... audio_borrow: %d", s.audio_borrow);
      }
      slot.x2 = s.audio_buffer_i;
    } else {
      s.audio_borrow = 0;
    }
  }
  if (slot.x2 < slot.x1) slot.x1 = slot.x2;
}

// Long stretches of audio go out over several deliveries of the same
// picture; each extra picture takes one slot's worth of the stretch.
void PayOffSilence(const std::uint8_t* frame, Slot& slot, bool whole) {
  const double slotBytes = SlotBytes();
  auto more = [&] { return whole ? slot.x2 - slot.x1 > kBorrowLimitBytes : -slot.x1 >= kBorrowLimitBytes; };
  while (more()) {
    DeliverSilenceBlock(frame);
    slot.x1 = std::llround(kSilenceBlockBytes - slotBytes + slot.x1);
    WriteLog("Fill in silent frame. x1=%d", static_cast<int>(slot.x1));
  }
}

void SplitLargeChunk(const std::uint8_t* frame, Slot& slot) {
  const double slotBytes = SlotBytes();
  while (slot.x2 - slot.x1 > kMaxChunkBytes) {
    WriteLog("Large audio chunk. Split. x1=%d x2=%d", static_cast<int>(slot.x1), static_cast<int>(slot.x2));
    DeliverBytes(frame, slot.x1, slot.x1 + kMaxChunkBytes);
    slot.x1 = std::llround(kMaxChunkBytes - slotBytes + slot.x1);
  }
}

void DeliverSlotAudio(const std::uint8_t* frame, Slot& slot) {
  SyncState& s = Sync();
  if (slot.x1 < 0 && slot.x2 < 1) {
    PayOffSilence(frame, slot, true);
    WriteLog("Fill in silent frame. x1=%d", static_cast<int>(slot.x1));
    DeliverBytes(frame, slot.x1, slot.x2);
  } else if (slot.x1 < 0) {
    PayOffSilence(frame, slot, false);
    SplitLargeChunk(frame, slot);
    DeliverBytes(frame, slot.x1, slot.x2);
  } else {
    SplitLargeChunk(frame, slot);
    if (slot.x1 < s.audio_buffer_i) DeliverBytes(frame, slot.x1, slot.x2);
    else Deliver(frame, s.audio.silence(), SampleFrames(std::min<long long>(slot.x2 - slot.x1, kSilenceBytes)));
  }
}

// Consumed audio leaves the buffer; its start follows the output timeline.
void ConsumeSlot(const Slot& slot) {
  SyncState& s = Sync();
  if (slot.x2 < 0) return;
  if (slot.x1 < s.audio_buffer_i) {
    const int n = static_cast<int>(std::min<long long>(slot.x2, s.audio_buffer_i));
    s.audio.DropFront(n, s.audio_buffer_i);
    s.audio_buffer_i -= n;
  } else {
    s.audio_buffer_i = 0;
  }
  const AudioFormatState& f = Fmt();
  s.audio_buffer_start_time = s.ExpectedSampleTime - static_cast<double>(s.audio_borrow) / f.AudioFrameBytes / f.AudioRate;
}

// Step 10.5: one output frame slot with exactly its audio.
void FillSlot(const std::uint8_t* frame) {
  SyncState& s = Sync();
  Slot slot = SlotBounds();
  if (!Engine().AudioSourcePresent) {
    DeliverSilentSlot(frame, slot.x1, slot.x2);
    s.ExpectedSampleTime += 1 / Fps();
    s.audio_buffer_i = 0;
    s.audio_buffer_start_time = s.ExpectedSampleTime;
    return;
  }
  SettleBorrow(frame, slot);
  DeliverSlotAudio(frame, slot);
  s.ExpectedSampleTime += 1 / Fps();
  ConsumeSlot(slot);
}

// The sound the written slots borrowed (its thread runs behind on a loaded
// machine) is waited for and goes into the part they belong to; without it
// a part would end short of sound and the next begin with sound from before.
void SettleOwedAudio(CritSecLock& lock) {
  SyncState& s = Sync();
  if (!Engine().AudioSourcePresent || s.audio_borrow <= 0) return;
  for (int i = 0; i < kOwedAudioPolls && s.audio_buffer_i < s.audio_borrow && !s.AudioEnded && Frame().IsRecording; ++i)
    lock.SleepUnlocked(kOwedAudioPollMs);
  FlushOwedAudio();
}

// Step 10.6: a part that reached the split size is closed and the next
// one opened, with the clock all but stopped meanwhile.
void ChangePartIfFull(CritSecLock& lock) {
  const int limit = AppSettings().volume > 0 ? AppSettings().volume : 2048;
  if (!NextPartDue(limit)) return;
  SettleOwedAudio(lock);
  CMyClock* clock = EngineClock();
  if (clock) clock->Rate = 0.0005f;
  OpenNextPart();
  if (clock) {
    clock->Resync();
    clock->Rate = 0.01f;
  }
}

// Step 10.7: the clock moves on by one source frame, less the clock time
// this callback took, so the graph delivers the next picture at once.
void PaceClock(double entryClock) {
  CMyClock* clock = EngineClock();
  if (!clock) return;
  SyncState& s = Sync();
  clock->Resync();
  const double now = static_cast<double>(clock->GetPrivateTime());
  double advance = CaptureFrames().video.ActualFrameTime - (now - entryClock) * 1e-7;
  if (s.Slowdown >= 20) {
    advance /= 2;
    s.Slowdown = s.Slowdown == 20 ? 0 : s.Slowdown - 1;
  }
  if (advance > 0) clock->Advance(advance);
}

// Step 10.5: the picture's slots up to its end, at least one. The slots of
// a long picture (a slide show's) past its first wait for their sound,
// holding the picture, instead of borrowing seconds of sound; once the
// sound has ended they go on without it.
HoldEnd WritePicture(CritSecLock& lock, const std::uint8_t* frame, double t2e) {
  SyncState& s = Sync();
  const double frameTime = 1 / Fps();
  const bool waitsForSound = t2e - s.ExpectedSampleTime > kLongPicture && SoundRunsOnThrough(s.ExpectedSampleTime, t2e);
  do {
    FillSlot(frame);
    if (waitsForSound && !RangeComplete()) {
      const HoldEnd end = HoldPicture(lock, t2e - kEdgeSlack);
      if (end != HoldEnd::kSoundEnded) return end;
    }
  } while (s.ExpectedSampleTime + frameTime < t2e - kEdgeSlack && !RangeComplete());
  return HoldEnd::kReached;
}

void WaitForLaggingAudio(CritSecLock& lock) {
  if (Fmt().AudioBits != 8 || Sync().audio_borrow <= 76800) return;
  WriteLog("audio lag behind too much. wait for audio.");
  lock.SleepUnlocked(400);
}
}  // namespace

void FlushOwedAudio() {
  SyncState& s = Sync();
  if (!Engine().AudioSourcePresent || s.audio_borrow <= 0) return;
  const long long owed = s.audio_borrow;
  for (long long x = 0; x < owed; x += kMaxChunkBytes) {
    const long long end = std::min(owed, x + kMaxChunkBytes);
    Deliver(nullptr, AudioAt(x, end), SampleFrames(end - x));
  }
  s.audio.DropFront(static_cast<int>(std::min<long long>(owed, s.audio_buffer_i)), s.audio_buffer_i);
  s.audio_buffer_i -= static_cast<int>(std::min<long long>(owed, s.audio_buffer_i));
  s.audio_borrow = 0;
  s.audio_buffer_start_time = s.ExpectedSampleTime;
}


int WriteHeldSlots(CritSecLock& lock, const std::uint8_t* frame, double until, double soundEnd) {
  SyncState& s = Sync();
  const double frameTime = 1 / Fps();
  int written = 0;
  while (frame && !RangeComplete() && s.ExpectedSampleTime + frameTime <= std::min(until, soundEnd) + kEdgeSlack) {
    FillSlot(frame);
    s.LastVideoTime = s.ExpectedSampleTime - frameTime;
    PostProgress();
    ++written;
  }
  if (written) ChangePartIfFull(lock);
  return written;
}

void RecordVideoSample(CritSecLock& lock, const VideoTiming& timing, SamplePicture& picture) {
  SyncState& s = Sync();
  const double fps = Fps();
  // 1.
  if (Engine().bRecordingFirstSample) StartTimeline(timing.start);
  // 3. Past the range nothing is written, and the timeline stays where it ended.
  if (!RangeComplete()) {
    if (HoldThroughPause(lock, timing.t1) == HoldEnd::kStopped) return;
    RemoveLargeGap(timing.t1);
  }
  // 2. The recorded position does not run past the range while the graph
  // plays on until the window stops it.
  s.LastVideoTime = s.RangeLength > 0 ? std::min(timing.start, s.SampleStartTime + s.RangeLength) : timing.start;
  PostProgress();
  // 4.-5.
  bool written = false;
  // The first picture of a conversion is written even when it lasts less
  // than a slot (a clip of a single short picture).
  if ((s.HeldValid && s.ExpectedSampleTime + 1 / fps > timing.t2e + kEdgeSlack) || RangeComplete()) {
    if (DebugLevel() >= 20)
      WriteLog("Skip this frame: t1:%.4f - t2:%.4f;  Expected sample time:%.8f", timing.t1, timing.t2e,
               s.ExpectedSampleTime);
  } else {
    if (DebugLevel() >= 20)
      WriteLog("Write this frame: t1:%.4f - t2:%.4f;  Expected sample time:%.8f", timing.t1, timing.t2e,
               s.ExpectedSampleTime);
    const std::uint8_t* frame = ScaleFrame(picture);
    KeepHeldPicture(picture.Sample(), frame);
    if (WritePicture(lock, frame, timing.t2e) == HoldEnd::kStopped) return;
    written = true;
  }
  // 6.-8.
  if (written) ChangePartIfFull(lock);
  PaceClock(timing.entryClock);
  WaitForLaggingAudio(lock);
}
