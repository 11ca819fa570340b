#pragma once
// The batch converter's jobs over the engine: converting a list of files
// through the headless host, listing the profiles, and the sample clip of
// --demo. Each returns the program's exit status.
#include <string>
#include <vector>

#include "app/batch/batch_console.h"
#include "app/batch/batch_options.h"

constexpr int kExitConverted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitStopped = 130;

// The part of the window's start-up a front end without a window needs:
// the program folder, the language table and the log beside the program.
void PrepareProgramFolder();

// kept receives the first output of every file converted (or stopped with
// something playable written).
int RunConversions(const BatchOptions& options, BatchConsole& console, std::vector<std::string>* kept = nullptr);
int ListProfiles(BatchConsole& console);
int RunDemo(const BatchOptions& options, BatchConsole& console);
