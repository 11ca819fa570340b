#pragma once
// What the batch converter says on the terminal: the progress line (one
// self-updating line with a bar when standard error is a terminal, plain
// lines every few seconds otherwise), results on standard output, errors on
// standard error, and the engine's message boxes as printed messages and
// terminal questions.
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "app/core/message_dlg.h"
#include "platform/core/win_types.h"

class BatchConsole {
 public:
  BatchConsole(bool quiet, std::FILE* out = stdout, std::FILE* err = stderr);

  // The window's progress line and its bar position (0 to 100).
  void Progress(const std::string& line, int percent);
  // Ends the progress display of one file (the terminal line is cleared).
  void EndProgress();

  void Info(const std::string& text);   // standard output, unless quiet
  void Error(const std::string& text);  // standard error, always

  // A yes/no question on the terminal; false when standard input is not a
  // terminal, at end of input or when a stop signal arrives meanwhile.
  bool Ask(const std::string& question);

  bool quiet() const { return quiet_; }

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

// The engine's message boxes for the batch: notices and errors are printed
// and kept for the file under way; questions are asked on the terminal, or
// answered Yes with --yes, or refused when nobody can answer.
class BatchMessageDlg : public MessageDlgHandler {
 public:
  BatchMessageDlg(BatchConsole& console, bool answerYes);
  ~BatchMessageDlg() override;
  BatchMessageDlg(const BatchMessageDlg&) = delete;
  BatchMessageDlg& operator=(const BatchMessageDlg&) = delete;

  int Show(const std::string& text, MsgKind kind, unsigned buttons) override;

  // The texts shown since the last call, emptied.
  std::vector<std::string> TakeMessages();

  // The engine's texts point the window's user at the batch converter; in
  // the batch converter that advice is dropped.
  static std::string WithoutBatchAdvice(const std::string& text);

 private:
  BatchConsole& console_;
  bool answerYes_;
  std::mutex mutex_;  // guards messages_ (questions may come from the capture thread)
  std::vector<std::string> messages_;
};
