#pragma once
// The batch converter's profiles: the one a batch converts with,
// --list-profiles and --save-profile.
#include <string>
#include <vector>

#include "app/batch/batch_console.h"
#include "app/batch/batch_options.h"
#include "profiles/profile.h"

// Loads the profile list and picks the profile a batch uses: the one named
// wanted (in any case, when no name matches exactly), else the one used
// last ("PSP MPEG-4 320x240" on a first run). -1 with why set when there is
// none.
int LoadBatchProfile(std::vector<CProfile>& list, const std::string& wanted, std::string* why);

// Prints one profile a line: name, video, audio. The program's exit status.
int ListProfiles(BatchConsole& console);

// Saves the profile a batch with these options would use (its --bitrate
// included) under name in the user's profile folder. The exit status.
int SaveProfileAs(const BatchOptions& options, const std::string& name, BatchConsole& console);
