#include "app/control/profile_choice.h"

#include <cmath>

#include "core/frame_state.h"
#include "encode/encoder_params.h"
#include "engine/capture_frames.h"
#include "engine/recording.h"
#include "engine/sync_state.h"
#include "profiles/picture_size.h"
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

void FitProfileToSource() {
  CProfile* p = Frame().CurrentProfile;
  if (!p) return;
  int height = 0, displayWidth = 0;
  {
    CritSecLock lock(CaptureLock());
    const VideoFormatState& v = CaptureFrames().video;
    height = v.MagnitudeHeight;
    displayWidth = v.AspectY != 0 ? static_cast<int>(std::lround(static_cast<double>(height) * std::abs(v.AspectX) /
                                                                 std::abs(v.AspectY)))
                                  : v.MagnitudeWidth;
  }
  const std::string size = PspPictureSize(displayWidth, height, p->s, p->vcodec, p->device, AppSettings().vcAspect);
  if (!size.empty()) p->s = size;
}

int FindProfile(const std::vector<CProfile>& list, const std::string& name) {
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].name == name) return static_cast<int>(i);
  return -1;
}
