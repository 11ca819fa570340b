#include "core/message_dlg.h"

#include <atomic>

#include "core/diag_log.h"

namespace {
std::atomic<MessageDlgHandler*> g_handler{nullptr};

// Without a handler nobody can answer, so the safe answer is the refusal.
int DefaultAnswer(unsigned buttons) {
  if (buttons & mbNo) return mrNo;
  if (buttons & mbCancel) return mrCancel;
  return mrOk;
}
}  // namespace

void SetMessageDlgHandler(MessageDlgHandler* handler) { g_handler.store(handler); }

int ShowMessageDlg(const std::string& text, MsgKind kind, unsigned buttons) {
  if (MessageDlgHandler* h = g_handler.load()) return h->Show(text, kind, buttons);
  WriteLog("Message: %s", text.c_str());
  return DefaultAnswer(buttons);
}

void ShowSystemMessageBox(const std::string& text, const std::string& caption) {
  if (MessageDlgHandler* h = g_handler.load()) {
    h->SystemBox(text, caption);
    return;
  }
  WriteLog("%s: %s", caption.c_str(), text.c_str());
}
