// The position bar and the labels under the video panel.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/frame_state.h"
#include "engine/engine_state.h"
#include "engine/engine_view.h"
#include "engine/playback.h"

namespace {
TimeOfDay Split(int seconds) {
  TimeOfDay t;
  t.hours = seconds / 3600;
  t.minutes = seconds / 60 % 60;
  t.seconds = seconds % 60;
  return t;
}

void ShowTimeLabel(const TimeOfDay& now, const TimeOfDay& length) {
  char text[64];
  std::snprintf(text, sizeof(text), "%d:%02d:%02d of [%d:%02d:%02d] ", now.hours, now.minutes, now.seconds,
                length.hours, length.minutes, length.seconds);
  View().SetTimeLabel(text);
}
}  // namespace

std::string TimeText(int seconds) {
  const TimeOfDay t = Split(seconds);
  char text[32];
  std::snprintf(text, sizeof(text), "%d:%02d:%02d", t.hours, t.minutes, t.seconds);
  return text;
}

std::string TimeText(double seconds) { return TimeText(static_cast<int>(std::lround(std::max(seconds, 0.0)))); }

namespace {
// "m:ss" below an hour, "h:mm:ss" from it on.
std::string PointTime(int seconds) {
  const TimeOfDay t = Split(seconds);
  char text[32];
  if (seconds >= 3600) std::snprintf(text, sizeof(text), "%d:%02d:%02d", t.hours, t.minutes, t.seconds);
  else std::snprintf(text, sizeof(text), "%d:%02d", seconds / 60, t.seconds);
  return text;
}
}  // namespace

std::string StartPointCaption(int seconds) { return "<-" + PointTime(seconds) + " (start point) "; }

std::string EndPointCaption(int seconds) { return " (stop point) " + PointTime(seconds) + "->"; }

void ShowPosition(int seconds) {
  EngineView& v = View();
  if (v.IsDraggingPosition()) return;
  v.SetPositionLow(seconds);
  if (seconds == v.PositionHigh()) v.RunPositionHighChange();
  ShowStartPoint(seconds);
}

void ShowStartPoint(int seconds) {
  FrameState& f = Frame();
  if (f.IsRecording || f.SourceReadiness != 2) return;
  EngineView& v = View();
  const int max = v.PositionMax();
  v.ShowStartPointLabel(StartPointCaption(seconds), max > 0 ? seconds * (v.PositionBarWidth() - 18) / max + v.PositionBarLeft() + 9 : -1);
  f.RecordLength = f.RecordEndSec - f.RecordStartSec;
  v.RefreshSizeEstimate();
}

void ShowTime() {
  const EngineState& e = Engine();
  if (!e.bFreezeTimeLabel) ShowTimeLabel(e.CurrentTime, e.TitleTime);
}

void ShowTimeOf(int seconds) {
  EngineState& e = Engine();
  e.CurrentTime = Split(seconds);
  ShowTimeLabel(e.CurrentTime, e.TitleTime);
}

void SetCurrentTime(int seconds) {
  Engine().CurrentTime = Split(seconds);
  ShowTime();
}
