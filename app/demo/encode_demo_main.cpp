// encode_demo [FOLDER]: converts ten seconds of a generated test pattern with
// a tone to a PSP MP4 (MPEG-4 Part 2 320x240 29.97 fps, AAC 48 kHz stereo)
// and its ".THM" thumbnail, and prints where it wrote them.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/frame_state.h"
#include "encode/encoder_params.h"
#include "encode/recording_encoder.h"
#include "platform/core/paths.h"
#include "platform/lumimg/lumimg.h"
#include "tests/synth/synthetic_recording.h"
#include "transfer/thumbnail.h"

namespace {
// The thumbnail is taken from the frame 2.5 s into the clip, as a recording does.
int WriteThumbnail(const std::string& mp4, const SyntheticSource& source, int frameIndex) {
  std::vector<std::uint8_t> frame;
  source.MakeFrame(frameIndex, frame);
  const int w = source.width, h = source.height;
  std::vector<std::uint8_t> y(w * h), u(w * h), v(w * h);
  LumSplitPackedToPlanes(frame.data(), w * 2, y.data(), w, u.data(), w, v.data(), w, w, h);
  FramePlanes planes{y.data(), u.data(), v.data(), w, h};
  return MakeThumbnail(mp4, planes, CropFractions{});
}
}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : JoinPath(TempFolder(), "corvane-demo");
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::string mp4 = JoinPath(folder, "M4V00001.MP4");
  std::filesystem::remove(mp4, ec);

  UsePspProfile(0, "Corvane demo");
  Frame().ProcessorCount = 2;

  SyntheticSource source;
  SyntheticRecording rec{mp4, 2, 300, true};
  if (RunSyntheticRecording(rec, source) != 0 || EncoderOutputFailed()) {
    std::fprintf(stderr, "encode_demo: could not write %s\n", mp4.c_str());
    return 1;
  }
  const bool thumb = WriteThumbnail(mp4, source, 75) == 0;
  std::printf("Wrote %s (%.2f MiB, 10 s, MPEG-4 320x240 + AAC)\n", mp4.c_str(), FileSizeMiB(mp4));
  if (thumb) std::printf("Wrote %s\n", WithExtension(mp4, ".THM").c_str());
  std::printf("Folder: %s\n", folder.c_str());
  return thumb ? 0 : 1;
}
