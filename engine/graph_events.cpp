// The graph's events, and the banner above the video panel.
#include <unistd.h>

#include <cstdio>
#include <exception>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "engine/engine_state.h"
#include "engine/engine_view.h"
#include "engine/playback.h"
#include "engine/recording.h"
#include "platform/desktop/screen_saver.h"
#include "settings/translate.h"

namespace {
constexpr long kReadyBanner = 60285;
constexpr long kRecordingBanner = 16742263;

// EC_COMPLETE: the file played to its end.
void OnComplete() {
  EngineView& v = View();
  WriteLog("Complete");
  const bool inFirstPass = Frame().IsRecording && Frame().CurrentPass == 1;
  v.RunTimerStep();
  if (!Frame().IsRecording) return;
  // The timer step found the end point and started the second pass: the
  // completion was the first pass's (a range of 2 s or less would otherwise
  // end the second pass as it starts).
  if (inFirstPass && Frame().CurrentPass == 2) return;
  if (Frame().CurrentPass == 2 && v.PositionHigh() > v.PositionLow() + 2) return;
  Engine().SourceEnded = true;
  Engine().StopAtStreamsEnd = true;
  StopRecording();
  // The end of the first of two passes starts the second: not finished yet.
  if (!Frame().IsRecording) PostMessage(Engine().hMainFrame, WM_RECORD_PROGRESS, 0, -1);
}
}  // namespace

int HandleGraphEvents() {
  GraphHandles& g = Graph();
  if (!g.pMediaEvent || !g.pGB || Engine().RenderState == 0) return 0;
  LONG code;
  LONG_PTR p1, p2;
  while (g.pMediaEvent && g.pMediaEvent->GetEvent(&code, &p1, &p2, 0) == S_OK) {
    // Hold the event interface: the handler may close the graph.
    ComPtr<IMediaEventEx> events(g.pMediaEvent);
    OnGraphEvent(code, static_cast<long>(p1), static_cast<long>(p2));
    events->FreeEventParams(code, p1, p2);
    if (!g.pGB) break;
  }
  return 0;
}

int OnGraphEvent(long code, long, long) {
  if (Engine().bIgnoreGraphEvents) return 0;
  // A paused renderer asks for a repaint once it holds a new picture (a
  // pause, a seek while paused). One that comes after playback resumed
  // would cover the playing video with a picture that no longer paints.
  if (code == EC_REPAINT) {
    if (Frame().PlaybackState == 1) ShowPausedFrame();
    return 0;
  }
  if (Frame().PlaybackState != 2) return 0;
  if (code == EC_COMPLETE) OnComplete();
  return 0;
}

void ShowGuide(int code) {
  try {
    char text[96];
    const TimeOfDay& t = Engine().TitleTime;
    if (code == 4) {
      std::snprintf(text, sizeof(text), "Ready to record this title [%d:%02d:%02d]", t.hours, t.minutes, t.seconds);
      View().ShowBanner(text, kReadyBanner, false);
    } else if (code == 5) {
      View().ShowBanner("Recording ... ", kRecordingBanner, true);
    } else {
      View().ShowBanner("Video Panel", -1, false);
    }
  } catch (const std::exception&) {
    WriteLog("Exception in Guide %d", code);
  }
  const std::string& folder = Frame().ProgramFolder;
  if (!folder.empty() && chdir(folder.c_str()) != 0) WriteLog("Cannot enter the program folder %s", folder.c_str());
}

void DisableScreenSaver() { InhibitScreenSaver(translate("Converting a video")); }

void RestoreScreenSaver() { ReleaseScreenSaver(); }
