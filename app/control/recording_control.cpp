#include "app/control/recording_control.h"

#include <cmath>
#include <cstdio>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "core/message_dlg.h"
#include "encode/recording_encoder.h"
#include "engine/capture_frames.h"
#include "engine/engine_state.h"
#include "engine/engine_view.h"
#include "engine/playback.h"
#include "engine/recording.h"
#include "engine/sync_state.h"
#include "platform/core/paths.h"
#include "platform/sysinfo/sysinfo.h"
#include "settings/settings.h"
#include "settings/translate.h"
#include "transfer/thumbnail.h"

namespace {
struct SupervisionState {
  int ticks = 0;  // acting ticks run on three ticks out of four
  int logged = 0;
};
SupervisionState& Supervision() {
  static SupervisionState s;
  return s;
}

void AskToStop() {
  FrameState& f = Frame();
  Pause();
  const char* question = (f.PassCount == 2 && f.CurrentPass == 1) ? "Stop 1st-Pass recording and start 2nd-Pass now?\n"
                                                                   : "Stop recording?\n";
  if (ShowMessageDlg(translate(question), MsgKind::Confirmation, mbYes | mbNo) != mrYes) {
    Play();
    return;
  }
  WriteLog("Manually stop recording");
  // Set first: the stop tells a conversion the user ended from one the
  // source ended.
  f.ManualStop = true;
  StopRecording();
}

// The thumbnail of the output from the picture in hand, once the
// conversion is 2.5 s in.
void TakeAutoThumbnail(double recorded) {
  if (!ShouldMakeAutoThumbnail(recorded, 0.0)) return;
  CritSecLock lock(CaptureLock());
  const CaptureFrameState& c = CaptureFrames();
  if (!c.PlanesValid) return;
  const FramePlanes planes{c.buffers.srcY.data(), c.buffers.srcU.data(), c.buffers.srcV.data(), c.PlanesWidth,
                           c.PlanesHeight};
  MakeThumbnailForCurrentOutput(planes, [](const std::string& bmp) { View().ShowThumbnailGlyph(bmp); });
}

// The output could not be written (disk full, folder gone): the whole
// conversion ends, with no second pass; what was written so far is kept.
void StopOnWriteFailure(const char* why) {
  const std::string path = OutputFileName();
  WriteLog("Output write failed (%s); stopping", why);
  AbortRecording();
  ShowMessageDlg(translate(why) + "\n" + path + "\n" + translate("The conversion has stopped."), MsgKind::Error,
                 mbOK);
}

// The file being written, seen missing on two ticks in a row: a part
// change between its steps leaves no file open for a moment.
bool OutputGone() {
  static int missing = 0;
  const std::string open = OutputFilePath();
  missing = open.empty() || PathExists(open) ? 0 : missing + 1;
  return missing >= 2;
}

// Step 1 of the timer: position, time label and the end of the range.
void FollowPosition() {
  FrameState& f = Frame();
  EngineView& v = View();
  double position = 0;
  if (IMediaPosition* mp = Graph().pMediaPosition) mp->get_CurrentPosition(&position);
  if (f.IsRecording) position = Sync().RecordStartPosition + RecordedSeconds();
  const int whole = static_cast<int>(std::lround(position));
  ShowPosition(whole);
  if (!v.IsDraggingPosition()) SetCurrentTime(whole);
  if (!f.IsRecording) return;
  if (EncoderOutputFailed()) {
    StopOnWriteFailure("The output file could not be written (the disk may be full).");
    return;
  }
  if (OutputGone()) {
    StopOnWriteFailure("The output file was removed while it was written (its folder may be gone).");
    return;
  }
  // A stop point at the title's end leaves the end to the file itself.
  if (f.RecordEndSec <= position && f.RecordEndSec < v.PositionMax()) {
    WriteLog("Endtime reached %d %d", whole, f.RecordEndSec);
    StopRecording();
    // The end of the first of two passes starts the second: not finished yet.
    if (!f.IsRecording) PostMessage(Engine().hMainFrame, WM_RECORD_PROGRESS, 0, -1);
  }
}

// Step 2 of the timer: keeps the pacing near the source's own frame time
// while the processor has room.
void SuperviseSpeed() {
  SupervisionState& s = Supervision();
  FrameState& f = Frame();
  if (!AppSettings().adjustSpeed) return;
  const int cpu = ProcessorUsage();
  if (cpu <= 0) return;
  if (!(f.IsRecording && f.PlaybackState == 2) || cpu >= 95) {
    s.ticks = 0;
    return;
  }
  if (++s.ticks == 4) s.ticks = 0;
  if (s.ticks < 1) return;
  VideoFormatState& v = CaptureFrames().video;
  const double base = v.NominalFrameTime;
  double aft = v.ActualFrameTime;
  if (base > 0 && aft / base > 1.0008) aft = base * 1.0008;
  aft = std::clamp(aft, 0.0167, 0.07);
  v.ActualFrameTime = aft;
  if (CMyClock* clock = EngineClock()) {
    clock->Resync();
    clock->Rate = 1.0f;
    clock->Resync();
  }
  ++s.logged;
  if (AppSettings().dbg)
    WriteLog("  A %.5f   [%.1f%%]  ActualFrameTime=%.7f", 0.0, static_cast<double>(cpu), aft);
  else if (s.logged < 100 || s.logged % 120 == 0)
    WriteLog("  A %.5f   %.3f  %.7f  %.7f %c", 0.0, cpu * 0.01, aft, base,
             base > 0 && aft / base >= 1.0007999 ? '*' : ' ');
}
}  // namespace

