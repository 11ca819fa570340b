#pragma once
// The message box behind ShowMessageDlg in the desktop program: a modal box
// in the application's theme, centred on the main window, with the icon of
// the message kind and the asked buttons.
#include <QPointer>
#include <QWidget>

#include "app/core/message_dlg.h"

class QtMessageDlg : public MessageDlgHandler {
 public:
  explicit QtMessageDlg(QWidget* owner) : owner_(owner) {}
  int Show(const std::string& text, MsgKind kind, unsigned buttons) override;
  void SystemBox(const std::string& text, const std::string& caption) override;

 private:
  QPointer<QWidget> owner_;
};

// The caption of a message kind: "Warning", "Error", "Information", "Confirm".
const char* MessageKindCaption(MsgKind kind);
