// bench_encoder: the recording encoder alone, on raw input.
//   bench_encoder raw SECONDS FRAMES.yuv AUDIO.pcm   writes the generated
//       320x240 YUY2 frames at 29.97 fps and 44100 Hz stereo PCM as raw files
//   bench_encoder encode mpeg4|h264 FRAMES.yuv AUDIO.pcm OUT.mp4
//       reads them back and delivers them slot by slot to a PSP MP4, with the
//       two worker threads, as a recording does
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/frame_state.h"
#include "encode/audio_blocks.h"
#include "encode/encoder_params.h"
#include "encode/encoder_threads.h"
#include "encode/recording_encoder.h"
#include "tests/synth/synthetic_recording.h"

namespace {
int WriteRaw(double seconds, const char* yuvPath, const char* pcmPath) {
  SyntheticSource src;
  std::ofstream yuv(yuvPath, std::ios::binary), pcm(pcmPath, std::ios::binary);
  std::vector<std::uint8_t> frame;
  std::vector<std::int16_t> audio;
  const int frames = static_cast<int>(seconds * src.frameRate);
  for (int i = 0; i < frames; ++i) {
    src.MakeFrame(i, frame);
    const int n = src.MakeSlotAudio(i, audio);
    yuv.write(reinterpret_cast<const char*>(frame.data()), static_cast<std::streamsize>(frame.size()));
    pcm.write(reinterpret_cast<const char*>(audio.data()), static_cast<std::streamsize>(n) * 4);
  }
  return yuv && pcm ? 0 : 1;
}

int Encode(const std::string& codec, const char* yuvPath, const char* pcmPath, const char* out) {
  SyntheticSource src;
  UsePspProfile(codec == "h264" ? 1 : 0, "bench");
  UseSourceFormat(src);
  const EncoderParams& p = EncParams();
  std::remove(out);
  Frame().SetOutputPath(out);
  Frame().OutputFormat = 2;
  if (OpenOutput(true) != 0) return 1;
  Frame().IsRecording = true;
  StartEncoderThreads();
  std::ifstream yuv(yuvPath, std::ios::binary), pcm(pcmPath, std::ios::binary);
  std::vector<std::uint8_t> frame(static_cast<size_t>(p.width) * p.height * 2);
  std::vector<std::int16_t> audio(8192);
  double remainder = 0;
  while (yuv.read(reinterpret_cast<char*>(frame.data()), static_cast<std::streamsize>(frame.size()))) {
    const int n = NextAudioBlockSize(src.sampleRate / src.frameRate, remainder);
    pcm.read(reinterpret_cast<char*>(audio.data()), static_cast<std::streamsize>(n) * 4);
    Deliver(frame.data(), audio.data(), static_cast<int>(pcm.gcount() / 4));
  }
  Frame().IsRecording = false;
  StopEncoderThreads();
  EndOutput();
  return EncoderOutputFailed() ? 1 : 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "raw") == 0) return WriteRaw(std::atof(argv[2]), argv[3], argv[4]);
  if (argc == 6 && std::strcmp(argv[1], "encode") == 0) return Encode(argv[2], argv[3], argv[4], argv[5]);
  std::fprintf(stderr, "usage: bench_encoder raw SECONDS FRAMES.yuv AUDIO.pcm\n"
                       "       bench_encoder encode mpeg4|h264 FRAMES.yuv AUDIO.pcm OUT.mp4\n");
  return 2;
}
