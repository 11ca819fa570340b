#include "app/window/qt_message_dlg.h"

#include <QMessageBox>
#include <QPushButton>

const char* MessageKindCaption(MsgKind kind) {
  switch (kind) {
    case MsgKind::Warning: return "Warning";
    case MsgKind::Error: return "Error";
    case MsgKind::Information: return "Information";
    case MsgKind::Confirmation: return "Confirm";
  }
  return "";
}

namespace {
QMessageBox::Icon KindIcon(MsgKind kind) {
  switch (kind) {
    case MsgKind::Warning: return QMessageBox::Warning;
    case MsgKind::Error: return QMessageBox::Critical;
    case MsgKind::Information: return QMessageBox::Information;
    case MsgKind::Confirmation: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

// Places the box's centre on the owner's centre once its size is known.
void CentreOn(QMessageBox& box, QWidget* owner) {
  if (!owner) return;
  box.adjustSize();
  QRect frame = owner->frameGeometry();
  box.move(frame.center() - QPoint(box.width() / 2, box.height() / 2));
}
}  // namespace

int QtMessageDlg::Show(const std::string& text, MsgKind kind, unsigned buttons) {
  QMessageBox box(owner_.data());
  box.setWindowTitle(MessageKindCaption(kind));
  box.setIcon(KindIcon(kind));
  box.setText(QString::fromStdString(text).trimmed());
  struct Choice {
    unsigned bit;
    QMessageBox::StandardButton button;
    int result;
  };
  const Choice choices[] = {{mbYes, QMessageBox::Yes, mrYes},
                            {mbNo, QMessageBox::No, mrNo},
                            {mbOK, QMessageBox::Ok, mrOk},
                            {mbCancel, QMessageBox::Cancel, mrCancel}};
  for (const Choice& c : choices)
    if (buttons & c.bit) box.addButton(c.button);
  if (buttons == 0) box.addButton(QMessageBox::Ok);
  // Closing the box with its title bar counts as the refusing button.
  if (buttons & mbCancel) box.setEscapeButton(QMessageBox::Cancel);
  else if (buttons & mbNo) box.setEscapeButton(QMessageBox::No);
  CentreOn(box, owner_.data());
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  for (const Choice& c : choices)
    if (clicked && clicked == box.button(c.button)) return c.result;
  if (buttons & mbCancel) return mrCancel;
  if (buttons & mbNo) return mrNo;
  return mrOk;
}

void QtMessageDlg::SystemBox(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text),
                  QMessageBox::Ok, owner_.data());
  CentreOn(box, owner_.data());
  box.exec();
}
