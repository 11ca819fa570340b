#pragma once
// What a recording is encoded with. The main window (or the batch converter)
// fills these from the selected profile and the settings before it opens the
// output; the engine supplies the source audio format. The path, the output
// format code and the pass numbers live in the shared frame state.
#include <string>

struct EncoderParams {
  int width = 320;              // frame size of every delivered frame, pixels
  int height = 240;
  double frameRate = 29.97;     // output frames per second
  double videoKbps = 768.0;     // target video rate
  int audioKbps = 128;          // target audio rate (whole stream)
  int outSampleRate = 48000;    // encoded audio rate, Hz
  int outChannels = 2;          // 1 or 2
  int srcSampleRate = 44100;    // delivered PCM: 16-bit signed, interleaved
  int srcChannels = 2;          // 1 to 8
  int monoChoice = 1;           // stereo to mono: 0 mix, 1 left, 2 right
  int partLimitMiB = 2048;      // size at which a new part file begins
  int Mp4VideoCodec = 0;        // 0 MPEG-4 Part 2, 1 H.264
  std::string vcodec = "mpeg4"; // the profile's codec names, for the other containers
  std::string acodec = "aac";
  std::string title;            // the source's name without folder and extension
};

// The one instance; written on the user-interface thread while no output is open.
EncoderParams& EncParams();
