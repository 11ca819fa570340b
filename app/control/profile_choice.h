#pragma once
// Choosing the output profile: the frame state's current profile, the output
// format its codecs map to, and the default output name that follows.
#include <string>
#include <vector>

#include "profiles/profile.h"

// Selects list[index] (none for an index outside the list) as the window's
// profile combo does, and remembers its name as the last profile.
void SelectProfile(std::vector<CProfile>& list, int index);

// The index of the profile named name, or -1.
int FindProfile(const std::vector<CProfile>& list, const std::string& name);
