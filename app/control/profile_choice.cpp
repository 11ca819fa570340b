#include "app/control/profile_choice.h"

#include "app/core/frame_state.h"
#include "encode/encoder_params.h"
#include "engine/recording.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

std::optional<ProfileOutput> SelectProfile(std::vector<CProfile>& list, int index) {
  FrameState& f = Frame();
  if (index < 0 || index >= static_cast<int>(list.size())) {
    f.CurrentProfile = nullptr;
    return std::nullopt;
  }
  CProfile& p = list[static_cast<size_t>(index)];
  Settings& s = AppSettings();
  s.lastProfile = p.name;
  WriteSettingText("OutputConfig", "last_profile", p.name.c_str());
  f.CurrentProfile = &p;
  EncParams().vcodec = p.vcodec;
  EncParams().acodec = p.acodec;
  const ProfileOutput out = ApplyProfileRules(p, f.OutputFormat, s.formatMp4 ? 1 : 0);
  f.OutputFormat = out.outputFormat;
  s.formatMp4 = out.mp4VideoCodec;
  EncParams().Mp4VideoCodec = out.mp4VideoCodec;
  MakeOutputFilename();
  return out;
}

int FindProfile(const std::vector<CProfile>& list, const std::string& name) {
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].name == name) return static_cast<int>(i);
  return -1;
}
