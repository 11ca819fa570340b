#pragma once
// The conversion side of the video callback, run with the capture lock held:
// the first sample of a pass, large gaps, writing or skipping the picture
// over the output frame slots with exactly each slot's audio, part files,
// pacing of the clock and the wait for lagging 8-bit audio.
#include <cstdint>

#include "platform/core/threads.h"
#include "platform/dshow/dshow.h"

class SamplePicture;

struct VideoTiming {
  double start = 0.0;  // the sample's own start time, seconds
  double t1 = 0.0;     // start, possibly moved onto the previous frame's grid
  double t2e = 0.0;    // effective end
  double entryClock = 0.0;  // clock reading when the callback began, 100-ns units
};

void RecordVideoSample(CritSecLock& lock, const VideoTiming& timing, SamplePicture& picture);

// One output frame slot's length, seconds.
double OutputFrameTime();
// True when the next slot would begin past the end of the range.
bool RangeComplete();
// Writes frame into the slots that end by until and whose sound has come
// (it ends at soundEnd), within the range, as the picture's own slots are
// written; returns how many.
int WriteHeldSlots(CritSecLock& lock, const std::uint8_t* frame, double until, double soundEnd);

// At the end of a conversion, with the capture lock held: the audio the
// written slots still owe (it arrived after their pictures, or has not
// arrived at all) goes out without a picture, from the buffer and then as
// silence, so the output's sound ends with its pictures (also before a part
// is closed); the buffer then starts at the next slot.
void FlushOwedAudio();
