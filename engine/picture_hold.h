#pragma once
// Holding a picture while the sound goes on: the slots after the picture
// last written are filled with it, each with its own sound, as that sound
// arrives. A slide show's pictures last seconds each, a variable-rate
// recording pauses its pictures while its sound runs on, and the sound of
// many files outlasts their pictures. Runs on the video streaming thread
// with the capture lock held (released while it waits for the sound).
#include <cstdint>

#include "platform/core/threads.h"
#include "platform/dshow/dshow.h"

enum class HoldEnd {
  kReached,      // the slots up to the end asked for are written
  kSoundJumped,  // the sound's times jumped: what remains is a jump of the source's clock
  kSoundEnded,   // the sound ended before; the rest has none to wait for
  kStopped,      // the conversion or the graph stopped
};

// The picture just written (frame, from sample) becomes the held one.
void KeepHeldPicture(IMediaSample* sample, const std::uint8_t* frame);
// The conversion has ended: the held picture's sample goes back.
void ReleaseHeldPicture();

// True when there is a held picture and the sound is there to go on with:
// it has not ended, and its times did not jump between from and to.
bool SoundRunsOnThrough(double from, double to);

// Writes the held picture into the slots up to the stream time until (for
// ever: +infinity), waiting for their sound.
HoldEnd HoldPicture(CritSecLock& lock, double until);

// The ends of the two decoded streams during a conversion, from their
// grabbers. After the last picture the held one goes on until the sound ends.
void OnVideoEndOfStream();
void OnAudioEndOfStream();
