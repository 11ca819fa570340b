#pragma once
// The horizontal stretch that makes a source fill the output's 4:3 frame;
// the video's place in the panel is the engine's (video_placement.h).
#include "core/frame_state.h"
#include "engine/video_placement.h"

// The stretch of the source aspect for an output width: the cropped source
// aspect against the 4:3 height of that width, in hundredths.
double AutoStretchFactor(int outputWidth, int sourceWidth, int sourceHeight, const CropFractions& crop);
