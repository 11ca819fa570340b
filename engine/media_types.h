#pragma once
// Where the callbacks learn the formats: from a sample that carries a new
// media type, or, without a sample, from the grabber's connection.
#include "platform/dshow/dshow.h"

// With a sample: applies the type the sample carries (0 and nothing changed
// when it carries none). Without: applies the video grabber's connection
// type. A new display aspect is handed to the main window with
// WM_VIDEO_RELAYOUT.
int OnVideoTypeChanged(IMediaSample* sample);
// The same for audio; without any format the defaults (44100 Hz, 2
// channels, 16 bits) apply.
int OnAudioTypeChanged(IMediaSample* sample);
