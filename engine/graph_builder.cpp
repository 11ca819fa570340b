#include "engine/graph_builder.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "core/message_dlg.h"
#include "engine/audio_sync.h"
#include "engine/capture_frames.h"
#include "engine/engine_state.h"
#include "engine/engine_view.h"
#include "engine/media_types.h"
#include "engine/picture_hold.h"
#include "engine/playback.h"
#include "engine/recording.h"
#include "engine/sync_state.h"
#include "engine/video_sync.h"
#include "platform/core/messages.h"
#include "platform/core/threads.h"
#include "settings/settings.h"
#include "settings/translate.h"

namespace {
// Renders the source on its own thread; RenderState is the only hand-over.
class WorkerThread {
 public:
  void Start(IGraphBuilder* graph, std::wstring file) {
    Join();
    ComPtr<IGraphBuilder> keep(graph);  // the graph may be closed while it renders
    {
      std::lock_guard<std::mutex> lock(m_);
      ended_ = false;
    }
    thread_ = std::thread([this, keep, file = std::move(file)] {
      CoInitializeEx(nullptr, 0);
      result_ = file.empty() ? S_OK : keep->RenderFile(file.c_str(), nullptr);
      Engine().RenderState = 1;
      CoUninitialize();
      std::lock_guard<std::mutex> lock(m_);
      ended_ = true;
      ended_cv_.notify_all();
    });
  }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  // Waits up to ms for the rendering to end; true once it has.
  bool WaitEnded(DWORD ms) {
    std::unique_lock<std::mutex> lock(m_);
    return ended_cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return ended_; });
  }
  HRESULT result() const { return result_.load(); }

 private:
  std::thread thread_;
  std::atomic<HRESULT> result_{S_OK};
  std::mutex m_;  // guards ended_
  std::condition_variable ended_cv_;
  bool ended_ = true;
};

WorkerThread& Worker() {
  static WorkerThread worker;
  return worker;
}

template <typename T>
HRESULT QueryGraph(const IID& iid, T** out, const char* call) {
  HRESULT hr = Graph().pGB->QueryInterface(iid, reinterpret_cast<void**>(out));
  return FAILED(hr) ? LogFailed(hr, call) : hr;
}

// Steps 5 to 11: the graph, the two grabbers and the event window.
HRESULT CreateGraphAndGrabbers() {
  GraphHandles& g = Graph();
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(&g.pGB));
  if (FAILED(hr)) {
    LogFailed(hr, "::CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, (void**)&pGB)");
    ShowMessageDlg(translate("Cannot create filter graph. Please install DirectX 8.0 or above"), MsgKind::Error, mbOK);
    return hr;
  }
  if (AppSettings().dbg > 0) AddGraphToRot(g.pGB, &Engine().RotCookie);
  hr = CoCreateInstance(CLSID_VxVideoGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                        reinterpret_cast<void**>(&g.pVxGrabberBaseFilter_Video));
  if (FAILED(hr))
    LogFailed(hr, "::CoCreateInstance(CLSID_VxVideoGrabber, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (LPVOID *)&pVxGrabberBaseFilter_Video)");
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(CLSID_VxGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          reinterpret_cast<void**>(&g.pVxGrabberBaseFilter_Audio));
    if (FAILED(hr))
      LogFailed(hr, "::CoCreateInstance(CLSID_VxGrabber, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (LPVOID *)&pVxGrabberBaseFilter_Audio)");
  }
  if (FAILED(hr)) {
    ShowMessageDlg(translate("Component not found. Please re-install the application"), MsgKind::Error, mbOK);
    return hr;
  }
  if (FAILED(hr = g.pGB->AddFilter(g.pVxGrabberBaseFilter_Video, L"Video Grabber")))
    return LogFailed(hr, "pGB->AddFilter(pVxGrabberBaseFilter_Video,L\"Video Grabber\")");
  if (FAILED(hr = g.pGB->AddFilter(g.pVxGrabberBaseFilter_Audio, L"Audio Grabber")))
    return LogFailed(hr, "pGB->AddFilter(pVxGrabberBaseFilter_Audio,L\"Audio Grabber\")");
  if (FAILED(hr = g.pVxGrabberBaseFilter_Video->QueryInterface(IID_IVxVideoGrabber,
                                                              reinterpret_cast<void**>(&g.pVxGrabber_Video))))
    return LogFailed(hr, "pVxGrabberBaseFilter_Video->QueryInterface(IID_IVxVideoGrabber, (void**)&pVxGrabber_Video)");
  if (FAILED(hr = g.pVxGrabberBaseFilter_Audio->QueryInterface(IID_IVxGrabber,
                                                              reinterpret_cast<void**>(&g.pVxGrabber_Audio))))
    return LogFailed(hr, "pVxGrabberBaseFilter_Audio->QueryInterface(IID_IVxGrabber, (void**)&pVxGrabber_Audio)");
  AM_MEDIA_TYPE mt{};
  mt.majortype = MEDIATYPE_Audio;
  if (FAILED(hr = g.pVxGrabber_Audio->SetAcceptedMediaType(&mt)))
    return LogFailed(hr, "pVxGrabber_Audio->SetAcceptedMediaType(&mt)");
  if (FAILED(hr = QueryGraph(IID_IMediaEventEx, &g.pMediaEvent,
                             "pGB->QueryInterface(IID_IMediaEvent, (void **)&pMediaEvent)")))
    return hr;
  hr = g.pMediaEvent->SetNotifyWindow(reinterpret_cast<OAHWND>(Engine().hMainFrame), WM_GRAPHNOTIFY, 0);
  if (FAILED(hr)) return LogFailed(hr, "pMediaEvent->SetNotifyWindow((OAHWND) hMainFrame, WM_GRAPHNOTIFY, 0)");
  return S_OK;
}

