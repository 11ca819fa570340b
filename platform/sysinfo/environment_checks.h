#pragma once
// The start-up checks of the machine the program runs on, the display
// acceleration switch and the shut-down after a finished job.
#include <functional>
#include <string>
#include <vector>

#include "platform/core/win_types.h"
#include "platform/sysinfo/sysinfo.h"

// The oldest media layer the program works with: FFmpeg 5.0, whose
// libavcodec and libavformat are 59.x. The MP4 writer uses the
// AVChannelLayout and const-AVCodec interfaces that appeared there.
constexpr DWORD kOldestMediaVersion = 59u << 16;

// Shown, as a notice, when the media layer is older than that.
extern const char kMediaTooOldText[];

// What the start-up checks report, gathered from the machine.
struct EnvironmentFacts {
  std::vector<std::string> osDescription;  // log fragments, one line each
  bool mediaVersionKnown = false;
  MediaVersion media;
  DWORD processorMHz = 0;
  std::string processorName;
  int processorCount = 1;
  MemoryFacts memory;
};

// Reads the facts: the system description, the media layer's version, the
// processor from HKEY_LOCAL_MACHINE "Hardware\Description\System\CentralProcessor\0",
// the processor count and the memory.
EnvironmentFacts GatherEnvironmentFacts();

// Builds the lists of installed DVD filters; returns how many video
// decoders it found.
using DvdFilterListing = std::function<int()>;

// The start-up checks: creates the log folder and prunes the log, writes the
// facts to the log, warns when the media layer is too old, keeps the
// processor count in the frame state, and builds the DVD filter lists
// (skipped when listDvdFilters is empty).
void RunStartupChecks(const EnvironmentFacts& facts, const DvdFilterListing& listDvdFilters = {});
void RunStartupChecks(const DvdFilterListing& listDvdFilters = {});

// True when the processor count kept at start-up is at least 2.
bool HasSeveralProcessors();

// The display's hardware acceleration is not a setting an X11 or Wayland
// client can change, so this only writes a log line.
void SetDisplayAcceleration(bool reduced);

// Asks the system to power off (see RequestPowerOff). When the request is
// refused or fails, logs "No privilege to shutdown", shows it in an error
// box captioned "Error" (both through the language table) and returns false.
bool ShutDownComputer();
