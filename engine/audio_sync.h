#pragma once
// The audio grabber's callback: keeps the time-stamped audio buffer filled
// from decoded audio, always in 16-bit samples.
#include "platform/dshow/dshow.h"

int OnAudioSample(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, BOOL ignored,
                  BOOL typeChanged);

// Sample frames from seconds at the source rate, to the nearest frame.
long long NearestSampleFrame(double samples);
