#pragma once
// What the batch converter checks on an output once its conversion has
// ended, and the thumbnail it makes from the output itself when the
// conversion did not make one.
#include <cstdint>
#include <string>

struct OutputFacts {
  bool opened = false;          // the container could be read
  std::int64_t videoFrames = 0; // pictures the container lists
  double seconds = 0.0;         // length of the video track
  bool hasAudio = false;
};

OutputFacts InspectOutput(const std::string& path);

// Decodes the output's picture 2.5 s in (or at the middle of a shorter
// output) and writes the ".THM" thumbnail beside it from that picture.
// 0 on success, -1 when the output holds no picture or the thumbnail could
// not be written.
int MakeThumbnailFromOutput(const std::string& path);
