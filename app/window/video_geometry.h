#pragma once
// Where the video picture sits inside the video panel, and the horizontal
// stretch that makes a source fill the output's 4:3 frame.
#include "app/core/frame_state.h"

// The stretch of the source aspect for an output width: the cropped source
// aspect against the 4:3 height of that width, in hundredths.
double AutoStretchFactor(int outputWidth, int sourceWidth, int sourceHeight, const CropFractions& crop);

struct VideoPlacement {
  int top = 0;
  int width = 0;
  int height = 0;
};

// The video's place in a panel of innerWidth x innerHeight: full width,
// the height of the stretched source aspect, centred, and moved up so that
// the crop's bottom edge stays inside the panel.
VideoPlacement PlaceVideo(int innerWidth, int innerHeight, int sourceWidth, int sourceHeight,
                          double stretchFactor, const CropFractions& crop);

// The video height the engine is told when the aspect becomes known.
int VideoHeightForAspect(int innerWidth, double aspect, double stretchFactor);
