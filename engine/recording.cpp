#include "engine/recording.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <strings.h>
#include <utility>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "core/message_dlg.h"
#include "encode/encoder_params.h"
#include "encode/encoder_threads.h"
#include "encode/recording_encoder.h"
#include "engine/capture_frames.h"
#include "engine/engine_state.h"
#include "engine/engine_view.h"
#include "engine/helper_threads.h"
#include "engine/playback.h"
#include "engine/picture_hold.h"
#include "engine/recording_slots.h"
#include "engine/sync_state.h"
#include "platform/dshow/media_filters.h"
#include "platform/core/paths.h"
#include "platform/registry/registry.h"
#include "profiles/profile.h"
#include "settings/file_number.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "settings/translate.h"
#include "transfer/thumbnail.h"

namespace {
bool HasSeveralProcessorsForEncoding() { return Frame().ProcessorCount >= 2; }

const char* CodecName() {
  const CProfile* p = Frame().CurrentProfile;
  if (p && IsWindowsMediaProfile(*p)) return "WMV8";
  const DWORD fcc = AppSettings().fccHandler;
  if (fcc == kFourccXvid) return "Xvid";
  if (fcc == kFourccDivx) return "DivX";
  return "???";
}

// A conversion that could never make progress is refused up front: without
// a connected video grabber or a running graph no frame would ever arrive.
bool SourceCanConvert() {
  // A graph stuck in its streaming threads (a source that stopped
  // answering) delivers nothing.
  if (Engine().bStopTimedOut) {
    ShowMessageDlg(translate("The video file does not answer. Open it again."), MsgKind::Information, mbOK);
    return false;
  }
  if (Graph().pMediaControl && !Engine().bVideoGrabberUnconnected) return true;
  WriteLog("**** VideoGrabber not connected ****");
  ShowMessageDlg(translate("Video cannot be played.\nPlease use \"Video Converter (Batch Mode)\" to convert this file."),
                 MsgKind::Information, mbOK);
  return false;
}

bool IsDefaultCrop(const CropFractions& c) {
  return c.left == 0 && c.right == 1 && c.top == 0 && c.bottom == 1;
}

// The shape of the picture as shown (its display aspect), after the crop.
double CroppedDisplayAspect(const VideoFormatState& v, const CropFractions& crop) {
  const double x = v.AspectX != 0 ? std::abs(v.AspectX) : v.MagnitudeWidth;
  const double y = v.AspectY != 0 ? std::abs(v.AspectY) : v.MagnitudeHeight;
  if (y <= 0 || crop.bottom <= crop.top) return 0.0;
  return x * (crop.right - crop.left) / (y * (crop.bottom - crop.top));
}

// The capture path's scaling for this conversion (step 6).
void SetUpScaling() {
  CritSecLock lock(CaptureLock());
  CaptureFrameState& c = CaptureFrames();
  ScaleSettings& s = c.scale;
  const EncoderParams& p = EncParams();
  s.TargetWidth = p.width;
  s.TargetHeight = p.height;
  s.Crop = Frame().CropRect;
  s.FilterSwitch = 0;
  s.FilterStrength = 1.0;
  s.BrightnessOffset = AppSettings().brightnessA;
  s.BrightnessGain = AppSettings().brightnessB;
  const PictureColumns columns = PillarboxColumns(p.width, p.height, CroppedDisplayAspect(c.video, s.Crop));
  s.PictureLeft = columns.left;
  s.PictureWidth = columns.width;
  s.NeedResize = !(p.width == c.video.MagnitudeWidth && p.height == c.video.MagnitudeHeight && IsDefaultCrop(s.Crop) &&
                   s.FilterSwitch == 0 && s.FilterStrength == 1.0 && columns.width == 0);
  c.OutputValid = false;
  WriteLog("NeedResize=%d", s.NeedResize ? 1 : 0);
}

// The output path's extension follows the output format when it names
// another container (".MP4" stays as it is for MP4).
void MatchOutputExtension() {
  const std::string path = Frame().GetOutputPath();
  const std::string want = OutputFormatExtension(Frame().OutputFormat);
  const auto dot = path.rfind('.');
  const std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
  if (!want.empty() && strcasecmp(ext.c_str(), want.c_str()) != 0) UpdateOutputExtension();
}

void LogRecordingStart() {
  const FrameState& f = Frame();
  const EncoderParams& p = EncParams();
  WriteLog("Recording...pass %d/%d  audio_bitrate=%d  video_bitrate=%f  fps=%.3f %dx%d codec=%s start=%d end=%d",
           f.CurrentPass, f.PassCount, p.audioKbps, p.videoKbps, p.frameRate, p.width, p.height, CodecName(),
           f.RecordStartSec, f.RecordEndSec);
}

// Step 12: the conversion begins at the start point itself, not wherever
// the preview has got to since; both passes begin at the same place.
void PositionForPass() {
  const FrameState& f = Frame();
  EngineState& e = Engine();
  IMediaPosition* mp = Graph().pMediaPosition;
  if (!mp) return;
  if (f.PassCount != 2 || f.CurrentPass == 1) {
    mp->put_CurrentPosition(e.RecordStartSecond);
    return;
  }
  e.bIgnoreGraphEvents = true;
  mp->put_CurrentPosition(e.RecordStartSecond);
  HandleGraphEvents();
  e.bIgnoreGraphEvents = false;
}

// No streaming thread runs while the conversion is armed and positioned;
// the play command then starts the graph from the start point.
void HaltForStartSeek() {
  if (Graph().pMediaControl) StopGraphWithTimeout();
}

// A start at or past the stop point would write an empty file: the user is
// told instead. The second pass runs over the range of the first.
bool RangeHasLength() {
  const FrameState& f = Frame();
  const int start = View().PositionLow();
  if (f.CurrentPass == 2 || start < f.RecordEndSec) return true;
  // A stop point at the title's end means its real end, which lies past the
  // whole second the bar shows (or is unknown for some streams).
  const bool toTheEnd = f.RecordEndSec >= View().PositionMax();
  if (toTheEnd && (f.TitleLength <= 0 || start < f.TitleLength)) return true;
  WriteLog("Start point %d not before stop point %d", start, f.RecordEndSec);
  ShowMessageDlg("The start point (" + TimeText(start) + ") is at or after the stop point (" +
                     TimeText(f.RecordEndSec) + "): there is nothing to convert.\n" +
                     "Move the start point before the stop point and convert again.",
                 MsgKind::Information, mbOK);
  return false;
}

void SetRangeLength(int seconds) {
  CritSecLock lock(CaptureLock());
  Sync().RangeLength = std::max(seconds, 0);
}

void ResetRecordingFlags() {
  Frame().IsRecording = false;
  Engine().bRecordingFirstSample = false;
}

// Step 4 of the stop: the encoding threads finish what was delivered.
void DrainEncoderThreads() {
  if (!EncoderThreadsRunning()) return;
  View().SetBusyCursor(true);
  bool drained = true;
  RunAwayFromWindowThread([&drained] { drained = StopEncoderThreads(); });
  if (!drained) WriteLog("Thread timeout");
  WriteLog("Thread stopped");
  View().SetBusyCursor(false);
}

// Step 6 of the stop after pass 1: pass 2 over the same range.
// end: where pass 1 ended, in whole seconds of the source. False when
// pass 2 could not start (its output cannot be written).
bool StartSecondPass(int end) {
  FrameState& f = Frame();
  EngineView& v = View();
  f.CurrentPass = 2;
  WriteCodecPassHint();
  v.SetPositionLow(Engine().RecordStartSecond);
  v.SetPositionHigh(end);
  return StartRecording();
}

void ShowIdleWindow() {
  EngineView& v = View();
  WriteLog("...");
  v.EnableSourceButton(true);
  WriteLog("...");
  ShowGuide(6);
  v.EnableTransportButtons(true);
  v.SetConvertCaption("Convert");
  if (Graph().pBasicAudio) SetVolume(0);
  for (int i = 0; i < 40 && Engine().SettleAfterStop; ++i) {
    ProcessPendingMessages();
    Sleep(10);
  }
}

// Said once a run: the store refused the file number, which is counted in
// memory from then on so that no output of this run is written over.
void TellNumberNotSaved() {
  static bool told = false;
  if (told) return;
  told = true;
  WriteLog("file_number cannot be saved");
  ShowMessageDlg("The settings cannot be saved (" + RegistryFilePath() +
                     "): video numbers are counted for this run only.",
                 MsgKind::Warning, mbOK);
}

// "M4V12345.MP4" or "MAQ12345.MP4" (any case, any extension): a name of
// the device's numbering, not one a user or a caller wrote.
bool IsNumberedOutputName(const std::string& path) {
  const std::string name = path.substr(path.rfind('/') + 1);
  if (name.size() < 10 || name[8] != '.') return false;
  if (strncasecmp(name.c_str(), "M4V", 3) != 0 && strncasecmp(name.c_str(), "MAQ", 3) != 0) return false;
  return std::all_of(name.begin() + 3, name.begin() + 8, [](char c) { return c >= '0' && c <= '9'; });
}

// The numbered name of output n in the folder and with the extension of path.
std::string NumberedNameLike(const std::string& path, int n) {
  const auto dot = path.rfind('.');
  const auto slash = path.rfind('/');
  const std::string ext = dot == std::string::npos || (slash != std::string::npos && dot < slash) ? ".MP4" : path.substr(dot);
  return WithExtension(NumberedOutputName(path.substr(0, slash), n), ext);
}

// An output name is in use when a file has it, or the second part of an
// output of that name (its first part may have been moved away).
bool OutputNameInUse(const std::string& path) {
  const auto dot = path.rfind('.');
  return PathExists(path) || PathExists(path.substr(0, dot) + " - 02" + path.substr(dot));
}

// Nothing was written under the number taken: it is free again.
void GiveNumberBack() {
  EngineState& e = Engine();
  if (e.OutputNumber < 0 || Frame().CurrentPass == 2) return;
  ReturnFileNumber(e.OutputNumber);
  e.OutputNumber = -1;
}

// At the end of a conversion: when nothing stayed on disk under the number
// taken (the folder was removed, nothing could be written), it is free.
void FreeNumberWhenNothingKept() {
  const int n = Engine().OutputNumber;
  if (n >= 0 && !OutputNameInUse(NumberedNameLike(Frame().GetOutputPath(), n))) GiveNumberBack();
}

// A name the user chose raises the number too, as the window always has.
void RaiseFileNumber() {
  if (!Engine().NamedOutputTakesNumber) return;
  if (!TakeFileNumber([](int) { return false; }).saved) TellNumberNotSaved();
}
}  // namespace

