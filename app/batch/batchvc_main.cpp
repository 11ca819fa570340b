// batchvc: converts video files to PSP MP4 files from the command line with
// the converter's engine, settings and profiles (batchvc --help).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/batch/batch_console.h"
#include "app/batch/batch_converter.h"
#include "app/batch/batch_options.h"
#include "app/batch/profile_commands.h"
#include "app/batch/stop_signal.h"
#include "app/batch/title_commands.h"
#include "core/diag_log.h"
#include "platform/com/com.h"
#include "platform/core/fpu.h"
#include "platform/core/malloc_setup.h"

#ifndef CORVANE_VERSION
#define CORVANE_VERSION "unknown"
#endif

// SDL's audio subsystem, which the graph's audio renderer starts, keeps a
// few bytes until the process ends: not a leak of ours (sanitizer builds).
extern "C" const char* __lsan_default_suppressions() { return "leak:libSDL2\n"; }

int main(int argc, char** argv) {
  KeepLargeBlocksOnTheirOwnPages();
  BatchOptions options;
  const std::string error = ParseBatchOptions(std::vector<std::string>(argv + 1, argv + argc), &options);
  if (!error.empty()) {
    std::fprintf(stderr, "batchvc: %s\nTry 'batchvc --help'.\n", error.c_str());
    return kExitUsage;
  }
  BatchConsole console(options.quiet);
  switch (options.mode) {
    case BatchMode::Help:
      std::fputs(BatchUsage().c_str(), stdout);
      return kExitConverted;
    case BatchMode::Version:
      std::printf("batchvc (Corvane Video Converter) %s\n", CORVANE_VERSION);
      return kExitConverted;
    case BatchMode::ListProfiles:
      return ListProfiles(console);
    case BatchMode::SaveProfile:
      return SaveProfileAs(options, options.newProfile, console);
    case BatchMode::ShowTitle:
      PrepareProgramFolder();
      return ShowTitles(options.files, console);
    case BatchMode::SetTitle:
      PrepareProgramFolder();
      return SetTitle(options.newTitle, options.files.front(), console);
    case BatchMode::Demo:
    case BatchMode::Convert:
      break;
  }
  // A batch makes no sound: the graph's audio renderer never opens the
  // sound device (the preview would otherwise blip at the start of each file).
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  SetFpu53BitMasked();
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  InstallStopSignals();
  const int status = options.mode == BatchMode::Demo ? RunDemo(options, console) : RunConversions(options, console);
  CoUninitialize();
  WriteLog("Exit");
  return status;
}
