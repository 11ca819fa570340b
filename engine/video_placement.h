#pragma once
// Where a picture sits inside the video panel: the panel's full width, the
// height of the (stretched) source aspect, centred, and moved up so the
// crop window's bottom edge stays inside the panel. The window places the
// video this way, and the engine the paused picture.
#include "core/frame_state.h"

struct VideoPlacement {
  int top = 0;
  int width = 0;
  int height = 0;
};

// The place in a panel of innerWidth x innerHeight of a source whose
// aspect is sourceWidth : sourceHeight.
VideoPlacement PlaceVideo(int innerWidth, int innerHeight, int sourceWidth, int sourceHeight,
                          double stretchFactor, const CropFractions& crop);

// The picture height for an aspect at the panel's width.
int VideoHeightForAspect(int innerWidth, double aspect, double stretchFactor);
