#pragma once
// The screen saver setting of the design becomes the desktop's inhibit
// call (org.freedesktop.ScreenSaver over the session bus): the screen saver
// stays away until the inhibition is released.
#include <string>

// Asks the session not to start the screen saver; returns the cookie to
// release it with, or empty when the session has no such service.
std::string InhibitScreenSaver(const std::string& reason);

// Releases an inhibition; an empty cookie does nothing.
void ReleaseScreenSaver(const std::string& cookie);
