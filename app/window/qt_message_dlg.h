#pragma once
// The message box behind ShowMessageDlg in the desktop program: a modal box
// in the application's theme, centred on the main window, with the icon of
// the message kind and the asked buttons.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "core/message_dlg.h"

// Any thread may ask (the encoder asks before it overwrites the next part
// file from the capture thread): the box is always shown on the
// application's thread and the asking thread waits for the answer. When that
// thread does not take the question up within kPickUpMs (it is itself
// waiting, perhaps for the asker), the asker gets the refusing answer at
// once, so neither waits for the other.
class CrossThreadQuestions;

class QtMessageDlg : public MessageDlgHandler {
 public:
  explicit QtMessageDlg(QWidget* owner);
  ~QtMessageDlg() override;
  int Show(const std::string& text, MsgKind kind, unsigned buttons) override;
  void SystemBox(const std::string& text, const std::string& caption) override;

  static constexpr int kPickUpMs = 3000;

  // Runs around a box shown for another thread's question. The asker may
  // hold a lock the engine waits for, so the window holds back its own
  // entries into the engine while the box is up.
  void SetCrossThreadScope(std::function<void(const std::function<void()>&)> scope) {
    crossThreadScope_ = std::move(scope);
  }

 private:
  int ShowHere(const std::string& text, MsgKind kind, unsigned buttons);
  int ShowFromOtherThread(const std::string& text, MsgKind kind, unsigned buttons);

  friend class CrossThreadQuestions;

  QPointer<QWidget> owner_;
  // Lives on the application's thread; questions from other threads are
  // queued to it, and those still queued go with it.
  std::unique_ptr<CrossThreadQuestions> questions_;
  std::function<void(const std::function<void()>&)> crossThreadScope_;  // application's thread only
};

// The caption of a message kind: "Warning", "Error", "Information", "Confirm".
const char* MessageKindCaption(MsgKind kind);
