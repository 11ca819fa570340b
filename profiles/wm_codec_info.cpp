#include "profiles/wm_codec_info.h"

#include <strings.h>

namespace {
struct AudioCodec {
  const char* name;
  std::vector<const char*> vbrFormats;  // listed only while variable rates are enabled
  std::vector<const char*> formats;
};

const std::vector<AudioCodec>& Codecs() {
  static const std::vector<AudioCodec> codecs = {
      {"Windows Media Audio Voice 9",
       {},
       {"20 kbps, 22 kHz, mono CBR", "16 kbps, 16 kHz, mono CBR", "12 kbps, 11 kHz, mono CBR",
        "20 kbps, 22 kHz, mono (A/V) CBR"}},
      {"Windows Media Audio 9.2",
       {"Quality-based VBR 98, 44 kHz, stereo", "Quality-based VBR 90, 44 kHz, stereo",
        "Quality-based VBR 75, 44 kHz, stereo"},
       {"320 kbps, 48 kHz, stereo 1-pass CBR", "256 kbps, 48 kHz, stereo 1-pass CBR",
        "192 kbps, 48 kHz, stereo 1-pass CBR", "192 kbps, 44 kHz, 2 channel 24 bit 1-pass CBR",
        "160 kbps, 48 kHz, stereo 1-pass CBR", "128 kbps, 48 kHz, stereo 1-pass CBR",
        "128 kbps, 44 kHz, stereo 1-pass CBR", "96 kbps, 44 kHz, stereo 1-pass CBR",
        "64 kbps, 48 kHz, stereo 1-pass CBR", "64 kbps, 44 kHz, 2 channel 24 bit 1-pass CBR",
        "48 kbps, 44 kHz, stereo 1-pass CBR", "32 kbps, 44 kHz, stereo 1-pass CBR",
        "128 kbps, 44 kHz, stereo (A/V) CBR", "64 kbps, 44 kHz, stereo (A/V) CBR",
        "32 kbps, 22 kHz, stereo (A/V) CBR"}},
      {"Windows Media Audio 9.2 Professional",
       {"Quality-based VBR 90, 48 kHz, 6 channel 24 bit"},
       {"768 kbps, 96 kHz, 2 channel 24 bit 1-pass CBR", "440 kbps, 48 kHz, 6 channel 24 bit 1-pass CBR",
        "256 kbps, 48 kHz, 6 channel 1-pass CBR", "192 kbps, 48 kHz, stereo 1-pass CBR",
        "128 kbps, 44 kHz, stereo (A/V) CBR"}},
      {"Windows Media Audio 9.2 Lossless", {"VBR Quality 100, 44 kHz, 2 channel 16 bit 1-pass VBR"}, {}},
  };
  return codecs;
}

bool Valid(int codec) { return codec >= 0 && codec < static_cast<int>(Codecs().size()); }
}  // namespace

int WMCodecInfo::GetCodecInfoCount() const { return static_cast<int>(Codecs().size()); }

std::string WMCodecInfo::GetCodecName(int codec) const { return Valid(codec) ? Codecs()[codec].name : ""; }

void WMCodecInfo::SetVbrEnabled(int codec, bool enabled) {
  if (Valid(codec)) vbr_[static_cast<size_t>(codec)] = enabled;
}

int WMCodecInfo::GetCodecFormatCount(int codec) const {
  if (!Valid(codec)) return 0;
  const AudioCodec& c = Codecs()[codec];
  return static_cast<int>(c.formats.size() + (vbr_[static_cast<size_t>(codec)] ? c.vbrFormats.size() : 0));
}

std::string WMCodecInfo::GetCodecFormatDesc(int codec, int format) const {
  if (!Valid(codec) || format < 0 || format >= GetCodecFormatCount(codec)) return "";
  const AudioCodec& c = Codecs()[codec];
  size_t i = static_cast<size_t>(format);
  if (vbr_[static_cast<size_t>(codec)]) {
    if (i < c.vbrFormats.size()) return c.vbrFormats[i];
    i -= c.vbrFormats.size();
  }
  return c.formats[i];
}

void FillWindowsMediaAudioLists(CProfile& record) {
  WMCodecInfo info;
  int codecs = info.GetCodecInfoCount();
  record.acodecList.clear();
  for (int i = 0; i < codecs; ++i) {
    std::string name = info.GetCodecName(i);
    if (strncasecmp(name.c_str(), "Windows Media Audio 9", 21) != 0) continue;
    record.acodecList.push_back(name);
    info.SetVbrEnabled(i, false);
    int formats = info.GetCodecFormatCount(i);
    record.aformatList.clear();
    for (int j = 0; j < formats; ++j) {
      std::string desc = info.GetCodecFormatDesc(i, j);
      if (desc.find("(A/V) CBR") != std::string::npos) break;
      if (desc.find("24 bit") != std::string::npos) continue;
      record.aformatList.push_back(desc);
    }
    break;
  }
}
