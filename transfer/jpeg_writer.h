#pragma once
// Baseline JPEG files through libjpeg, with the encoder's default settings.
#include <cstdint>
#include <string>

// Encodes width x height packed R, G, B pixels (top row first) and writes
// them to path ("wb"), replacing any file there. 0 on success, -1 when the
// encoder or the file fails; nothing is written when encoding fails.
int WriteJpegFile(const std::string& path, const std::uint8_t* rgb, int width, int height);