bool StartRecording() {
  FrameState& f = Frame();
  EngineState& e = Engine();
  EngineView& v = View();
  // 1.-3.
  const int stateBefore = f.PlaybackState;
  if (f.CurrentPass != 2) Pause();
  if (f.CurrentPass != 2) e.LastConversionAborted = false;
  if (!f.CurrentProfile) {
    ShowMessageDlg(translate("No profile selected"), MsgKind::Information, mbOK);
    return false;
  }
  if (!SourceCanConvert()) return false;
  LoadEncoderParameters();
  if (!RangeHasLength()) return false;
  // 4.-5.
  if (std::string(ReadSettingText("OutputConfig\\LastOutput", "")).empty()) v.AskDefaultOutputFolder();
  WriteCodecPassHint();
  MatchOutputExtension();
  if (f.CurrentPass != 2 && !TakeOutputNumber()) {
    if (stateBefore == 2) Play();
    return false;
  }
  const int r = OpenOutput(true);
  // 6.-7.
  SetUpScaling();
  if (r != 0) {
    GiveNumberBack();
    ResetRecordingFlags();
    if (stateBefore == 2) Play();
    return r >= 0;
  }
  const bool shrinks = ShrinksToHalfOrLess();
  WriteLog("ShrinksToHalf=%d", shrinks ? 1 : 0);
  SetDecodersShrinking(Graph().pGB, shrinks);
  // 8.-10.
  if (AppSettings().disableScreensaver) DisableScreenSaver();
  v.EnableOutputSettingsMenu(false);
  v.SetPointLabelsVisible(false);
  v.EnableSourceButton(false);
  v.RepaintWindow();
  ShowGuide(5);
  if (Graph().pBasicAudio) SetVolume(-10000);
  LogRecordingStart();
  // 11.-15. The graph is stopped for the start seek, so no picture of the
  // preview slips into the conversion and none of its start is lost.
  e.RecordStartSecond = v.PositionLow();
  // A stop point at the end of the title means the whole rest of the file.
  const int rangeLength = f.RecordEndSec < v.PositionMax() ? f.RecordEndSec - e.RecordStartSecond : 0;
  SetRangeLength(rangeLength);
  if (f.CurrentPass != 2) {
    e.AskedSeconds = rangeLength > 0 ? rangeLength : std::max(f.TitleLength - e.RecordStartSecond, 0.0);
    e.SourceEnded = false;
  }
  if (Graph().pBasicAudio) SetVolume(-10000);
  HaltForStartSeek();
  // The sound the preview left in the buffer belongs to another stretch of
  // the stream; the conversion starts with none.
  ResetSyncState();
  // Queued delivery with the two encoding threads on a machine with two or
  // more processors (starting them points Deliver there), else inline.
  e.bRecordingFirstSample = true;
  f.IsRecording = true;
  if (HasSeveralProcessorsForEncoding()) StartEncoderThreads();
  else Deliver = DeliverInline;
  PositionForPass();
  // 16.
  WriteLog("%%%%%%%%%%%%%% bRecordingFirstSample=true");
  e.RecordStartTick = GetTickCount();
  ClearThumbnailMade();
  Play();
  return true;
}

