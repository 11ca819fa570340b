#pragma once
// An output written under a temporary name beside its final one and renamed
// to the final name once it is finished: the final name is never seen
// half-written. The writer holds a lock on its temporary file for as long as
// it writes, so a temporary file whose lock is free was left by a program
// that was killed, and the next program writing in that folder removes it.
#include <string>

class TempOutput {
 public:
  TempOutput() = default;
  ~TempOutput();  // a file neither committed nor discarded is discarded
  TempOutput(const TempOutput&) = delete;
  TempOutput& operator=(const TempOutput&) = delete;

  // Creates and locks the temporary file for finalPath
  // (".NAME.corvane-PID.tmp" in the same folder); false, with errno set,
  // when it cannot be created. Something at finalPath that is not a plain
  // file (a device), or a writable file in a folder that takes no new
  // files, is written where it is: nothing to rename.
  bool Open(const std::string& finalPath);
  bool IsOpen() const { return lockFd_ >= 0 || direct_; }
  // The file being written, and the name it gets when finished.
  const std::string& TempPath() const { return temp_; }
  const std::string& FinalPath() const { return final_; }
  // Flushes the finished file to the disk and renames it to its final name
  // (replacing a file there); false, with errno set and the temporary file
  // removed, when that fails.
  bool Commit();
  // Removes the temporary file: the output could not be finished.
  void Discard();

 private:
  void Release();
  bool OpenDirect();
  int lockFd_ = -1;
  bool direct_ = false;  // written at its final name
  std::string temp_, final_;
};

// True when path is the name of a temporary output file.
bool IsTempOutputName(const std::string& path);

// Removes the temporary output files in folder that no program writes any
// more; returns how many went.
int RemoveAbandonedTempOutputs(const std::string& folder);
