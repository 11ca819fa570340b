#pragma once
// The title a handheld player shows for an MP4 video: read from and written
// into the title entry of the file's "uuid"/"USMT" metadata box, growing or
// shrinking the file in place. No window needed: the transfer window, its
// file list, the batch converter and the tests all call these.
#include <cstddef>
#include <string>
#include <string_view>

// Longest title stored, in UTF-16 units; longer ones are cut.
constexpr std::size_t kMaxTitleUnits = 255;
// Longest title returned by ReadMp4Title, in bytes of UTF-8.
constexpr std::size_t kMaxTitleResultBytes = 127;

// True when the text after the last '.' of path equals ext ("mp4"), without
// regard to case.
bool IsMp4Name(const std::string& path, const std::string& ext);

// The title as UTF-8, or empty text when the name does not end in ".mp4",
// the file cannot be opened or holds no title entry.
std::string ReadMp4Title(const std::string& path);

enum class TitleWriteResult {
  Written,
  NotMp4Name,   // not a ".mp4" name: the file was not opened
  OpenFailed,   // logged "Fail to open mp4 file <path>"
  NotFound,     // logged "Fail to find mp4 title"; file unchanged
  Refused,      // a layout that cannot be patched safely; logged, file unchanged
  WriteFailed,  // an I/O error after the file had started to change
};

// Replaces the title; an empty title is stored as " ". Every outcome other
// than Written is also in the diagnostic log; callers may ignore the result.
TitleWriteResult WriteMp4Title(const std::string& path, std::u16string_view title);