void AbortRecording() {
  Engine().bAborting = true;
  Engine().LastConversionAborted = true;
  StopRecording();
  Engine().bAborting = false;
}

void StopRecording() {
  FrameState& f = Frame();
  const bool streamsEnded = std::exchange(Engine().StopAtStreamsEnd, false);
  if (!f.IsRecording) return;
  // 1.-2. The waits let a running callback finish; after the graph's
  // completion none is left (a fixed eighth of a second per output).
  if (CMyClock* clock = EngineClock()) {
    clock->Rate = 1.0f;
    clock->GetPrivateTime();
  }
  if (!streamsEnded) SleepPumping(25);
  Pause();
  if (!streamsEnded) SleepPumping(100);
  // Where the conversion stands. The position bar follows it only on the
  // window's timer, which a fast conversion outruns by many seconds; when
  // a picture was taken the converted position itself counts.
  int passEnd = View().PositionLow();
  {
    // Under the capture lock: a callback that waits for sound with the lock
    // released finds the conversion over when it takes the lock again.
    CritSecLock lock(CaptureLock());
    FlushOwedAudio();
    ReleaseHeldPicture();
    Engine().ConvertedSeconds = 0;
    if (!Engine().bRecordingFirstSample) {
      const SyncState& sync = Sync();
      passEnd = static_cast<int>(std::lround(sync.RecordStartPosition + sync.LastVideoTime - sync.SampleStartTime));
      Engine().ConvertedSeconds = sync.ExpectedSampleTime - sync.SampleStartTime;
    }
    ResetRecordingFlags();
  }
  // The preview shows the pictures as they are again.
  SetDecodersShrinking(Graph().pGB, false);
  Engine().FinishedElapsedMs = GetTickCount() - Engine().RecordStartTick;
  // 3.-5.
  if (AppSettings().disableScreensaver) RestoreScreenSaver();
  View().EnableOutputSettingsMenu(true);
  WriteLog("StopRecording()");
  DrainEncoderThreads();
  RunAwayFromWindowThread(EndOutput);
  // 6.
  bool aborting = Engine().bAborting;
  if (f.PassCount == 2) {
    if (f.CurrentPass == 1 && !aborting) {
      if (StartSecondPass(passEnd)) return;
      // The conversion ends here, as one that failed.
      aborting = true;
      Engine().LastConversionAborted = true;
    }
    f.CurrentPass = 1;
    WriteCodecPassHint();
  }
  // 7.-10. A numbered output took its number when it began.
  EndRecording();
  const bool numbered = Engine().OutputNumber >= 0;
  FreeNumberWhenNothingKept();
  ShowIdleWindow();
  if (!aborting) {
    if (!numbered) RaiseFileNumber();
    View().ShowFinishedRecording();
  }
  Engine().FinishedOutputPath = f.GetOutputPath();
  MakeOutputFilename();
  WriteLog("AvgFramesBuffered=%.2f", GetEncoderCounters().queueAverage);
}

