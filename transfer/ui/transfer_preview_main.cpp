// Shows the transfer window without the main window.
//
//   transfer_preview [--folder DIR] [--h264] [--select NAME] [--screenshot FILE.png]
//
// --folder is the computer-side folder (as if the last output had been
// written there), --select selects that file in the device list, and
// --screenshot saves a picture of the window once it is laid out and quits.
// The memory stick is whatever detection finds, including the folders named
// in CORVANE_EXTRA_VOLUMES.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

#include "core/frame_state.h"
#include "core/message_dlg.h"
#include "settings/settings.h"
#include "transfer/ui/shell_list_view.h"
#include "transfer/ui/transfer_form.h"

namespace {
// Questions of the window as plain message boxes.
class BoxHandler : public MessageDlgHandler {
 public:
  int Show(const std::string& text, MsgKind kind, unsigned buttons) override {
    QMessageBox::StandardButtons qb;
    if (buttons & mbYes) qb |= QMessageBox::Yes;
    if (buttons & mbNo) qb |= QMessageBox::No;
    if (buttons & mbOK) qb |= QMessageBox::Ok;
    if (buttons & mbCancel) qb |= QMessageBox::Cancel;
    const auto icon = kind == MsgKind::Confirmation ? QMessageBox::Question
                      : kind == MsgKind::Error      ? QMessageBox::Critical
                                                    : QMessageBox::Information;
    QMessageBox box(icon, QStringLiteral("Corvane Video Converter"), QString::fromStdString(text), qb);
    switch (box.exec()) {
      case QMessageBox::Yes: return mrYes;
      case QMessageBox::No: return mrNo;
      case QMessageBox::Cancel: return mrCancel;
      default: return mrOk;
    }
  }
};

void SelectInDeviceList(TTransferForm& form, const QString& name) {
  TTeMyShellListView* list = form.TeShellListView2;
  for (int row = 0; row < list->ItemCount(); ++row) {
    if (QFileInfo(list->ItemPath(row)).fileName() == name) {
      list->setFocus();
      list->selectRow(row);
      return;
    }
  }
  std::fprintf(stderr, "transfer_preview: %s is not in the device list\n", qPrintable(name));
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.addHelpOption();
  QCommandLineOption folder("folder", "Computer-side folder.", "DIR");
  QCommandLineOption h264("h264", "Start in H.264 mode.");
  QCommandLineOption select("select", "File to select in the device list.", "NAME");
  QCommandLineOption screenshot("screenshot", "Save a PNG of the window and quit.", "FILE");
  parser.addOptions({folder, h264, select, screenshot});
  parser.process(app);

  BoxHandler boxes;
  SetMessageDlgHandler(&boxes);
  AppSettings().formatMp4 = parser.isSet(h264) ? 1 : 0;
  if (parser.isSet(folder)) Frame().SetOutputPath(LocalPath(parser.value(folder)) + "/M4V20001.MP4");

  TTransferForm form;
  form.show();
  if (parser.isSet(select)) SelectInDeviceList(form, parser.value(select));
  if (parser.isSet(screenshot)) {
    // Give the window system a moment to map and paint the window first.
    QTimer::singleShot(700, &form, [&] {
      const bool saved = form.grab().save(parser.value(screenshot), "PNG");
      if (!saved) std::fprintf(stderr, "transfer_preview: cannot write %s\n", qPrintable(parser.value(screenshot)));
      app.exit(saved ? 0 : 1);
    });
  }
  const int rc = app.exec();
  SetMessageDlgHandler(nullptr);
  return rc;
}
