#pragma once
// The screen saver setting of the design becomes the desktop's inhibit
// call (org.freedesktop.ScreenSaver over the session bus): the screen saver
// stays away until the inhibition is released. The service drops an
// inhibition when its caller leaves the bus, so the calls come from a
// connection the process keeps; and they run on a thread of their own, so
// the window never waits for the bus (a slow service may take seconds).
#include <string>

// Asks the session not to start the screen saver, giving the reason; at
// once, the call itself follows on the inhibiting thread. Without the
// service a log line says so and the screen saver is left alone.
void InhibitScreenSaver(const std::string& reason);

// Releases the inhibition, if one was asked for; at once as well.
void ReleaseScreenSaver();

// For tests: waits until the requests made so far have reached the session
// bus, and tells whether an inhibition is held.
bool ScreenSaverInhibitedAfterPendingCalls();