// Step 12: the window keeps working while the file renders.
void RenderOnWorker() {
  EngineState& e = Engine();
  Worker().Start(Graph().pGB, e.SourceFile);
  // The window's events are handled every 10 ms while the file renders; the
  // wait ends as soon as the rendering does, and then the thread has gone.
  while (e.RenderState == 0) {
    if (!Worker().WaitEnded(10)) RunWaitPump();
    ProcessPendingMessages();
  }
  Worker().Join();
  if (FAILED(Worker().result()))
    WriteLog("FAILED(hr=0x%x) in pGB->RenderFile(%s)\n", static_cast<unsigned>(Worker().result()),
             e.SourcePath.c_str());
}

// Why the graph could not open a file, in the user's words.
std::string RenderFailureText(HRESULT hr) {
  if (hr == HRESULT_FILE_NOT_FOUND) return "The file was not found.";
  if (hr == VFW_E_INVALID_FILE_FORMAT) return "It is not a video or sound file this converter can read.";
  if (hr == VFW_E_UNSUPPORTED_STREAM) return "It holds neither a picture nor sound.";
  if (hr == VFW_E_CANNOT_RENDER) return "None of its streams can be decoded.";
  char text[64];
  std::snprintf(text, sizeof(text), "The file could not be read (error 0x%08X).", static_cast<unsigned>(hr));
  return text;
}

// A file the graph could not render at all: the user hears at once, and
// nothing of the source before it stays on show (its labels, bar and
// estimate); no source is ready to convert.
HRESULT RefuseSource(HRESULT hr) {
  FrameState& f = Frame();
  f.SourceReadiness = 0;
  f.TitleLength = 0;
  f.RecordLength = 0;
  f.RecordStartSec = f.RecordEndSec = 0;
  Engine().bFreezeTimeLabel = false;
  EngineView& v = View();
  v.SetPositionMax(0);
  v.SetPointLabelsVisible(false);
  ShowTime();
  v.SetProgressBar(0);
  v.RefreshSizeEstimate();
  ShowGuide(6);
  v.SetBusyCursor(false);
  ShowMessageDlg(translate("Cannot open") + " " + Engine().SourcePath + "\n" + translate(RenderFailureText(hr).c_str()),
                 MsgKind::Error, mbOK);
  return hr;
}

// Step 15.
HRESULT QueryControlInterfaces() {
  GraphHandles& g = Graph();
  HRESULT hr;
  if (FAILED(hr = QueryGraph(IID_IBasicAudio, &g.pBasicAudio,
                             "pGB->QueryInterface(IID_IBasicAudio, (void **)&pBasicAudio)")))
    return hr;
  if (FAILED(hr = QueryGraph(IID_IMediaControl, &g.pMediaControl,
                             "pGB->QueryInterface(IID_IMediaControl, (void **)&pMediaControl)")))
    return hr;
  if (FAILED(hr = QueryGraph(IID_IMediaSeeking, &g.pMediaSeeking,
                             "pGB->QueryInterface(IID_IMediaSeeking, (void **)&pMediaSeeking)")))
    return hr;
  if (FAILED(hr = QueryGraph(IID_IMediaFilter, &g.pMediaFilter,
                             "pGB->QueryInterface(IID_IMediaFilter, (void**)&pMediaFilter)")))
    return hr;
  return QueryGraph(IID_IMediaPosition, &g.pMediaPosition,
                    "pGB->QueryInterface(IID_IMediaPosition, (void **)&pMediaPosition)");
}

