#pragma once
// Copying and deleting files and folders for the transfer window, with
// progress and cancel, and without a window: the window wraps these in its
// progress dialog. A copy is written under a hidden temporary name in the
// destination folder and renamed when complete, so an interrupted copy (full
// medium, cancel, unplugged device) never leaves a partial file under the
// final name, and a file it replaces stays intact until then.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct FileOpProgress {
  std::uint64_t bytesDone = 0;
  std::uint64_t bytesTotal = 0;  // of every file to copy; 0 for deletes
  std::size_t itemIndex = 0;     // of the top-level item being worked on
  std::size_t itemCount = 0;
  std::string currentPath;
};

// Called before each item and after every block copied; false cancels.
using FileOpProgressFn = std::function<bool(const FileOpProgress&)>;
// Asked when a file of the same name is already at the destination; true
// replaces it, false leaves it and skips the copy.
using FileOpReplaceFn = std::function<bool(const std::string& destPath)>;

struct FileOpResult {
  std::size_t itemsDone = 0;  // top-level items finished (copied, skipped or deleted)
  bool cancelled = false;
  std::string error;          // what stopped the operation, for the user; empty when none
  bool Ok() const { return !cancelled && error.empty(); }
};

// Copies each file or folder (with everything in it) into destFolder under
// its own name. Stops at the first error or cancel; what was copied before
// stays, the item being copied is removed. Without replace, existing files
// are kept.
FileOpResult CopyItems(const std::vector<std::string>& sources, const std::string& destFolder,
                       const FileOpProgressFn& progress = {}, const FileOpReplaceFn& replace = {});

// Deletes each file or folder (with everything in it). Stops at the first
// error or cancel.
FileOpResult DeleteItems(const std::vector<std::string>& paths,
                         const FileOpProgressFn& progress = {});
