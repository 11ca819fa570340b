#pragma once
// Stand-in for the Windows Media codec information: the audio codecs and
// their format descriptions, in the order the codec enumeration gives them.
#include <string>
#include <vector>

#include "profiles/profile.h"

class WMCodecInfo {
 public:
  int GetCodecInfoCount() const;
  std::string GetCodecName(int codec) const;
  // "_VBRENABLED": whether the formats of codec include variable rates.
  void SetVbrEnabled(int codec, bool enabled);
  int GetCodecFormatCount(int codec) const;
  std::string GetCodecFormatDesc(int codec, int format) const;

 private:
  std::vector<bool> vbr_ = std::vector<bool>(8, true);
};

// Rebuilds record's acodec list with the first "Windows Media Audio 9"
// codec and its aformat list with that codec's formats up to the first
// "(A/V) CBR" one, leaving out the "24 bit" ones.
void FillWindowsMediaAudioLists(CProfile& record);
