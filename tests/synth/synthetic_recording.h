#pragma once
// A generated picture and sound source fed straight into the recording
// encoder, as the capture path would feed it: one YUY2 frame of the output
// size per output slot, with exactly that slot's audio. Used by the encoder
// tests, the encoder benchmark and the encoder demo.
#include <cstdint>
#include <string>
#include <vector>

struct SyntheticSource {
  int width = 320, height = 240;
  double frameRate = 29.97;
  int sampleRate = 44100;
  int channels = 2;
  double toneHz = 440.0;

  // A moving diagonal pattern with a bar that crosses the picture.
  void MakeFrame(int index, std::vector<std::uint8_t>& yuy2) const;
  // The audio of output slot index (a sine tone; the second channel at a
  // fifth above); returns its sample frames.
  int MakeSlotAudio(int index, std::vector<std::int16_t>& pcm);

 private:
  double remainder_ = 0.0;
  std::int64_t samplesDone_ = 0;
};

// Sets the encoder parameters of the usual PSP profile: 768 kbit/s video
// (MPEG-4 Part 2, or H.264 when mp4VideoCodec is 1), 128 kbit/s AAC at
// 48000 Hz stereo, with the given title. The rest are the defaults.
void UsePspProfile(int mp4VideoCodec, const std::string& title);

// Sets the frame size, frame rate and source audio format to the source's.
void UseSourceFormat(const SyntheticSource& source);

struct SyntheticRecording {
  std::string outputPath;
  int outputFormat = 2;
  int frames = 90;
  bool queued = true;        // two worker threads, else inline encoding
  int passCount = 1;
  int currentPass = 1;
  double partLimitMiB = 0;   // 0: no part files
};

// Opens the output, delivers the frames and ends the output, the way a
// recording does; after the last pass the recording is over. Returns
// OpenOutput's result (0, or -1 when it refused).
int RunSyntheticRecording(const SyntheticRecording& rec, SyntheticSource& source);