// Step 21: the video window inside the video panel.
HRESULT SetUpVideoWindow() {
  GraphHandles& g = Graph();
  EngineState& e = Engine();
  HRESULT hr;
  if (FAILED(hr = QueryGraph(IID_IVideoWindow, &g.pVideoWindow,
                             "pGB->QueryInterface(IID_IVideoWindow, (void **)&pVideoWindow)")))
    return hr;
  IVideoWindow* w = g.pVideoWindow;
  const OAHWND movie = reinterpret_cast<OAHWND>(e.hMovieWnd);
  if (FAILED(hr = w->put_Owner(movie)))
    return LogFailed(hr, "pVideoWindow->put_Owner((OAHWND)MainFrame->Panel1->Handle)");
  if (FAILED(hr = w->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN)))
    return LogFailed(hr, "pVideoWindow->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN)");
  if (FAILED(hr = w->put_MessageDrain(movie)))
    return LogFailed(hr, "pVideoWindow->put_MessageDrain((OAHWND) hMovieWnd)");
  if (FAILED(hr = w->SetWindowPosition(0, 0, e.Movie_wndWidth, e.Movie_wndHeight)))
    return LogFailed(hr, "pVideoWindow->SetWindowPosition(0, 0, Movie_wndWidth, Movie_wndHeight)");
  if (FAILED(hr = w->put_Visible(OATRUE))) return LogFailed(hr, "pVideoWindow->put_Visible(OATRUE)");
  if (FAILED(hr = w->put_AutoShow(OATRUE))) return LogFailed(hr, "pVideoWindow->put_AutoShow(OATRUE)");
  return S_OK;
}

// Step 23: the position bar and the time label follow the title's length.
void TakeTitleLength() {
  IMediaPosition* mp = Graph().pMediaPosition;
  if (!mp) return;
  REFTIME duration = 0;
  mp->get_Duration(&duration);
  const int seconds = static_cast<int>(std::lround(duration));
  View().SetPositionMax(seconds);
  View().SetPositionHigh(seconds);
  FrameState& f = Frame();
  f.RecordLength = duration;
  f.TitleLength = duration;
  const int whole = static_cast<int>(duration);
  TimeOfDay& t = Engine().TitleTime;
  t.seconds = whole % 60;
  t.minutes = whole / 60 % 60;
  t.hours = whole / 3600;
  ShowTime();
}

// Steps 16 to 25, once the file has rendered.
HRESULT FinishBuild() {
  GraphHandles& g = Graph();
  EngineState& e = Engine();
  HRESULT hr = QueryControlInterfaces();
  if (FAILED(hr)) return hr;
  g.pMediaFilter->SetSyncSource(EngineClock());
  View().HidePausedFrame();
  g.pVxGrabber_Video->SetCallback(OnVideoSample);
  g.pVxGrabber_Audio->SetCallback(OnAudioSample);
  g.pVxGrabber_Video->SetEndOfStreamCallback(OnVideoEndOfStream);
  g.pVxGrabber_Audio->SetEndOfStreamCallback(OnAudioEndOfStream);
  CheckGraph();
  e.AudioSourcePresent = !e.bAudioGrabberUnconnected;
  {
    CritSecLock lock(CaptureLock());
    OnVideoTypeChanged(nullptr);
    OnAudioTypeChanged(nullptr);
  }
  if (FAILED(hr = SetUpVideoWindow())) return hr;
  MakeOutputFilename();
  Frame().SourceReadiness = 2;
  View().EnableSaveAsItems(true);
  TakeTitleLength();
  ShowGuide(4);
  View().SetBusyCursor(false);
  View().RefreshThumbnailArea();
  View().EnableThumbnailButton(true);
  return S_OK;
}
}  // namespace

void SetSourceFile(const std::string& path) {
  EngineState& e = Engine();
  e.SourcePath = path;
  e.SourceFile = Utf8ToWide(path);
}

void JoinWorkerThread() { Worker().Join(); }

int RenderSource() {
  EngineState& e = Engine();
  GraphHandles& g = Graph();
  // 1.-2.
  View().FocusVideoPanel();
  if (e.RenderState == 0) return 0;
  e.RenderState = 0;
  e.bStopTimedOut = false;
  CloseDVDVolume();
  // 3.-4.
  HRESULT hr = S_OK;
  auto* clock = new CMyClock("vxclk", nullptr, &hr);
  clock->AddRef();
  clock->Rate = 1.0f;
  // A clock left behind by a stop that timed out stays with its graph.
  if (CMyClock* old = g.clock.exchange(clock)) old->Release();
  WriteLogLine("");
  WriteLog("Render ...\n");
  View().SetBusyCursor(true);
  ResetPlaybackState();
  // 5.-11.
  if (FAILED(hr = CreateGraphAndGrabbers())) {
    e.RenderState = 1;
    View().SetBusyCursor(false);
    return hr;
  }
  // 12.-14.
  RenderOnWorker();
  if (!g.pGB) return 1;
  if (FAILED(Worker().result())) return RefuseSource(Worker().result());
  // A graph without a video renderer (a sound file) goes on, the first
  // time too: the graph check tells the user at once that its picture
  // cannot be played, rather than nothing until Convert.
  g.pGB->FindFilterByName(L"Video Renderer", &g.pVideoRenderer);
  hr = FinishBuild();
  if (FAILED(hr)) View().SetBusyCursor(false);
  return hr;
}
