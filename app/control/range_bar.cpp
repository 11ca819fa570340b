#include "app/control/range_bar.h"

#include "core/frame_state.h"
#include "engine/engine_state.h"
#include "engine/engine_view.h"
#include "engine/playback.h"

RangeBarState& RangeBar() {
  static RangeBarState state;
  return state;
}

void PositionRangeBarMouseDown() {
  RangeBar().SeekDragging = true;
  Engine().bFreezeTimeLabel = true;
}

void PositionRangeBarMouseUp() {
  RangeBarState& r = RangeBar();
  r.SeekDragging = false;
  // The label follows playback again whether or not the thumb moved.
  Engine().bFreezeTimeLabel = false;
  if (!r.SeekPending) return;
  PositionRangeBarLowChange();
  r.SeekPending = false;
}

void PositionRangeBarLowChange() {
  RangeBarState& r = RangeBar();
  FrameState& f = Frame();
  const int low = View().PositionLow();
  // 1.-2. While the mouse holds the thumb only the labels follow it.
  if (!r.ProgressUpdatesEnabled) return;
  r.ProgressUpdatesEnabled = false;
  if (r.SeekDragging) {
    r.SeekPending = true;
    ShowTimeOf(low);
    ShowStartPoint(low);
    r.ProgressUpdatesEnabled = true;
    return;
  }
  // 3.-5. The seek happens once, at release.
  f.RecordStartSec = low;
  f.RecordLength = f.RecordEndSec - f.RecordStartSec;
  f.ManualStop = false;
  SeekGraph(low);
  r.ProgressUpdatesEnabled = true;
  ShowPosition(low);
}

void PositionRangeBarHighChange() {
  if (!RangeBar().ProgressUpdatesEnabled) return;
  FrameState& f = Frame();
  EngineView& v = View();
  const int secs = v.PositionHigh();
  if (!f.IsRecording) {
    f.RecordEndSec = secs;
    f.RecordLength = secs - f.RecordStartSec;
  }
  const int max = v.PositionMax();
  v.ShowEndPointLabel(EndPointCaption(secs), max > 0 ? (v.PositionBarWidth() - 18) * secs / max + v.PositionBarLeft() + 9 : -1);
}
