#pragma once
// The title a handheld player shows for an MP4 video: read from and written
// into the title entry of the file's "uuid"/"USMT" metadata box. No window
// needed: the transfer window, its file list, the batch converter and the
// tests all call these.
//
// A title change grows or shrinks the file by the change in the entry's
// size. When only the rest of the movie box follows the entry (the movie box
// is the last box, as our writer makes it), those few bytes move in place.
// When media data follows (movie box first), the whole file is written anew
// beside itself, flushed and renamed over the old one, so an interruption
// leaves either the old file or the new one.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/file_operation.h"
#include "transfer/mp4_chunk_offsets.h"
#include "transfer/mp4_file_io.h"
#include "transfer/mp4_title_walk.h"

// Longest title stored and shown, in characters (a character outside the
// basic plane takes two UTF-16 units); longer ones are cut.
constexpr std::size_t kMaxTitleChars = 255;

// True when the text after the last '.' of path equals ext ("mp4"), without
// regard to case.
bool IsMp4Name(const std::string& path, const std::string& ext);

// The whole title (at most kMaxTitleChars characters) as UTF-8, or empty
// text when the name does not end in ".mp4", the file cannot be opened or
// holds no title entry.
std::string ReadMp4Title(const std::string& path);

enum class TitleWriteResult {
  Written,        // also when the stored title was already the same: then no byte changed
  NotMp4Name,     // not a ".mp4" name: the file was not opened
  OpenFailed,     // logged "Fail to open mp4 file <path>"
  NotFound,       // logged "Fail to find mp4 title"; file unchanged
  Refused,        // a layout that cannot be patched safely; logged, file unchanged
  NoRoom,         // not enough free space to grow the file in place; file unchanged
  NoRoomForCopy,  // not enough free space for the new file beside it; file unchanged
  Cancelled,      // stopped through the progress callback; file unchanged
  RewriteFailed,  // the new file beside it could not be written; file unchanged
  WriteFailed,    // an I/O error after the file had started to change in place
};

// Why the title could not be written, as words that follow the file's name
// ("has no PSP title entry ..."); empty for Written.
std::string TitleWriteProblem(TitleWriteResult result);

// A title change worked out before anything is written, so a caller can
// learn whether the whole file has to be written anew (and show progress
// for that, off its own thread) before it starts.
class Mp4TitleChange {
 public:
  // Opens path, finds the title entry and checks that the change can be
  // made. Written when Apply may follow; any other result is final and was
  // logged.
  TitleWriteResult Prepare(const std::string& path, std::u16string_view title);

  // True when media data follows the entry and the file is written anew.
  bool RewritesFile() const { return rewrite_; }

  // Writes the change. progress is called while a file is written anew
  // (bytes of the new file) and may cancel it.
  TitleWriteResult Apply(const FileOpProgressFn& progress = {});

 private:
  TitleWriteResult ApplyInPlace();
  // Writes the entry, the three enclosing box sizes and the chunk offsets
  // into target (the file itself, or its new copy).
  bool WriteChangedFields(Mp4File& target) const;

  std::string path_;
  Mp4File file_;
  std::uint64_t fileSize_ = 0;
  Mp4TitleLocation loc_;
  std::vector<std::uint8_t> entry_;  // the whole new entry, header included
  std::int64_t diff_ = 0;
  std::vector<ChunkOffsetTable> tables_;  // already moved by diff_
  bool unchanged_ = false;
  bool rewrite_ = false;
};

// Prepare and Apply in one; an empty title is stored as " ". Every outcome
// other than Written is also in the diagnostic log.
TitleWriteResult WriteMp4Title(const std::string& path, std::u16string_view title,
                               const FileOpProgressFn& progress = {});
