#include "encode/part_files.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "core/diag_log.h"

namespace {
// The first pass splits where the second pass's part is estimated at this
// share of the limit, so that the second pass, which splits at the same
// pictures, stays below the limit when its video comes out a little larger.
constexpr double kFirstPassShare = 0.95;
constexpr double kMiB = 1048576.0;
// Index bytes the container keeps per picture and per audio frame.
constexpr double kIndexBytesPerSample = 12.0;

struct PartFiles {
  PassMode mode = PassMode::kOnePass;       // of the pass under way
  bool twoPasses = false;                   // statistics were written and are to be removed
  std::string firstPath;                    // every pass starts here
  std::string BaseName, Extension;          // firstPath split at its last "."
  int PartNumber = 1;                       // part under way
  std::vector<std::string> written;         // parts the pass under way opened, in order
  std::vector<std::string> firstPassWritten;
  std::vector<int> plan;                    // pictures of each part the first pass finished
  int firstPassPictures = -1;               // all the first pass took; -1 when unknown
  size_t segment = 0;                       // the first-pass part the pictures under way belong to
  int segmentPictures = 0;                  // pictures since that part began
  int passPictures = 0;                     // pictures of the pass under way
  bool aligned = true;                      // the part under way began where a first-pass part did
};

PartFiles& Parts() {
  static PartFiles s;
  return s;
}

// A path without a "." keeps the extension of the one before.
void SplitBaseAndExtension(PartFiles& s, const std::string& path) {
  s.BaseName = path;
  const auto dot = path.rfind('.');
  const auto slash = path.rfind('/');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    s.BaseName = path.substr(0, dot);
    s.Extension = path.substr(dot + 1);
  }
}

std::string PartName(const PartFiles& s, int number) {
  if (number <= 1) return s.firstPath;
  char buf[1100];
  std::snprintf(buf, sizeof(buf), "%s - %02d.%s", s.BaseName.c_str(), number, s.Extension.c_str());
  return buf;
}

// The statistics of the first pass's part number (1-based) sit beside it.
std::string StatsPath(const PartFiles& s, size_t number) {
  return PartName(s, static_cast<int>(number)) + ".passlog";
}

void BeginSegment(PartFiles& s, size_t segment) {
  s.segment = segment;
  s.segmentPictures = 0;
  s.aligned = true;
}

bool AtPlannedBoundary(const PartFiles& s) {
  return s.segment < s.plan.size() && s.segmentPictures >= s.plan[s.segment];
}

// What the second pass's part will weigh on disk: its video at least at
// the target rate (or as large as the first pass made it, when the pictures
// need more), its sound at the audio rate, and the container's index.
double SecondPassEstimateMiB(double firstPassMiB, int pictures, const EncoderParams& p) {
  const double seconds = p.frameRate > 0 ? pictures / p.frameRate : 0.0;
  const double video = std::max(firstPassMiB * kMiB, p.videoKbps * 125.0 * seconds);
  const double audio = p.audioKbps * 125.0 * seconds;
  const double index = kIndexBytesPerSample * (pictures + seconds * p.outSampleRate / 1024.0);
  return (video + audio + index) / kMiB;
}
}  // namespace

std::string StartPartsOfPass(const std::string& path, int passCount, int currentPass) {
  PartFiles& s = Parts();
  if (passCount == 2 && currentPass == 2 && s.mode == PassMode::kFirstPass) {
    s.mode = PassMode::kSecondPass;
    s.firstPassWritten = s.written;
    s.firstPassPictures = std::accumulate(s.plan.begin(), s.plan.end(), s.segmentPictures);
  } else {
    s.mode = passCount == 2 && currentPass == 1 ? PassMode::kFirstPass : PassMode::kOnePass;
    s.twoPasses = s.mode == PassMode::kFirstPass;
    s.firstPath = path;
    SplitBaseAndExtension(s, path);
    s.plan.clear();
    s.firstPassWritten.clear();
    s.firstPassPictures = -1;
  }
  s.PartNumber = 1;
  s.written.clear();
  s.passPictures = 0;
  BeginSegment(s, 0);
  return s.firstPath;
}

void CountPartPicture() {
  PartFiles& s = Parts();
  ++s.segmentPictures;
  ++s.passPictures;
}

bool PartIsFull(double sizeMiB, double limitMiB, const EncoderParams& p) {
  const PartFiles& s = Parts();
  const double full = limitMiB - 0.1;
  switch (s.mode) {
    case PassMode::kFirstPass: return SecondPassEstimateMiB(sizeMiB, s.segmentPictures, p) > full * kFirstPassShare;
    case PassMode::kSecondPass: return AtPlannedBoundary(s) || sizeMiB > full;
    case PassMode::kOnePass: break;
  }
  return sizeMiB > full;
}

std::string StartNextPart() {
  PartFiles& s = Parts();
  if (s.mode == PassMode::kSecondPass) {
    // Past the limit before the first pass's split: the rest of that
    // stretch has no statistics of its own.
    if (AtPlannedBoundary(s)) BeginSegment(s, s.segment + 1);
    else s.aligned = false;
  } else {
    if (s.mode == PassMode::kFirstPass) s.plan.push_back(s.segmentPictures);
    BeginSegment(s, s.segment + 1);
  }
  ++s.PartNumber;
  return PartName(s, s.PartNumber);
}

void PartOpened(const std::string& path) { Parts().written.push_back(path); }

int CurrentPartNumber() { return Parts().PartNumber; }

PassPlan CurrentPassPlan() {
  const PartFiles& s = Parts();
  switch (s.mode) {
    case PassMode::kFirstPass: return {PassMode::kFirstPass, StatsPath(s, s.segment + 1)};
    case PassMode::kSecondPass:
      if (s.aligned && s.segment <= s.plan.size()) return {PassMode::kSecondPass, StatsPath(s, s.segment + 1)};
      break;
    case PassMode::kOnePass: break;
  }
  return {};
}

bool BeyondFirstPass() {
  const PartFiles& s = Parts();
  return s.mode == PassMode::kSecondPass && s.firstPassPictures >= 0 && s.passPictures >= s.firstPassPictures;
}

void EndRecordingFiles() {
  PartFiles& s = Parts();
  if (s.twoPasses)
    for (size_t number = 1; number <= s.plan.size() + 1; ++number) RemovePassStats(StatsPath(s, number));
  if (s.mode == PassMode::kSecondPass) {
    for (const std::string& old : s.firstPassWritten) {
      if (std::find(s.written.begin(), s.written.end(), old) != s.written.end()) continue;
      WriteLog("Removing %s: the second pass ended before it", old.c_str());
      std::remove(old.c_str());
    }
  }
  s.mode = PassMode::kOnePass;
  s.twoPasses = false;
  s.plan.clear();
  s.firstPassWritten.clear();
  s.firstPassPictures = -1;
}

std::vector<std::string> PartsOfLastPass() { return Parts().written; }
