#include "app/batch/batch_message_dlg.h"

#include <utility>

#include "app/batch/batch_text.h"
#include "core/diag_log.h"

BatchMessageDlg::BatchMessageDlg(BatchReport& report, bool answerYes) : report_(report), answerYes_(answerYes) {
  SetMessageDlgHandler(this);
}

BatchMessageDlg::~BatchMessageDlg() { SetMessageDlgHandler(nullptr); }

std::string BatchMessageDlg::WithoutBatchAdvice(const std::string& text) {
  static const char kAdvice[] = "Please use \"Video Converter (Batch Mode)\" to convert this file.";
  std::string t = text;
  if (const auto at = t.find(kAdvice); at != std::string::npos) t.erase(at, sizeof(kAdvice) - 1);
  return WithoutTrailingBlanks(t);
}

int BatchMessageDlg::Show(const std::string& text, MsgKind kind, unsigned buttons) {
  const std::string shown = WithoutBatchAdvice(text);
  WriteLog("Message: %s", text.c_str());
  if (kind != MsgKind::Confirmation || !(buttons & mbYes)) {
    std::lock_guard lock(mutex_);
    messages_.push_back(shown);
    return (buttons & mbOK) ? mrOk : (buttons & mbYes) ? mrYes : mrCancel;
  }
  // The questions the engine asks in a conversion are about overwriting.
  bool yes = answerYes_;
  if (!yes) yes = report_.Ask(shown);
  if (!yes) {
    std::lock_guard lock(mutex_);
    messages_.push_back(shown + report_.DeclinedNote());
  }
  return yes ? mrYes : ((buttons & mbNo) ? mrNo : mrCancel);
}

std::vector<std::string> BatchMessageDlg::TakeMessages() {
  std::lock_guard lock(mutex_);
  return std::exchange(messages_, {});
}
