#pragma once
// What the batch converter says on the terminal: the progress line (one
// self-updating line with a bar when standard error is a terminal, plain
// lines every few seconds otherwise), results on standard output, errors on
// standard error, and questions asked on the terminal.
#include <cstdio>
#include <mutex>
#include <string>

#include "app/batch/batch_report.h"
#include "platform/core/win_types.h"

class BatchConsole : public BatchReport {
 public:
  BatchConsole(bool quiet, std::FILE* out = stdout, std::FILE* err = stderr);

  // The window's progress line and its bar position (0 to 100).
  void Progress(const std::string& line, int percent) override;
  // Ends the progress display of one file (the terminal line is cleared).
  void EndProgress() override;

  void Info(const std::string& text) override;   // standard output, unless quiet
  void Error(const std::string& text) override;  // standard error, always

  // A yes/no question on the terminal; false when standard input is not a
  // terminal, at end of input or when a stop signal arrives meanwhile.
  bool Ask(const std::string& question) override;

  void FileStopping(const std::string& output) override;
  std::string DeclinedNote() const override { return ": no (--yes overwrites)"; }

  bool quiet() const override { return quiet_; }

 private:
  void ClearProgressLocked();
  int Columns() const;

  std::mutex mutex_;  // guards the two streams and the progress state
  bool quiet_;
  std::FILE* out_;
  std::FILE* err_;
  bool errIsTerminal_;
  bool lineShown_ = false;     // a progress line is on the terminal
  DWORD lastPlainTick_ = 0;
  bool plainShown_ = false;    // a plain line was printed for this file
  std::string plainPass_;      // the "[Pass n of 2]" of the last plain line
};
