#include "engine/picture_hold.h"

#include <algorithm>
#include <limits>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "engine/capture_frames.h"
#include "engine/engine_state.h"
#include "engine/recording_slots.h"
#include "engine/sync_state.h"

namespace {
// How long a hold sleeps (without the capture lock) before it looks for
// newly arrived sound again.
constexpr DWORD kSoundPollMs = 2;
// A jump of the sound's times this close before the stretch to fill still
// belongs to it.
constexpr double kJumpReach = 1.0;

const std::uint8_t* HeldFrame() {
  const SyncState& s = Sync();
  if (!s.HeldValid) return nullptr;
  if (s.HeldInOutputBuffer) return CaptureFrames().buffers.output.data();
  BYTE* p = nullptr;
  return s.HeldSample && SUCCEEDED(s.HeldSample->GetPointer(&p)) ? p : nullptr;
}

// Stream time where the buffered sound ends.
double HeldSoundEnd() {
  const SyncState& s = Sync();
  const AudioFormatState& f = CaptureFrames().audio;
  return s.audio_buffer_start_time + static_cast<double>(s.audio_buffer_i) / (f.AudioFrameBytes * f.AudioRate);
}

bool SoundJumpedAfter(double from) { return Sync().AudioJumpAt >= from - kJumpReach; }

// The graph was stopped under the hold (the streaming thread is to end).
bool GraphStopped() {
  IBaseFilter* grabber = Graph().pVxGrabberBaseFilter_Video;
  FILTER_STATE state = State_Running;
  return grabber && SUCCEEDED(grabber->GetState(0, &state)) && state == State_Stopped;
}

// The audio renderer lets sound through as the clock reaches its times.
// A hold puts the clock kSoundLead ahead once, then moves it on by the
// sound the slots take, so the sound keeps coming as fast as the encoder
// takes it and never runs far ahead; when no sound has come for
// kSoundIdleMs (the clock fell behind it) it moves on by a frame time.
constexpr double kSoundLead = 0.5;
constexpr DWORD kSoundIdleMs = 10;

void AdvanceClock(double seconds) {
  if (CMyClock* clock = EngineClock()) clock->Advance(seconds);
}

void MoveClockOn(int written, DWORD idleMs) {
  if (written > 0) AdvanceClock(written * OutputFrameTime());
  else if (idleMs >= kSoundIdleMs) AdvanceClock(OutputFrameTime());
}

HoldEnd HoldLoop(CritSecLock& lock, double until) {
  SyncState& s = Sync();
  const double from = s.ExpectedSampleTime;
  AdvanceClock(kSoundLead);
  long seen = s.AudioSamplesSeen;
  DWORD lastSound = GetTickCount();
  for (;;) {
    if (!Frame().IsRecording || GraphStopped()) return HoldEnd::kStopped;
    // The sound's end comes after its last sample: what is held now is all.
    const bool ended = s.AudioEnded;
    if (seen != s.AudioSamplesSeen) seen = s.AudioSamplesSeen, lastSound = GetTickCount();
    // After a jump of its times the buffer holds silence and then the
    // sound of another time: only what came before the jump is this hold's.
    const bool jumped = SoundJumpedAfter(from);
    const double soundEnd = jumped ? std::min(HeldSoundEnd(), s.AudioJumpAt) : HeldSoundEnd();
    const int written = WriteHeldSlots(lock, HeldFrame(), until, soundEnd);
    if (RangeComplete() || s.ExpectedSampleTime + OutputFrameTime() > until + 1e-6) return HoldEnd::kReached;
    if (jumped) return HoldEnd::kSoundJumped;
    if (ended) return HoldEnd::kSoundEnded;
    MoveClockOn(written, GetTickCount() - lastSound);
    lock.SleepUnlocked(kSoundPollMs);
  }
}
}  // namespace

void KeepHeldPicture(IMediaSample* sample, const std::uint8_t* frame) {
  SyncState& s = Sync();
  s.HeldInOutputBuffer = frame == CaptureFrames().buffers.output.data();
  s.HeldSample = s.HeldInOutputBuffer ? ComPtr<IMediaSample>() : ComPtr<IMediaSample>(sample);
  s.HeldValid = frame != nullptr;
}

void ReleaseHeldPicture() {
  SyncState& s = Sync();
  s.HeldSample = ComPtr<IMediaSample>();
  s.HeldValid = false;
}

bool SoundRunsOnThrough(double from, double to) {
  const SyncState& s = Sync();
  return s.HeldValid && Engine().AudioSourcePresent && !s.AudioEnded &&
         !(s.AudioJumpAt >= from - kJumpReach && s.AudioJumpAt <= to);
}

HoldEnd HoldPicture(CritSecLock& lock, double until) {
  SyncState& s = Sync();
  s.Holding = true;
  const HoldEnd end = HoldLoop(lock, until);
  s.Holding = false;
  return end;
}

void OnVideoEndOfStream() {
  CritSecLock lock(CaptureLock());
  SyncState& s = Sync();
  // The sound may have ended already, with some of it still held: that is
  // written too.
  if (!Frame().IsRecording || Engine().bRecordingFirstSample || !s.HeldValid || !Engine().AudioSourcePresent) return;
  WriteLog("Pictures end at %.3f; the last one holds until the sound ends", s.ExpectedSampleTime - s.SampleStartTime);
  HoldPicture(lock, std::numeric_limits<double>::infinity());
}

void OnAudioEndOfStream() {
  CritSecLock lock(CaptureLock());
  Sync().AudioEnded = true;
}
