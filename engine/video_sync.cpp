#include "engine/video_sync.h"

#include <algorithm>
#include <cmath>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "engine/capture_frames.h"
#include "engine/engine_state.h"
#include "engine/media_types.h"
#include "engine/recording_slots.h"
#include "engine/sync_state.h"
#include "transfer/thumbnail.h"

namespace {
bool PlausibleFrameTime(double d) { return d > 0.0166 && d <= 0.1; }

// The frame interval of this sample (step 4 and 5): from its stop time when
// it has one, else from the previous sample; the estimates follow it.
double FrameInterval(double t1, double t2, bool recording) {
  VideoFormatState& v = CaptureFrames().video;
  const bool fromStop = !(t1 + 0.01 > t2);
  double d = fromStop ? t2 - t1 : t1 - Sync().PrevVideoStart;
  if (!PlausibleFrameTime(d)) {
    // Short intervals are real (sources above 60 fps), and so are long
    // ones a stop time states (slide shows: up to a few of their frame
    // times, beyond which a picture is a gap); only unusable ones fall back.
    const bool usable =
        (d > 0 && d <= 0.0166) || (fromStop && d > 0.1 && d <= std::max(1.0, 3 * v.NominalFrameTime));
    return usable ? d : 0.042;
  }
  // A file source's type already states a plausible frame time: keep it.
  if (PlausibleFrameTime(v.ActualFrameTime)) return d;
  double& avg = v.AverageFrameTime;
  double& slow = v.SlowAverageFrameTime;
  if (avg == 0) {
    avg = slow = d;
  } else if (!recording) {
    avg = slow = (d > avg && d <= 0.041709) ? 0.08 * d + 0.92 * avg : 0.01 * d + 0.99 * avg;
  }
  if (!recording) v.ActualFrameTime = v.bFixedFrameTime ? static_cast<double>(v.FixedFrameTime) : avg;
  if (recording && 1.7 * avg > d && d > 0.00001) {
    v.ActualFrameTime = 0.005 * d + 0.995 * v.ActualFrameTime;
    avg = 0.005 * d + 0.995 * avg;
    slow = (d >= 0.9 * avg && d <= 1.1 * avg) ? 0.05 * d + 0.95 * slow : 0.0005 * d + 0.9995 * slow;
  }
  return d;
}

// Step 7: a frame arriving later than its neighbours means lost frames;
// the pacing is braked for a few frames.
void CheckLostFrames(double& t1, bool recording) {
  SyncState& s = Sync();
  const VideoFormatState& v = CaptureFrames().video;
  const double g = t1 - s.PrevVideoStart;
  if (!(s.PrevVideoStart > 0 && g > 1.8 * v.AverageFrameTime && g > 0.038) || !recording) return;
  const double aft = v.ActualFrameTime;
  if (CaptureFrames().DebugLevel > 0)
    WriteLog("****** Frame lost ******* at %.3f   %.3f  delta=%.4f %.4f  audio_borrow=%d",
             s.PrevVideoStart - s.SampleStartTime, t1 - s.SampleStartTime, s.PrevVideoStart - t1, aft, s.audio_borrow);
  else
    WriteLog("  -- at %.3f   %.3f  delta=%.4f %.7f  audio_borrow=%d", s.PrevVideoStart - s.SampleStartTime,
             t1 - s.SampleStartTime, s.PrevVideoStart - t1, aft, s.audio_borrow);
  s.Slowdown = static_cast<int>(std::lround(std::min(aft > 0 ? g / aft : 5.0, 5.0) + 21));
  WriteLog("Slowdown: %d", s.Slowdown);
  if (3 * aft > g) t1 = s.PrevVideoStart + aft;
}

// Step 9: the source planes feed the paused picture and the thumbnails;
// while converting only every fourth picture is split, and only until the
// output's thumbnail is made (the scaler reads the sample itself).
void PreparePlanes(SamplePicture& picture, bool recording) {
  if (!recording || (KeepPreviewFrame() && !ThumbnailMade())) ConvertToPlanes(picture);
}

int CallbackResult(bool recording) {
  if (!recording) return 0;
  const bool keep = KeepPreviewFrame();
  return CaptureFrames().video.bVideoInfo2 ? !keep : keep;
}

void SetClockRate(float rate) {
  if (CMyClock* clock = EngineClock()) clock->Rate = rate;
}
}  // namespace

int OnVideoSample(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, BOOL, BOOL typeChanged) {
  // 1.
  CritSecLock lock(CaptureLock());
  CaptureFrameState& c = CaptureFrames();
  SyncState& s = Sync();
  const bool recording = Frame().IsRecording;
  if (c.DebugLevel >= 20) {
    WriteLog("___________________");
    WriteLog("V %8.8f - %-8.8f %s %d  delta=%.7f", *start * 1e-7, *stop * 1e-7, typeChanged ? "CHANGE" : "",
             static_cast<int>(sample->GetActualDataLength()), (*stop - *start) * 1e-7);
  }
  // 2.-3.
  if (recording) SetClockRate(0.01f);
  if (typeChanged) OnVideoTypeChanged(nullptr);
  OnVideoTypeChanged(sample);
  VideoTiming timing;
  if (CMyClock* clock = EngineClock()) timing.entryClock = static_cast<double>(clock->GetPrivateTime());
  // 4.-6.
  timing.start = *start * 1e-7;
  timing.t1 = timing.start;
  const double d = FrameInterval(timing.t1, *stop * 1e-7, recording);
  timing.t2e = timing.t1 + d;
  // 7.-9.
  CheckLostFrames(timing.t1, recording);
  if (c.DebugLevel >= 20) WriteLog("audio_buffer_i %d    borrow %d", s.audio_buffer_i, s.audio_borrow);
  SamplePicture picture(sample);
  PreparePlanes(picture, recording);
  // 10.
  if (recording) RecordVideoSample(lock, timing, picture);
  // 11.
  s.PrevVideoStart = timing.start;
  if (recording) SetClockRate(0.01f);
  // 12.
  if (c.DebugLevel >= 20) WriteLog("___________________");
  ++c.PreviewCounter;
  return CallbackResult(recording);
}
