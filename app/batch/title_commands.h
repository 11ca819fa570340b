#pragma once
// --show-title and --set-title: the title a PSP shows for an MP4 file, read
// and written in place by the same code as the transfer window's.
#include <string>
#include <vector>

#include "app/batch/batch_console.h"

// Prints each file's title: the title alone for one file, "FILE: TITLE"
// for several. 0 when every file had one, else 1.
int ShowTitles(const std::vector<std::string>& files, BatchConsole& console);

// Stores title (UTF-8) in file. 0 when written, else 1.
int SetTitle(const std::string& title, const std::string& file, BatchConsole& console);
