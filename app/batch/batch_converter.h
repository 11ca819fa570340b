#pragma once
// The batch over the engine, one queue for both front ends: converting the
// files of a queue through the headless host, for batchvc (a list from the
// command line) and the batch window, and the sample clip of --demo. Each
// returns the program's exit status.
#include <functional>
#include <string>
#include <vector>

#include "app/batch/batch_console.h"
#include "app/batch/batch_options.h"
#include "app/batch/batch_queue.h"
#include "app/batch/batch_report.h"

constexpr int kExitConverted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitStopped = 130;

// The part of the window's start-up a front end without the main window
// needs: the program folder (the installed data folder, unless the front
// end set one), the language table and the log's fallback folder.
void PrepareProgramFolder();

// Converts the files of queue, taking them one at a time until it is empty
// or stopRequested says true (polled; the file under way is finished as
// Ctrl-C does), telling report as it goes. Runs the engine on the calling
// thread. kept receives the first output of every file converted (or
// stopped with something playable written).
int RunBatch(const BatchOptions& options, BatchQueue& queue, BatchReport& report,
             const std::function<bool()>& stopRequested, std::vector<std::string>* kept = nullptr);

// RunBatch over options.files, on the terminal, stopped by Ctrl-C.
int RunConversions(const BatchOptions& options, BatchConsole& console, std::vector<std::string>* kept = nullptr);
int RunDemo(const BatchOptions& options, BatchConsole& console);
