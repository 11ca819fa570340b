#pragma once
// Which muxer and codecs each output format code writes.
#include <string>

extern "C" {
#include <libavcodec/codec_id.h>
}

struct ContainerChoice {
  std::string muxer;        // FFmpeg short name ("psp", "asf", ...)
  AVCodecID video = AV_CODEC_ID_NONE;
  AVCodecID audio = AV_CODEC_ID_NONE;
  std::string videoTag;     // codec tag to force ("DIVX"), or empty
};

// Output format codes: 1 WMV, 2 MP4, 3 AVI (MPEG-4 + MP3), 4 MPEG, 5 VOB,
// 6 3GP, 7 MOV. mp4VideoCodec (0 MPEG-4, 1 H.264) picks the MP4 video codec;
// vcodec / acodec are the profile's names, which pick the 3GP and MOV codecs.
// An empty muxer means the code has no container.
ContainerChoice ChooseContainer(int outputFormat, int mp4VideoCodec, const std::string& vcodec,
                                const std::string& acodec);
