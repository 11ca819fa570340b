#include "app/control/headless_host.h"

#include "app/control/range_bar.h"
#include "app/control/recording_control.h"
#include "core/diag_log.h"
#include "core/frame_state.h"
#include "encode/recording_encoder.h"
#include "engine/engine_state.h"
#include "engine/graph_builder.h"
#include "engine/playback.h"
#include "engine/recording.h"
#include "engine/sync_state.h"
#include "platform/core/threads.h"
#include "settings/settings_store.h"

HeadlessHost::HeadlessHost() : window_([this](UINT m, WPARAM w, LPARAM l) { OnMessage(m, w, l); }) {
  SetEngineView(this);
  SetEngineWindows(&window_, &window_, 467, 350);
  SetPendingMessagePump([this] { window_.Dispatch(); });
  Engine().SettleAfterStop = false;
  lastTick_ = GetTickCount();
}

HeadlessHost::~HeadlessHost() {
  StopRecording();
  CloseDVDVolume();
  JoinWorkerThread();
  SetPendingMessagePump({});
  Engine().SettleAfterStop = true;
  SetEngineWindows(nullptr, nullptr, 0, 0);
  SetEngineView(nullptr);
}

void HeadlessHost::OnMessage(UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_GRAPHNOTIFY) HandleGraphEvents();
  else if (msg == WM_RECORD_PROGRESS) OnRecordProgress(w, l);
}

void HeadlessHost::MovePositionLow(int s) {
  positionLow = s;
  PositionRangeBarLowChange();
}

void HeadlessHost::SetPositionHigh(int s) {
  positionHigh = s;
  PositionRangeBarHighChange();
}

void HeadlessHost::RunPositionHighChange() { PositionRangeBarHighChange(); }

void HeadlessHost::SetProgressStatus(const std::string& t) {
  progressStatus = t;
  if (onProgress && !t.empty()) onProgress(t);
}

void HeadlessHost::RunTimerStep() { PerformanceMonitorTimer(); }

// Without a dialog the output folder is the one of the output path.
void HeadlessHost::AskDefaultOutputFolder() {
  WriteSettingText("OutputConfig", "LastOutput", Frame().GetOutputPath().c_str());
}

void HeadlessHost::Step(int waitMs) {
  window_.WaitAndDispatch(waitMs);
  if (GetTickCount() - lastTick_ >= 500) {
    lastTick_ = GetTickCount();
    PerformanceMonitorTimer();
  }
}

void HeadlessHost::Pump(int ms) {
  const DWORD begin = GetTickCount();
  while (GetTickCount() - begin < static_cast<DWORD>(ms)) Step(20);
}

bool HeadlessHost::OpenSource(const std::string& path) {
  WriteLog("Rendering %s", path.c_str());
  SetSourceFile(path);
  RenderSource();
  Play();
  return Frame().SourceReadiness == 2 && !Engine().bVideoGrabberUnconnected;
}

HostRun HeadlessHost::Convert(const std::function<bool()>& stopRequested, int stallSeconds) {
  HostRun run;
  StartRecordingButtonClick();
  if (!Frame().IsRecording) return run;
  // Progress is a picture taken or a slot written (a held picture writes
  // slots without new pictures; the first picture of a clip moves no time).
  int lastTaken = -1;
  DWORD lastProgress = GetTickCount();
  while (Frame().IsRecording) {
    Step(20);
    if (!Frame().IsRecording) break;
    const int taken = Sync().FrameCounter;
    if (taken != lastTaken) {
      lastTaken = taken;
      lastProgress = GetTickCount();
    } else if (GetTickCount() - lastProgress > static_cast<DWORD>(stallSeconds) * 1000) {
      WriteLog("No picture for %d s; stopping the conversion", stallSeconds);
      run.stalled = true;
      StopRecording();
      break;
    }
    if (stopRequested && stopRequested()) {
      WriteLog("Manually stop recording");
      Frame().ManualStop = true;
      StopRecording();
    }
  }
  window_.Dispatch();
  // Aborted on a failed or vanished output, or failed as the file ended.
  run.writeFailed = Engine().LastConversionAborted || EncoderOutputFailed();
  run.finished = !run.stalled && !run.writeFailed;
  return run;
}
