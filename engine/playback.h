#pragma once
// Transport on the built graph. Every graph call that can block runs on a
// one-shot helper thread that the user-interface thread waits for with a
// fixed time-out, so a graph held up inside the callbacks cannot freeze the
// window.
#include <string>

#include "platform/dshow/dshow.h"

HRESULT Play();
void Pause(int ignored = 0);
void Stop();
// Hundredths of a decibel: 0 full, -10000 silent.
void SetVolume(long volume);
// Stops the graph on a helper thread with the stop's time-out (6500 ms);
// a stop that does not end in time logs "Stop time out" and leaves the
// graph alone from then on. PlaybackState is 0 afterwards either way.
void StopGraphWithTimeout();
// Moves the graph to seconds on a helper thread, waiting as long as for a
// stop. A seek that does not finish in time leaves the graph as a stop
// that timed out does: untouched from then on. False then.
bool SeekGraph(double seconds);

// The paused picture, shown over the video panel.
void ShowPausedFrame();

// Per-source reset at the start of every build.
void ResetPlaybackState();

// The position bar and the labels.
void ShowPosition(int seconds);
void ShowStartPoint(int seconds);
void ShowTime();
void ShowTimeOf(int seconds);

// "%d:%02d:%02d" of whole seconds, and of seconds rounded to whole ones
// (negative ones count as 0).
std::string TimeText(int seconds);
std::string TimeText(double seconds);

// The current time of the time label, shown unless the label is frozen.
void SetCurrentTime(int seconds);
// The captions of the start-point and stop-point labels.
std::string StartPointCaption(int seconds);
std::string EndPointCaption(int seconds);