double RecordedSeconds() {
  if (Engine().bRecordingFirstSample) return 0.0;
  const SyncState& s = Sync();
  return s.LastVideoTime - s.SampleStartTime;
}

std::string ProgressFigures(int passCount, int currentPass, double recorded, double recordLength, double elapsed,
                            double outputMiB) {
  // Before anything is recorded there is no rate to tell the rest by.
  const double remaining = recorded > 0 ? (recordLength - recorded) * (elapsed / recorded) : 0.0;
  const double percent = recordLength > 0 ? recorded / recordLength * 100 : 0.0;
  char line[2048];
  int n;
  if (passCount == 2)
    n = std::snprintf(line, sizeof(line), "[Pass %d of 2]  %.1f%% Recorded %s    Elapsed %s  Remaining %s", currentPass,
                      percent, TimeText(recorded).c_str(), TimeText(elapsed).c_str(), TimeText(remaining).c_str());
  else
    n = std::snprintf(line, sizeof(line), "%.1f%% Recorded %s    Elapsed %s  Remaining %s", percent,
                      TimeText(recorded).c_str(), TimeText(elapsed).c_str(), TimeText(remaining).c_str());
  std::string text(line, static_cast<size_t>(std::max(n, 0)));
  if (outputMiB > 3 && recorded > 0)
    std::snprintf(line, sizeof(line), "  Output: %.1f MB  Estimated: %.1f MB  ", outputMiB,
                  outputMiB * recordLength / recorded);
  else
    std::snprintf(line, sizeof(line), "  Output: %.1f MB  ", outputMiB);
  return text + line;
}

void StartRecordingButtonClick() {
  FrameState& f = Frame();
  EngineView& v = View();
  // 1.-3.
  f.ManualStop = false;
  if (f.SourceReadiness == 0) {
    ShowMessageDlg(translate("DVD or video file not ready. Try to open again."), MsgKind::Information, mbOK);
    return;
  }
  v.EnableConvertButton(false);
  // 4.-5.
  if (f.IsRecording) {
    AskToStop();
  } else if (StartRecording()) {
    v.EnableTransportButtons(false);
    v.SetConvertCaption("Pause/Stop");
  }
  // 6.
  v.EnableConvertButton(true);
}

void OnRecordProgress(WPARAM wParam, LPARAM lParam) {
  FrameState& f = Frame();
  EngineView& v = View();
  // 1.-3.
  double elapsed = static_cast<DWORD>(GetTickCount() - Engine().RecordStartTick) / 1000.0;
  double recorded = RecordedSeconds();
  if (f.IsRecording) TakeAutoThumbnail(recorded);
  // 4.
  if (!(f.RecordLength > 1 && (wParam != 0 || lParam != 0 || (f.IsRecording && recorded >= 1)))) return;
  // The line is about the file being written (named as it will be when
  // finished, sized as it is on disk), wherever the output path (the next
  // output's name) points meanwhile.
  std::string output = f.IsRecording ? OutputFileName() : std::string();
  double sizeMiB = output.empty() ? 0.0 : OutputSizeMiB();
  if (output.empty()) output = f.GetOutputPath();
  if (lParam == -1) {
    const int end = v.PositionHigh();
    v.SetPositionLow(end);
    ShowTimeOf(end);
    recorded = f.RecordLength;
    // By now the output path names the next output and the finished
    // notice may have been up for a while; the line is about the output
    // just finished and the time it took.
    if (!f.IsRecording && !Engine().FinishedOutputPath.empty()) {
      output = Engine().FinishedOutputPath;
      elapsed = Engine().FinishedElapsedMs / 1000.0;
    }
  }
  if (!f.IsRecording) sizeMiB = FileSizeMiB(output);
  // The finished line is about the last pass; the pass counter is back at 1.
  const int pass = lParam == -1 && !f.IsRecording ? f.PassCount : f.CurrentPass;
  v.ShowProgressLine(ProgressFigures(f.PassCount, pass, recorded, f.RecordLength, elapsed, sizeMiB),
                     output);
  v.SetProgressBar(static_cast<int>(std::lround(recorded * 100 / f.RecordLength)));
}

void PerformanceMonitorTimer() {
  if (Frame().PlaybackState == 2) FollowPosition();
  SuperviseSpeed();
}
