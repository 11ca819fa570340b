#pragma once
// Pictures of the program's windows for a look without a person at the
// screen: the main window, the output settings dialog and the finished
// notice are each saved as a PNG file, then the program quits.
#include <QString>

class TLumivaultForm;

// Saves main-window.png, output-settings.png, finished-recording.png,
// save-profile.png and default-folder.png into folder once the main
// window is laid out; with a source open, converts it and saves
// main-window-converting.png 30 % in; then quits as on SIGTERM.
void ScheduleWindowGrabs(TLumivaultForm& form, const QString& folder);
