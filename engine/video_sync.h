#pragma once
// The video grabber's callback: learns the picture, refines the frame-time
// estimates, prepares the output frame and, during a conversion, re-times
// the picture and its audio onto the output frame slots and paces the clock.
#include "platform/dshow/dshow.h"

int OnVideoSample(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, BOOL ignored,
                  BOOL typeChanged);
