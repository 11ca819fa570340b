#include "engine/audio_sync.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "engine/capture_frames.h"
#include "engine/engine_state.h"
#include "engine/media_types.h"
#include "engine/sync_state.h"
#include "settings/settings.h"

namespace {
// Audio gain of the volume level (1..9, 5 = the source's own volume).
double AudioGain(int level) { return level > 5 ? std::pow(1.65, level - 5) : level * 0.2; }

constexpr int kBackpressureBytes = kHeldAudioBytes / 5 * 4;  // 80 % of the buffer
constexpr double kSoundJump = 1.0;  // seconds of missing sound that make a jump of its times
// How long sound waits, at most, for a picture held by the video thread to
// take the sound before it.
constexpr DWORD kRoomWaitMs = 5000;

struct AudioSample {
  const std::uint8_t* data = nullptr;
  int len = 0;  // bytes of 16-bit samples
  double t1 = 0.0, t2 = 0.0;
};

// 8-bit PCM is unsigned with its zero at 128: it becomes signed 16-bit.
AudioSample Widen8Bit(const std::uint8_t* bytes, int len) {
  std::vector<std::int16_t>& w = Sync().widened;
  if (static_cast<int>(w.size()) < len) w.resize(static_cast<size_t>(len));
  for (int i = 0; i < len; ++i) w[i] = static_cast<std::int16_t>((bytes[i] - 128) * 256);
  return {reinterpret_cast<const std::uint8_t*>(w.data()), len * 2};
}

// Copies len bytes of samples to offset o of the buffer, with the gain of
// the volume setting; never past the buffer's end.
int StoreSamples(int o, const std::uint8_t* src, int len) {
  SyncState& s = Sync();
  len = std::min(len, kHeldAudioBytes - o);
  len -= len % 2;
  if (len <= 0) return 0;
  std::uint8_t* dst = s.audio.data() + o;
  std::memcpy(dst, src, static_cast<size_t>(len));
  const double gain = AudioGain(AppSettings().audioVolume);
  if (gain != 1.0) {
    auto* pcm = reinterpret_cast<std::int16_t*>(dst);
    for (int i = 0; i < len / 2; ++i)
      pcm[i] = static_cast<std::int16_t>(std::clamp(std::lround(pcm[i] * gain), -32768L, 32767L));
  }
  return len;
}

double HeldEnd() {
  const SyncState& s = Sync();
  const AudioFormatState& f = CaptureFrames().audio;
  return s.audio_buffer_start_time + static_cast<double>(s.audio_buffer_i) / (f.AudioFrameBytes * f.AudioRate);
}

// The sound stops being continuous where the buffer ends: its times jumped
// (a discontinuity, a seek, a gap of more than a second). The first sample
// of a run continues nothing.
void NoteJump() {
  SyncState& s = Sync();
  if (s.AudioSamplesSeen > 1) s.AudioJumpAt = HeldEnd();
}

// The buffer starts again with this sample.
void RestartWith(const AudioSample& a) {
  SyncState& s = Sync();
  NoteJump();
  s.audio_buffer_i = StoreSamples(0, a.data, a.len);
  s.audio_buffer_start_time = a.t1;
}

void LogLostSample(double t1, double t2) {
  SyncState& s = Sync();
  if (Frame().IsRecording && s.PrevAudioStart >= 0 && t1 - s.PrevAudioStart > 1.5 * (t2 - t1))
    WriteLog("####### Audio Lost Sample %.3f  %.3f #########", s.PrevAudioStart, t1);
  s.PrevAudioStart = t1;
}

// Places the sample by its time: appended when it continues the held audio
// within 40 ms, else at its own place; the buffer keeps its last
// kHeldAudioBytes. Returns where the sample ends, in bytes from the start.
long long PlaceSample(const AudioSample& a) {
  SyncState& s = Sync();
  const AudioFormatState& f = CaptureFrames().audio;
  const int fb = f.AudioFrameBytes, rate = f.AudioRate;
  const long long e = (NearestSampleFrame((a.t2 - s.audio_buffer_start_time) * rate) + 1) * fb;
  if (e >= 2LL * kHeldAudioBytes) {
    RestartWith(a);
    return e;
  }
  if (e >= kHeldAudioBytes) {
    const int drop = static_cast<int>(std::min<long long>(e - kHeldAudioBytes, s.audio_buffer_i));
    s.audio.DropFront(drop, s.audio_buffer_i);
    s.audio_buffer_i -= drop;
    s.audio_buffer_start_time = a.t2 - static_cast<double>(kHeldAudioBytes) / (fb * rate);
  }
  if (e > 0) {
    long long o = NearestSampleFrame((a.t1 - s.audio_buffer_start_time) * rate) * fb;
    if (std::llabs(s.audio_buffer_i - o) <= rate * 0.04 * fb) o = s.audio_buffer_i;
    if (o - s.audio_buffer_i > static_cast<long long>(rate) * fb * kSoundJump) NoteJump();
    // What would lie before the buffer's start is not kept.
    const long long skip = std::min<long long>(std::max<long long>(-o, 0), a.len);
    o = std::min<long long>(std::max<long long>(o, 0), kHeldAudioBytes);
    // A sample placed after a gap leaves silence behind it, not old audio.
    s.audio.Zero(s.audio_buffer_i, static_cast<int>(o));
    const int stored = StoreSamples(static_cast<int>(o), a.data + skip, a.len - static_cast<int>(skip));
    s.audio_buffer_i = std::max<int>(s.audio_buffer_i, static_cast<int>(o) + stored);
  }
  return e;
}

// Where sample a would end, in bytes from the buffer's start.
long long EndOffset(const AudioSample& a) {
  const SyncState& s = Sync();
  const AudioFormatState& f = CaptureFrames().audio;
  return (NearestSampleFrame((a.t2 - s.audio_buffer_start_time) * f.AudioRate) + 1) * f.AudioFrameBytes;
}

// While the video thread holds a picture and takes the sound as it comes,
// sound that would fill the buffer waits for it rather than pushing out
// sound not yet written.
void WaitForRoomWhileHolding(CritSecLock& lock, const AudioSample& a) {
  const SyncState& s = Sync();
  for (DWORD begin = GetTickCount(); s.Holding && Frame().IsRecording && EndOffset(a) >= kBackpressureBytes &&
                                     GetTickCount() - begin < kRoomWaitMs;)
    lock.SleepUnlocked(2);
}

bool AudioTooFarAhead(long long e) {
  const SyncState& s = Sync();
  return e >= kBackpressureBytes && Frame().IsRecording && s.LastVideoTime - s.SampleStartTime > 1 &&
         !Engine().bRecordingFirstSample;
}
}  // namespace

