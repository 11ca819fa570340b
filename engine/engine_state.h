#pragma once
// The engine's process-wide state: one graph, one conversion at a time.
// Each field says which thread writes it; fields read by the streaming
// threads or helper threads while another thread writes them are atomic.
#include <atomic>
#include <string>

#include "engine/my_clock.h"
#include "platform/core/messages.h"
#include "platform/dshow/dshow.h"
#include "platform/grabbers/vx_grabber.h"

// The graph handles. Written on the user-interface thread by the build and
// the teardown; the helper threads and the callbacks only use them while
// the graph exists.
struct GraphHandles {
  IGraphBuilder* pGB = nullptr;
  IBaseFilter* pVxGrabberBaseFilter_Video = nullptr;
  IBaseFilter* pVxGrabberBaseFilter_Audio = nullptr;
  IVxVideoGrabber* pVxGrabber_Video = nullptr;
  IVxGrabber* pVxGrabber_Audio = nullptr;
  IBaseFilter* pVideoRenderer = nullptr;
  IMediaEventEx* pMediaEvent = nullptr;
  IMediaControl* pMediaControl = nullptr;
  IMediaSeeking* pMediaSeeking = nullptr;
  IMediaFilter* pMediaFilter = nullptr;
  IMediaPosition* pMediaPosition = nullptr;
  IVideoWindow* pVideoWindow = nullptr;
  IBasicAudio* pBasicAudio = nullptr;
  // Recreated on every build; read by the streaming threads through the
  // atomic pointer while the graph runs.
  std::atomic<CMyClock*> clock{nullptr};
};

struct TimeOfDay {
  int hours = 0, minutes = 0, seconds = 0, frames = 0;
};

struct EngineState {
  // Build (user-interface thread, except RenderState, which the rendering
  // thread sets to 1 when it ends).
  std::atomic<int> RenderState{1};
  std::atomic<bool> bStopTimedOut{false};
  bool bVideoGrabberUnconnected = false;
  bool bAudioGrabberUnconnected = false;
  bool bAccelerationLowered = false;
  // The window repaints for a moment after a conversion before its notice
  // appears; a host without a window has nothing to repaint.
  bool SettleAfterStop = true;
  // False when the source has no audio the graph could connect: every
  // output slot then carries silence. Read by the video callback.
  std::atomic<bool> AudioSourcePresent{true};
  int Movie_wndWidth = 0, Movie_wndHeight = 0;
  std::wstring SourceFile;   // the graph's copy of the source path
  std::string SourcePath;    // the same, as the user chose it
  std::string TitleName;     // the source's name without folder and extension
  DWORD RotCookie = 0;
  HWND hMainFrame = nullptr;  // receives WM_GRAPHNOTIFY, WM_VIDEO_RELAYOUT, WM_RECORD_PROGRESS
  HWND hMovieWnd = nullptr;   // owner of the video window (the video panel)

  // Playback (user-interface thread).
  bool bStopping = false;
  bool bPausing = false;
  bool bFreezeTimeLabel = false;
  TimeOfDay CurrentTime;
  TimeOfDay TitleTime;

  // Conversion (user-interface thread; bRecordingFirstSample is also
  // cleared by the video callback).
  std::atomic<bool> bRecordingFirstSample{false};
  bool bIgnoreGraphEvents = false;
  bool bAborting = false;     // the stop under way ends a conversion that failed
  bool LastConversionAborted = false;  // the last conversion ended that way
  int RecordStartSecond = 0;
  std::atomic<DWORD> RecordStartTick{0};
  int DeviceCode = 0;         // 0 PSP, 1 iPod
  // The output path is a name the user chose (Save as, a name on the
  // command line), not the device's numbered one; MakeOutputFilename
  // clears it. A chosen name is asked about before it is overwritten; a
  // numbered one is never overwritten: the next free number is taken.
  bool OutputNamedByUser = false;
  // Whether a chosen name raises the file number as well (the window's
  // way; the batch converter's named outputs take no number).
  bool NamedOutputTakesNumber = true;
  // The number the current conversion took for its output, or -1.
  int OutputNumber = -1;
  // What the conversion was asked for and what its output holds, in
  // seconds of source, and whether it ended because the source did.
  double AskedSeconds = 0.0;
  double ConvertedSeconds = 0.0;
  bool SourceEnded = false;
  // Set for the stop the graph's completion makes: every sample has passed
  // the grabbers, so the stop need not wait for callbacks still running.
  bool StopAtStreamsEnd = false;
  // What the finished progress line reports of the last conversion: the
  // output it wrote to (its last part; the stop names the next one) and
  // how long it ran until its stop (the line comes after the finished
  // notice has been closed).
  std::string FinishedOutputPath;
  DWORD FinishedElapsedMs = 0;

  // The display aspect the video panel should follow (x / y), posted with
  // WM_VIDEO_RELAYOUT by whichever thread learns it.
  std::atomic<double> VideoAspect{4.0 / 3.0};
};

GraphHandles& Graph();
EngineState& Engine();

// The clock of the current graph, or null.
inline CMyClock* EngineClock() { return Graph().clock.load(); }

// Tells the engine the main window, the video panel and the panel's inner
// size (the video window's initial size).
void SetEngineWindows(HWND mainFrame, HWND videoPanel, int movieWidth, int movieHeight);

// Logs "FAILED(hr=0x%x) in <call>\n" and returns hr.
HRESULT LogFailed(HRESULT hr, const char* call);
