#pragma once
// The flashes and beeps of a converted clip (fixtures made with flash set),
// for checking that sound stays with its pictures.
#include <string>
#include <vector>

struct AvSignals {
  std::vector<double> flashes;  // seconds: a bright picture after darker ones (pictures at 29.97 fps)
  std::vector<double> beeps;    // seconds: loud sound after quiet, as the ffmpeg command line plays it
  std::string Describe() const;  // " f0.000 f1.001 ... b0.000 b1.000 ..." for failure messages
};

// Decodes path; empty signals when it cannot be decoded.
AvSignals MeasureAvSignals(const std::string& path);

// Each flash's offset from the beep nearest to it (flash minus beep).
std::vector<double> FlashOffsets(const AvSignals& signals);
