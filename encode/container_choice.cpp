#include "encode/container_choice.h"

#include <algorithm>
#include <cctype>

namespace {
std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

bool Has(const std::string& name, const char* what) { return Lower(name).find(what) != std::string::npos; }

AVCodecID H264OrMpeg4(const std::string& vcodec) {
  return Has(vcodec, "264") || Has(vcodec, "avc") ? AV_CODEC_ID_H264 : AV_CODEC_ID_MPEG4;
}

// 3GP carries H.263, MPEG-4 or H.264 video and AAC or AMR-NB audio.
ContainerChoice ThreeGpChoice(const std::string& vcodec, const std::string& acodec) {
  ContainerChoice c{"3gp", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, ""};
  if (Has(vcodec, "263")) c.video = AV_CODEC_ID_H263;
  else c.video = H264OrMpeg4(vcodec);
  if (Has(acodec, "amr")) c.audio = AV_CODEC_ID_AMR_NB;
  return c;
}
}  // namespace

ContainerChoice ChooseContainer(int outputFormat, int mp4VideoCodec, const std::string& vcodec,
                                const std::string& acodec) {
  switch (outputFormat) {
    case 1: return {"asf", AV_CODEC_ID_WMV2, AV_CODEC_ID_WMAV2, ""};
    case 2: return {"psp", mp4VideoCodec == 1 ? AV_CODEC_ID_H264 : AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, ""};
    case 3: return {"avi", AV_CODEC_ID_MPEG4, AV_CODEC_ID_MP3, "DIVX"};
    case 4: return {"mpeg", AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MP2, ""};
    case 5: return {"vob", AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MP2, ""};
    case 6: return ThreeGpChoice(vcodec, acodec);
    case 7: return {"mov", H264OrMpeg4(vcodec), AV_CODEC_ID_AAC, ""};
    default: return {};
  }
}
