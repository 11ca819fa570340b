#pragma once
// The message box helper. Windows ask their questions through ShowMessageDlg;
// the front end installs the handler (a themed box, a terminal prompt, a test).
#include <string>

enum class MsgKind { Warning, Error, Information, Confirmation };

// Button set: any combination of these bits.
enum MsgButtons : unsigned {
  mbYes = 1u << 0,
  mbNo = 1u << 1,
  mbOK = 1u << 2,
  mbCancel = 1u << 3,
};

// Results, with the toolkit's values.
constexpr int mrOk = 1;
constexpr int mrCancel = 2;
constexpr int mrYes = 6;
constexpr int mrNo = 7;

class MessageDlgHandler {
 public:
  virtual ~MessageDlgHandler() = default;
  virtual int Show(const std::string& text, MsgKind kind, unsigned buttons) = 0;
  // A plain system message box with a caption ("Error"); OK only.
  virtual void SystemBox(const std::string& text, const std::string& caption) {
    Show(caption + ": " + text, MsgKind::Error, mbOK);
  }
};

// Installs the handler; nullptr restores the default, which logs the text and
// answers No (or Cancel, or OK) without asking anybody.
void SetMessageDlgHandler(MessageDlgHandler* handler);

int ShowMessageDlg(const std::string& text, MsgKind kind, unsigned buttons);
void ShowSystemMessageBox(const std::string& text, const std::string& caption);
