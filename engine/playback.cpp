#include "engine/playback.h"

#include <cmath>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "engine/capture_frames.h"
#include "engine/engine_state.h"
#include "engine/engine_view.h"
#include "engine/helper_threads.h"
#include "engine/sync_state.h"
#include "engine/video_placement.h"
#include "settings/settings.h"

namespace {
void SetClockRateAtLeastOne() {
  if (CMyClock* clock = EngineClock(); clock && clock->Rate < 1.0f) clock->Rate = 1.0f;
}

constexpr DWORD kStopTimeoutMs = 6500;

// Playing a finished file starts it again.
void RewindWhenAtEnd() {
  IMediaPosition* mp = Graph().pMediaPosition;
  if (!mp) return;
  REFTIME pos = 0, duration = 0;
  mp->get_CurrentPosition(&pos);
  mp->get_Duration(&duration);
  if (std::fabs(duration - pos) < 0.01) SeekGraph(0);
}

// The paused picture takes the video's place in the panel at the source's
// aspect (no stretch), with the conversion's crop window inside it.
void PlacePausedPicture() {
  const EngineState& e = Engine();
  const VideoFormatState& v = CaptureFrames().video;
  const VideoPlacement p =
      PlaceVideo(e.Movie_wndWidth, e.Movie_wndHeight, v.AspectX, v.AspectY, 1.0, CaptureFrames().scale.Crop);
  if (p.height > 0) View().PlacePausedFrame(p.top, p.height, p.width);
}
}  // namespace

HRESULT Play() {
  EngineState& e = Engine();
  GraphHandles& g = Graph();
  FrameState& f = Frame();
  // 1.-2. A graph whose stop or seek timed out is stuck in its streaming
  // threads and would hold this thread too.
  if (e.RenderState == 0 || e.bVideoGrabberUnconnected) return 0;
  if (e.bStopTimedOut) {
    WriteLog("Play: the graph does not answer");
    return 0;
  }
  WriteLog("Play....");
  e.bFreezeTimeLabel = false;
  View().HidePausedFrame();
  if (g.pVideoWindow) g.pVideoWindow->put_Visible(OATRUE);
  // 3.-4.
  RewindWhenAtEnd();
  if (!f.IsRecording) {
    CaptureLock().Enter();
    CaptureFrames().PreviewCounter = -1;
    CaptureLock().Leave();
    SetClockRateAtLeastOne();
  }
  // 5.-6.
  if (f.PlaybackState != 2 && g.pMediaControl) {
    HRESULT hr = g.pMediaControl->Run();
    if (FAILED(hr)) return LogFailed(hr, "pMediaControl->Run()");
    f.PlaybackState = 2;
  }
  if (g.pMediaControl) GraphHelper::RunAndWait(std::make_shared<Movie_Play_Helper>(), 15000);
  // 7.
  CMyClock* clock = EngineClock();
  if (!f.IsRecording && g.pBasicAudio && clock && clock->Rate == 1.0f) SetVolume(0);
  if (f.IsRecording) SetVolume(-10000);
  return 0;
}

void Pause(int) {
  EngineState& e = Engine();
  GraphHandles& g = Graph();
  FrameState& f = Frame();
  // 1.-3.
  if (e.bPausing) {
    WriteLog("Re-entering pause");
    return;
  }
  // A graph that is not running has nothing to pause and no picture to show.
  if (!g.pMediaControl || f.PlaybackState != 2) return;
  e.bFreezeTimeLabel = true;
  auto helper = std::make_shared<Movie_Pause_Helper>(g.pMediaControl);
  e.bPausing = true;
  GraphHelper::RunAndWait(helper, 3000);
  e.bPausing = false;
  if (f.PlaybackState != 1) WriteLog("Pause time out");
  f.PlaybackState = 1;
  // 4.-5.
  PlacePausedPicture();
  ShowPausedFrame();
}

void Stop() {
  EngineState& e = Engine();
  GraphHandles& g = Graph();
  FrameState& f = Frame();
  // 1.-2.
  if (e.bStopping) {
    WriteLog("Re-entering stop");
    return;
  }
  if (!g.pMediaControl || f.PlaybackState == 0) return;
  // 3.
  if (f.PlaybackState == 1 || f.PlaybackState == 2) {
    if (CMyClock* clock = EngineClock()) clock->Rate = 1.0f;
    SleepPumping(500);
    SleepPumping(50);
    e.bStopping = true;
    StopGraphWithTimeout();
    e.bStopping = false;
  }
  // 4.-5. Back at the very beginning, which is the start point again.
  if (!e.bStopTimedOut && g.pMediaPosition) {
    SeekGraph(0);
    f.RecordStartSec = 0;
    f.RecordLength = f.RecordEndSec;
  }
  CritSecLock lock(CaptureLock());
  Sync().LastVideoTime = 0.0;
  Sync().SampleStartTime = 0.0;
}

void SetVolume(long volume) {
  GraphHelper::RunAndWait(std::make_shared<SetVolume_Helper>(Graph().pBasicAudio, volume), 800);
}

void StopGraphWithTimeout() {
  FrameState& f = Frame();
  GraphHelper::RunAndWait(std::make_shared<Movie_Stop_Helper>(Graph().pMediaControl), kStopTimeoutMs);
  if (f.PlaybackState != 0) {
    WriteLog("Stop time out");
    Engine().bStopTimedOut = true;
  }
  f.PlaybackState = 0;
}

bool SeekGraph(double seconds) {
  EngineState& e = Engine();
  IMediaPosition* mp = Graph().pMediaPosition;
  if (!mp || e.bStopTimedOut) return false;
  if (GraphHelper::RunAndWait(std::make_shared<Movie_Seek_Helper>(mp, seconds), kStopTimeoutMs)) return true;
  WriteLog("Seek time out");
  e.bStopTimedOut = true;
  Frame().PlaybackState = 0;
  return false;
}

void ShowPausedFrame() { View().ShowPausedFrame(); }

void ResetPlaybackState() {
  EngineState& e = Engine();
  FrameState& f = Frame();
  // 1.-2.
  ResetSyncState();
  f.IsRecording = false;
  f.ManualStop = false;
  f.RecordStartSec = 0;
  {
    CritSecLock lock(CaptureLock());
    CaptureFrames().video.bFixedFrameTime = false;
    CaptureFrames().DebugLevel = AppSettings().dbg;
  }
  e.TitleTime = TimeOfDay();
  e.CurrentTime = TimeOfDay();
  // 3.-4.
  if (CMyClock* clock = EngineClock()) clock->Rate = 1.0f;
  View().HideStartLogo();
  View().HidePausedFrame();
  View().SetProgressStatus("");
}
