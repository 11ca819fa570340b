// Closing the source: playback stops and the graph is released.
#include "core/diag_log.h"
#include "core/frame_state.h"
#include "engine/engine_state.h"
#include "engine/engine_view.h"
#include "engine/graph_builder.h"
#include "engine/playback.h"
#include "platform/dshow/system_objects.h"

namespace {
template <typename T>
void ReleaseHandle(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

void RemoveFromGraph(IBaseFilter* f) {
  if (f && Graph().pGB) Graph().pGB->RemoveFilter(f);
}
}  // namespace

void CloseDVDVolume() {
  GraphHandles& g = Graph();
  EngineState& e = Engine();
  FrameState& f = Frame();
  // 1.-2.
  WriteLog("CloseDVDVolume ...");
  View().EnableThumbnailButton(false);
  if (!e.bStopTimedOut && g.pMediaFilter) g.pMediaFilter->SetSyncSource(nullptr);
  // 3.-4.
  // A paused graph is stopped too: its streaming threads must be idle
  // before the grabbers and the clock go.
  // The stop waits for the streaming threads, which a source stuck in a
  // read may never let go: on a helper, with the stop's time-out.
  if ((f.PlaybackState == 2 || f.PlaybackState == 1) && g.pMediaControl) StopGraphWithTimeout();
  f.PlaybackState = 0;
  if (!e.bStopTimedOut) ReleaseGraph();
  // The source it described is gone: Convert must not start on it.
  f.SourceReadiness = 0;
  // 5.
  e.CurrentTime = TimeOfDay();
  e.TitleTime = TimeOfDay();
  f.PlaybackState = 3;
  ShowPosition(0);
  ShowTime();
  WriteLog("CloseDVDVolume finished");
}

void ReleaseGraph() {
  GraphHandles& g = Graph();
  EngineState& e = Engine();
  if (e.RotCookie) {
    RemoveGraphFromRot(e.RotCookie);
    e.RotCookie = 0;
  }
  if (g.pMediaEvent) g.pMediaEvent->SetNotifyWindow(0, 0, 0);
  if (g.pVideoWindow) {
    g.pVideoWindow->put_MessageDrain(0);
    ReleaseHandle(g.pVideoWindow);
  }
  RemoveFromGraph(g.pVideoRenderer);
  RemoveFromGraph(g.pVxGrabberBaseFilter_Video);
  RemoveFromGraph(g.pVxGrabberBaseFilter_Audio);
  ReleaseHandle(g.pVideoRenderer);
  ReleaseHandle(g.pVxGrabber_Video);
  ReleaseHandle(g.pVxGrabber_Audio);
  ReleaseHandle(g.pVxGrabberBaseFilter_Video);
  ReleaseHandle(g.pVxGrabberBaseFilter_Audio);
  ReleaseHandle(g.pMediaEvent);
  ReleaseHandle(g.pMediaControl);
  ReleaseHandle(g.pMediaSeeking);
  ReleaseHandle(g.pMediaFilter);
  ReleaseHandle(g.pMediaPosition);
  ReleaseHandle(g.pBasicAudio);
  ReleaseHandle(g.pGB);
  if (CMyClock* clock = g.clock.exchange(nullptr)) clock->Release();
}
