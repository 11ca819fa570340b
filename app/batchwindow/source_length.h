#pragma once
// The length of a video file, read from its container without decoding, for
// the batch window's list before the file's turn comes.
#include <optional>
#include <string>

// Seconds of the file, or nothing when it is no media file or states no
// length.
std::optional<double> SourceLengthSeconds(const std::string& path);
