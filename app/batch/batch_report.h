#pragma once
// What a batch tells its front end, and asks it: batchvc prints it on the
// terminal, the batch window shows it in its list. Called on the thread that
// runs the batch (Ask also on the engine's capture thread).
#include <string>

#include "app/batch/batch_queue.h"

struct FileOutcome {
  bool converted = false;    // the whole range is in the output
  bool stopped = false;      // a stop request ended it
  double videoSeconds = 0.0; // of the outputs kept
  double wallSeconds = 0.0;
};

class BatchReport {
 public:
  virtual ~BatchReport() = default;

  // A step or result of the batch, and something that went wrong.
  virtual void Info(const std::string& text) = 0;
  virtual void Error(const std::string& text) = 0;
  // The window's progress line of the file under way and its bar (0 to 100).
  virtual void Progress(const std::string& line, int percent) = 0;
  // The progress of one file has ended.
  virtual void EndProgress() = 0;
  // A yes/no question (overwriting); false when nobody can answer.
  virtual bool Ask(const std::string& question) = 0;
  // What a refused question adds to it in the file's message.
  virtual std::string DeclinedNote() const { return ": no"; }
  // Only errors are wanted.
  virtual bool quiet() const { return false; }

  // A file of the queue is taken, and its conversion named its output.
  virtual void FileBegins(const BatchItem& /*item*/) {}
  virtual void FileOutput(const BatchItem& /*item*/, const std::string& /*output*/) {}
  // A stop request arrived: the output is being finished.
  virtual void FileStopping(const std::string& /*output*/) {}
  // Why the file under way failed or was cut short.
  virtual void FileFailed(const std::string& source, const std::string& why) { Error(source + ": " + why); }
  // The file is done with.
  virtual void FileEnds(const BatchItem& /*item*/, const FileOutcome& /*outcome*/) {}
  // The batch is over: files converted of all, time and speed.
  virtual void BatchEnds(const std::string& summary) { Info(summary); }
};
