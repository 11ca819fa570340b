#pragma once
// The engine's message boxes in a batch: notices and errors are kept for the
// file under way (and logged); questions go to the front end (the terminal
// or the batch window), or are answered Yes with --yes.
#include <mutex>
#include <string>
#include <vector>

#include "app/batch/batch_report.h"
#include "core/message_dlg.h"

class BatchMessageDlg : public MessageDlgHandler {
 public:
  BatchMessageDlg(BatchReport& report, bool answerYes);
  ~BatchMessageDlg() override;
  BatchMessageDlg(const BatchMessageDlg&) = delete;
  BatchMessageDlg& operator=(const BatchMessageDlg&) = delete;

  int Show(const std::string& text, MsgKind kind, unsigned buttons) override;

  // The texts shown since the last call, emptied.
  std::vector<std::string> TakeMessages();

  // The engine's texts point the window's user at the batch converter; in
  // a batch that advice is dropped.
  static std::string WithoutBatchAdvice(const std::string& text);

 private:
  BatchReport& report_;
  bool answerYes_;
  std::mutex mutex_;  // guards messages_ (questions may come from the capture thread)
  std::vector<std::string> messages_;
};
