#include "tests/support/av_signals.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "tests/support/media_probe.h"
#include "tests/support/test_support.h"

namespace {
constexpr double kOutFps = 30000.0 / 1001;
constexpr double kLoud = 0.1;  // the beep's RMS is 0.42, the quiet tone's 0.007

// RMS of each 1/100 s of the sound, mono 48 kHz from time 0.
std::vector<double> SoundLevels(const std::string& path) {
  int status = 0;
  const std::string pcm = RunCommand("ffmpeg -v error -i '" + path + "' -f s16le -ac 1 -ar 48000 -", &status);
  std::vector<double> rms;
  if (status != 0) return rms;
  const auto* s16 = reinterpret_cast<const std::int16_t*>(pcm.data());
  for (size_t w = 0; (w + 1) * 480 <= pcm.size() / 2; ++w) {
    double acc = 0;
    for (size_t i = w * 480; i < (w + 1) * 480; ++i) acc += double(s16[i]) * s16[i];
    rms.push_back(std::sqrt(acc / 480) / 32768);
  }
  return rms;
}

// Where values rise above threshold, as times of step seconds each.
std::vector<double> Rises(const std::vector<double>& values, double threshold, double step) {
  std::vector<double> at;
  for (size_t i = 0; i < values.size(); ++i)
    if (values[i] > threshold && (i == 0 || values[i - 1] <= threshold)) at.push_back(i * step);
  return at;
}
}  // namespace

std::string AvSignals::Describe() const {
  std::string seen;
  for (double t : flashes) seen += " f" + std::to_string(t);
  for (double t : beeps) seen += " b" + std::to_string(t);
  return seen;
}

AvSignals MeasureAvSignals(const std::string& path) {
  AvSignals s;
  const MediaProbe p = ProbeMedia(path, true);
  if (!p.hasVideo) return s;
  s.flashes = Rises(p.video.lumaMeans, 200, 1 / kOutFps);
  s.beeps = Rises(SoundLevels(path), kLoud, 0.01);
  return s;
}

std::vector<double> FlashOffsets(const AvSignals& signals) {
  std::vector<double> offsets;
  for (double f : signals.flashes) {
    double best = std::numeric_limits<double>::infinity();
    for (double b : signals.beeps)
      if (std::fabs(f - b) < std::fabs(best)) best = f - b;
    offsets.push_back(best);
  }
  return offsets;
}
