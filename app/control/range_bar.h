#pragma once
// The handlers of the position bar (PositionRangeBar), without widgets: the
// low thumb is the playing position and start point, the high thumb the
// stop point. The Qt window connects its bar's signals to these; the
// headless host calls them directly.

struct RangeBarState {
  bool ProgressUpdatesEnabled = true;  // clear: the change handlers return at once
  bool SeekDragging = false;           // a mouse button is down on the bar
  bool SeekPending = false;            // the low thumb moved while dragging
};

// User-interface thread only.
RangeBarState& RangeBar();

void PositionRangeBarMouseDown();
void PositionRangeBarMouseUp();
void PositionRangeBarLowChange();
void PositionRangeBarHighChange();
