#pragma once
// Start and stop of a conversion ("recording"), the second pass, the graph's
// events and the banner above the video panel.
#include <string>

// Starts a conversion (or its second pass) of the open source with the
// selected profile. True when it runs.
bool StartRecording();
// Ends the conversion: drains the encoder, ends the output, starts the
// second pass when one is due, else shows the finished notice.
void StopRecording();
// Ends the conversion because it cannot go on (the output cannot be
// written): no second pass, no finished notice, the file number stays.
void AbortRecording();

// The source ended more than a second before the range asked for (an
// unfinished download, a damaged stretch): "converted 0:01:16 of 0:02:00:
// the source ended early". Empty when the last conversion was whole (or was
// stopped on purpose).
std::string EndedEarlyText();

// Drains the graph's event queue (on WM_GRAPHNOTIFY).
int HandleGraphEvents();
int OnGraphEvent(long code, long param1, long param2);

// Takes the target size, rates and crop from the selected profile, and hands
// the recording encoder its parameters and its texts in the user's language.
void LoadEncoderParameters();
// The default output name for the open source ("M4V%05d.MP4" or
// "MAQ%05d.MP4" with the file number, in the output folder).
void MakeOutputFilename();

// Gives a numbered output (the name MakeOutputFilename made) the next free
// number, atomically against other programs doing the same: never the
// name of an existing file, never a number taken twice. Nothing to do for
// a name the user chose, or once the number is taken; false, after telling
// the user, when no number is free. The conversion start calls it.
bool TakeOutputNumber();

// The device's name for output number in folder: "M4V%05d.MP4", or
// "MAQ%05d.MP4" for H.264.
std::string NumberedOutputName(const std::string& folder, int number);

// The banner: 4 ready with the title length, 5 recording, else "Video Panel".
void ShowGuide(int code);

void DisableScreenSaver();
void RestoreScreenSaver();
