#include "engine/sync_state.h"

#include <algorithm>
#include <cstring>

void AudioBuffer::Zero(int from, int to) {
  from = std::max(from, 0);
  to = std::min(to, kHeldAudioBytes);
  if (to > from) std::memset(data() + from, 0, static_cast<size_t>(to - from));
}

void AudioBuffer::DropFront(int n, int held) {
  n = std::clamp(n, 0, held);
  if (n > 0 && held > n) std::memmove(data(), data() + n, static_cast<size_t>(held - n));
}

SyncState& Sync() {
  static SyncState state;
  return state;
}

CriticalSection& CaptureLock() {
  static CriticalSection lock;
  return lock;
}

void ResetSyncState() {
  CritSecLock lock(CaptureLock());
  SyncState& s = Sync();
  s.audio.ClearAll();
  s.audio_buffer_i = 0;
  s.audio_buffer_start_time = 0.0;
  s.audio_borrow = 0;
  s.PrevAudioStart = -1.0;
  s.HeldSample = ComPtr<IMediaSample>();
  s.HeldValid = s.HeldInOutputBuffer = s.Holding = s.AudioEnded = false;
  s.AudioJumpAt = -1e300;
  s.AudioSamplesSeen = 0;
}
