#include "tests/synth/synthetic_recording.h"

#include <cmath>

#include "core/frame_state.h"
#include "encode/audio_blocks.h"
#include "encode/encoder_params.h"
#include "encode/encoder_threads.h"
#include "encode/recording_encoder.h"

void SyntheticSource::MakeFrame(int index, std::vector<std::uint8_t>& yuy2) const {
  yuy2.resize(static_cast<size_t>(width) * height * 2);
  const int bar = (index * 4) % std::max(width, 1);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = yuy2.data() + static_cast<size_t>(y) * width * 2;
    for (int x = 0; x < width; x += 2) {
      const bool onBar = std::abs(x - bar) < 8;
      const std::uint8_t luma = onBar ? 235 : static_cast<std::uint8_t>(16 + ((x + y + index * 2) & 0x7F));
      row[2 * x] = luma;
      row[2 * x + 1] = static_cast<std::uint8_t>(128 + ((y * 2 + index) & 0x3F) - 32);
      row[2 * x + 2] = luma;
      row[2 * x + 3] = static_cast<std::uint8_t>(128 + ((x + index) & 0x3F) - 32);
    }
  }
}

int SyntheticSource::MakeSlotAudio(int /*index*/, std::vector<std::int16_t>& pcm) {
  const int n = NextAudioBlockSize(sampleRate / frameRate, remainder_);
  pcm.resize(static_cast<size_t>(n) * channels);
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(samplesDone_ + i) / sampleRate;
    for (int c = 0; c < channels; ++c) {
      const double hz = toneHz * (c == 1 ? 1.5 : 1.0);
      pcm[static_cast<size_t>(i) * channels + c] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * hz * t));
    }
  }
  samplesDone_ += n;
  return n;
}

void UsePspProfile(int mp4VideoCodec, const std::string& title) {
  EncoderParams& p = EncParams();
  p = EncoderParams();
  p.Mp4VideoCodec = mp4VideoCodec;
  p.videoKbps = 768;
  p.audioKbps = 128;
  p.outSampleRate = 48000;
  p.outChannels = 2;
  p.title = title;
}

void UseSourceFormat(const SyntheticSource& source) {
  EncoderParams& p = EncParams();
  p.width = source.width;
  p.height = source.height;
  p.frameRate = source.frameRate;
  p.srcSampleRate = source.sampleRate;
  p.srcChannels = source.channels;
}

int RunSyntheticRecording(const SyntheticRecording& rec, SyntheticSource& source) {
  FrameState& f = Frame();
  // A second pass starts from wherever the first left the output path (its
  // last part), as in a conversion.
  if (rec.currentPass != 2) f.SetOutputPath(rec.outputPath);
  f.OutputFormat = rec.outputFormat;
  f.PassCount = rec.passCount;
  f.CurrentPass = rec.currentPass;
  UseSourceFormat(source);
  if (OpenOutput(true) < 0) return -1;
  f.IsRecording = true;
  if (rec.queued) StartEncoderThreads();
  else Deliver = DeliverInline;
  std::vector<std::uint8_t> frame;
  std::vector<std::int16_t> pcm;
  for (int i = 0; i < rec.frames; ++i) {
    source.MakeFrame(i, frame);
    const int n = source.MakeSlotAudio(i, pcm);
    Deliver(frame.data(), pcm.data(), n);
    if (rec.partLimitMiB > 0 && NextPartDue(rec.partLimitMiB) && OpenNextPart() < 0) break;
  }
  f.IsRecording = false;
  StopEncoderThreads();
  EndOutput();
  if (rec.currentPass == rec.passCount) EndRecording();
  return 0;
}
