#pragma once
// What a Windows Media audio format description says about the sound it
// asks for: "128 kbps, 44 kHz, stereo 1-pass CBR".
#include <optional>
#include <string>

struct WmAudioFormat {
  int kbps = 0;      // 0 when the format states no bit rate (quality-based VBR)
  int rate = 0;      // Hz
  int channels = 0;  // as the format states them (6 for "6 channel")
};

// The figures of a format description; nothing when it names no sampling
// rate or no channels.
std::optional<WmAudioFormat> ParseWmAudioFormat(const std::string& description);
