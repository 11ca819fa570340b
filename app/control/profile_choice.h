#pragma once
// Choosing the output profile: the frame state's current profile, the output
// format its codecs map to, and the default output name that follows.
#include <optional>
#include <string>
#include <vector>

#include "profiles/profile.h"

// Selects list[index] (none for an index outside the list) as the window's
// profile combo does: remembers its name as the last profile, takes its
// codecs, runs the output format rules and names the next output. Returns
// what the rules chose, or nothing when no profile is selected.
std::optional<ProfileOutput> SelectProfile(std::vector<CProfile>& list, int index);

// Gives the current profile the PSP picture size that suits the open
// source's display aspect, as the window does once it knows the picture.
void FitProfileToSource();

// The index of the profile named name, or -1.
int FindProfile(const std::vector<CProfile>& list, const std::string& name);