long long NearestSampleFrame(double samples) { return static_cast<long long>(std::floor(samples + 0.5)); }

int OnAudioSample(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, BOOL, BOOL typeChanged) {
  CritSecLock lock(CaptureLock());
  SyncState& s = Sync();
  const CaptureFrameState& c = CaptureFrames();
  // 1. The sample and its format.
  BYTE* bytes = nullptr;
  sample->GetPointer(&bytes);
  const int rawLen = std::max<LONG>(sample->GetActualDataLength(), 0);
  if (typeChanged) OnAudioTypeChanged(nullptr);
  OnAudioTypeChanged(sample);
  const AudioFormatState& f = c.audio;
  // 2. Always 16-bit from here on.
  AudioSample a = f.AudioBits == 8 ? Widen8Bit(bytes, rawLen) : AudioSample{bytes, rawLen};
  a.len -= a.len % f.AudioFrameBytes;
  if (!a.data || a.len <= 0) return 0;
  ++s.AudioSamplesSeen;
  // 3.-5. Times; a sample without a usable stop time lasts as long as its data.
  a.t1 = *start * 1e-7;
  a.t2 = *stop * 1e-7;
  if (a.t2 <= a.t1) a.t2 = a.t1 + static_cast<double>(a.len) / (f.AudioFrameBytes * f.AudioRate);
  if (c.DebugLevel >= 20)
    WriteLog("A %8.8f - %-8.8f  act_len=%d size=%d %s", a.t1, a.t2, a.len, static_cast<int>(sample->GetSize()),
             typeChanged ? "CHANGE" : "");
  LogLostSample(a.t1, a.t2);
  if (c.DebugLevel >= 20)
    WriteLog("[AUDIO]: t1=%.6f t2=%.6f  len=%d  audio_buffer_start_time=%.8f  audio_buffer_i=%d", a.t1, a.t2, a.len,
             s.audio_buffer_start_time, s.audio_buffer_i);
  // 7.-10. Into the buffer.
  const double bufferEnd =
      static_cast<double>(s.audio_buffer_i) / (f.AudioFrameBytes * f.AudioRate) + s.audio_buffer_start_time;
  if (bufferEnd - a.t1 >= 0.06) {
    WriteLog("Time goes back. diff=%.6f  audio_buffer:[%.6f, %6f]  t1=%.3f  t2=%.3f", bufferEnd - a.t1,
             s.audio_buffer_start_time, bufferEnd, a.t1, a.t2);
    s.audio.ClearAll();
    RestartWith(a);
  } else if (sample->IsDiscontinuity() == S_OK) {
    // After a seek the times start again, perhaps within a few
    // milliseconds of where the held audio ends: it is not continued.
    s.audio.Zero(0, s.audio_buffer_i);
    RestartWith(a);
  } else if (a.t1 + 0.03 >= s.audio_buffer_start_time) {
    WaitForRoomWhileHolding(lock, a);
    const long long e = PlaceSample(a);
    if (AudioTooFarAhead(e)) {
      WriteLog("audio too much. wait for video");
      CaptureFrames().video.ActualFrameTime = CaptureFrames().video.ActualFrameTime * 0.996;
      lock.SleepUnlocked(300);
    }
  } else {
    s.audio.Zero(0, s.audio_buffer_i);
    RestartWith(a);
  }
  return 0;
}
