#pragma once
// Replaces a range of a file's bytes when everything after it has to move:
// the file is written anew beside itself under a hidden name, flushed to the
// medium and only then renamed over the old one, so an interruption (pulled
// stick, crash, power loss) leaves either the old file or the new one.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "transfer/file_operation.h"
#include "transfer/mp4_file_io.h"

enum class RewriteResult {
  Done,
  NoRoom,     // the folder's file system has less free space than the new file needs
  Cancelled,  // progress returned false
  Failed,     // creating, writing, flushing or renaming the new file failed (logged)
};

struct RangeReplacement {
  std::uint64_t start = 0;  // [start, end) of the old file is replaced by bytes
  std::uint64_t end = 0;
  std::vector<std::uint8_t> bytes;
};

// Fixes fields of the new file once its bytes are all written (box sizes,
// offsets); false on a write failure.
using RewritePatchFn = std::function<bool(Mp4File& copy)>;

// Writes source (the file at path, of size bytes) anew with one range
// replaced, runs patch on the copy and puts it in place of path. progress
// gets the bytes of the new file written so far. On any result but Done
// the new file is removed and path is as it was.
RewriteResult RewriteWithReplacedRange(const std::string& path, const Mp4File& source, std::uint64_t size,
                                       const RangeReplacement& range, const RewritePatchFn& patch,
                                       const FileOpProgressFn& progress);
