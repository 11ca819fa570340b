#pragma once
// Decodes a media file completely with libavformat/libavcodec and reports
// what a player would see.
#include <cstdint>
#include <string>
#include <vector>

struct StreamProbe {
  std::string codec;        // FFmpeg codec name ("mpeg4", "h264", "aac")
  std::string profile;      // "Simple Profile", "Main", "LC"
  int width = 0, height = 0;
  int sampleRate = 0, channels = 0;
  std::int64_t decodedFrames = 0;   // video pictures or audio frames
  std::int64_t decodedSamples = 0;  // audio sample frames
  std::vector<int> keyFrames;       // indices of key pictures, in decode order
  double frameRate = 0;             // average frame rate of the stream
  double durationSec = 0;           // video: decoded frames / frame rate; audio: the
                                    // container's duration (priming and padding excluded),
                                    // else decoded samples / rate
  int decodeErrors = 0;
  std::vector<double> lumaMeans;    // mean luma of each decoded picture (video only)
  std::vector<int> frameCodes;      // the frame number each picture of a numbered
                                    // fixture carries (video only)
  std::vector<double> columnLuma;   // mean luma of each column of the last picture
  std::vector<double> audioRms;     // RMS of each 1/100 s of audio, first channel
};

struct MediaProbe {
  bool opened = false;
  std::string formatName;
  std::string majorBrand;
  std::string title;
  bool hasVideo = false, hasAudio = false;
  StreamProbe video, audio;
};

MediaProbe ProbeMedia(const std::string& path, bool collectSignals = false);

// True when the file's moov box holds a uuid box whose user type starts with
// "USMT"; title receives its title entry (type 1) decoded from UTF-16 (ASCII
// characters only), without the terminator.
bool ReadUsmtTitle(const std::string& path, std::string* title);

// Checks, with gtest, that probe is a 320x240 PSP MP4 (MSNV, AAC at
// 48 kHz) decoding without errors, whose pictures last seconds and whose
// sound lasts as long, each within one output frame at 29.97 fps.
void ExpectPspOutput(const MediaProbe& probe, double seconds);
// The same for a picture of width x height.
void ExpectPspOutput(const MediaProbe& probe, double seconds, int width, int height);
