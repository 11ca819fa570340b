#pragma once
// The settings the program works from, filled once by the start-up load and
// afterwards changed in memory by the dialogs, which also write the store.
// Written and read on the user-interface thread.
#include <string>

#include "platform/core/win_types.h"

struct Settings {
  int dbg = 0;                   // diagnostic level
  int adjustSpeed = 1;           // processor-load speed adjustment
  int formatMp4 = 0;             // 0 MPEG-4 ("M4V"), else H.264 ("MAQ")
  int fileNumber = 20001;        // next video number in the device's naming
  bool autoStretch = false;
  int nPass = 1;
  double outputFrameRate = 14.985;
  int audioVolume = 5;           // 1..9, 5 = the source's own volume
  bool shutdownWhenDone = false; // never stored
  int disableScreensaver = 1;
  int brightnessA = 0;
  float brightnessB = 1.0f;
  int width = 320;
  int height = 240;
  float videoBitRate = 350.0f;
  int leftRightChannel = 1;      // mono from stereo: 0 mix, 1 left, 2 right
  int audioQualityLevel = 2;
  int volume = 2048;             // split size in MB
  float outputSize = 400.0f;     // expected output size in MB
  std::string videoCodec = "XviD MPEG-4 Codec";  // at most 127 characters
  DWORD fccHandler = 0x44495658; // "XVID"
  DWORD fccType = 0x63646976;    // "vidc"
  std::string lastProfile = "WMV";
  int vcAspect = 0;              // 0 keep aspect, 1 stretch 16:9 to 4:3
};

// The one instance.
Settings& AppSettings();

constexpr DWORD kFourccXvid = 0x44495658;
constexpr DWORD kFourccDivx = 0x58564944;

// The start-up load: imports codec.reg and url.reg from the working folder,
// reads every setting with its default, fills the frame state's output path,
// output format and passes, writes the codec hint and "Version".
void LoadSettings();

// name in the working folder when it is there, else beside the program.
std::string WorkingOrProgramFile(const std::string& name);

// The user's desktop folder (XDG_DESKTOP_DIR, else ~/Desktop).
std::string DesktopFolder();

// First choice of the default output folder: moves the file part of the
// current output path into "PSP Movie" on the desktop, creates that folder,
// sets the output path and writes LastOutput. Returns the new path.
std::string ChooseDesktopPspMovieFolder();

// Sets the output path's extension to the one of the current output format
// and writes it as LastOutput.
void UpdateOutputExtension();

// Writes the pass mode into the video codec's own key; 0 for an argument
// means the current value (passes, current pass, fcc_handler).
void WriteCodecPassHint(int passCount = 0, int currentPass = 0, DWORD fccHandler = 0);

// WindowSize: "left top width height" under the root.
void SaveWindowPosition(int left, int top, int width, int height);
// True, with left and top, when WindowSize holds exactly four integers.
bool RestoreWindowPosition(int* left, int* top);

// The extension without its dot of an output format code ("avi", "wmv",
// "mp4", "mpg", "vob", "3gp", "mov"), or empty for an unknown code.
std::string OutputFormatExtension(int outputFormat);