// A numbered output takes the next free number, atomically against other
// programs taking numbers at the same time: never an existing file's name
// (an earlier output, a source of the batch), never a number taken twice.
bool TakeOutputNumber() {
  FrameState& f = Frame();
  EngineState& e = Engine();
  const std::string path = f.GetOutputPath();
  if (e.OutputNamedByUser || e.OutputNumber >= 0 || !IsNumberedOutputName(path)) return true;
  const std::string folder = path.substr(0, path.rfind('/'));
  const auto nameOf = [&](int n) { return NumberedNameLike(path, n); };
  const TakenFileNumber taken = TakeFileNumber([&](int n) { return OutputNameInUse(nameOf(n)); });
  if (taken.number < 0) {
    ShowMessageDlg("Every video number from 00001 to 99999 is in use in " + folder + ".", MsgKind::Error, mbOK);
    return false;
  }
  if (!taken.saved) TellNumberNotSaved();
  e.OutputNumber = taken.number;
  f.SetOutputPath(nameOf(taken.number));
  return true;
}

std::string EndedEarlyText() {
  const EngineState& e = Engine();
  if (!e.SourceEnded || Frame().ManualStop || e.LastConversionAborted || e.ConvertedSeconds >= e.AskedSeconds - 1.0)
    return "";
  return "converted " + TimeText(e.ConvertedSeconds) + " of " + TimeText(e.AskedSeconds) + ": the source ended early";
}
