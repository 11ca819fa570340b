#include "app/batch/profile_commands.h"

#include <cstdio>

#include "app/batch/batch_converter.h"
#include "app/batch/batch_text.h"
#include "app/control/profile_choice.h"
#include "core/frame_state.h"
#include "platform/core/paths.h"
#include "settings/settings_store.h"

namespace {
// The profile of a first run.
constexpr const char* kFirstRunProfile = "PSP MPEG-4 320x240";

int FindProfileByName(const std::vector<CProfile>& list, const std::string& name) {
  const int exact = FindProfile(list, name);
  if (exact >= 0) return exact;
  for (size_t i = 0; i < list.size(); ++i)
    if (LowerCase(list[i].name) == LowerCase(name)) return static_cast<int>(i);
  return -1;
}

std::string ProfileNames(const std::vector<CProfile>& list) {
  std::string names;
  for (const CProfile& p : list) names += "\n  " + p.name;
  return names;
}

std::string NoProfilesText() {
  return "no profiles in " + JoinPath(Frame().ProgramFolder, "profile") + " or " + UserProfileFolder();
}

std::string ProfileLine(const CProfile& p) {
  std::string video = p.vcodec + " " + p.s, audio = p.acodec;
  char buf[96];
  if (p.r > 0) video += (std::snprintf(buf, sizeof(buf), " %g fps", p.r), buf);
  if (p.b > 0) video += " " + std::to_string(p.b) + " kbit/s";
  if (p.ar > 0) audio += " " + std::to_string(p.ar) + " Hz";
  if (!p.ac.empty()) audio += " " + p.ac + " ch";
  if (p.ab > 0) audio += " " + std::to_string(p.ab) + " kbit/s";
  if (!p.aformat.empty()) audio += " " + p.aformat;
  return p.name + "\t" + video + "\t" + audio;
}
}  // namespace

int LoadBatchProfile(std::vector<CProfile>& list, const std::string& wanted, std::string* why) {
  // A first run (no profile used yet) converts for the PSP; later runs take
  // the profile used last, in the window or here.
  const std::string stored = ReadSettingText("OutputConfig\\last_profile", "");
  const int last = LoadProfileList(list, stored.empty() ? kFirstRunProfile : stored);
  if (last < 0) {
    *why = NoProfilesText();
    return -1;
  }
  if (wanted.empty()) return last;
  const int chosen = FindProfileByName(list, wanted);
  if (chosen < 0) *why = "no profile named \"" + wanted + "\"; the profiles are:" + ProfileNames(list);
  return chosen;
}

int ListProfiles(BatchConsole& console) {
  PrepareProgramFolder();
  std::vector<CProfile> list;
  if (LoadProfileList(list, "") < 0) {
    console.Error(NoProfilesText());
    return kExitFailed;
  }
  for (const CProfile& p : list) std::printf("%s\n", ProfileLine(p).c_str());
  return kExitConverted;
}

int SaveProfileAs(const BatchOptions& options, const std::string& name, BatchConsole& console) {
  PrepareProgramFolder();
  std::vector<CProfile> list;
  std::string why;
  const int chosen = LoadBatchProfile(list, options.profile, &why);
  if (chosen < 0) {
    console.Error(why);
    return kExitFailed;
  }
  CProfile profile = list[static_cast<size_t>(chosen)];
  if (options.videoKbps > 0) profile.b = options.videoKbps;
  if (WriteProfile(profile, name, &why) != 0) {
    console.Error("cannot save profile \"" + name + "\": " +
                  (why.empty() ? "a profile name cannot be empty, \".\" or \"..\", or hold \"/\"" : why));
    return kExitFailed;
  }
  profile.name = name;
  console.Info("Saved " + JoinPath(UserProfileFolder(), name + ".pr") + ": " + ProfileLine(profile));
  return kExitConverted;
}
