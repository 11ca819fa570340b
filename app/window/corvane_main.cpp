// corvane: the desktop video converter.
//
//   corvane [--screenshots FOLDER]
//
// --screenshots (or CORVANE_SCREENSHOTS=FOLDER) saves pictures of the main
// window and its dialogs into FOLDER once they are laid out, and quits.
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

#include <memory>

#include "app/core/diag_log.h"
#include "app/window/corvane_application.h"
#include "app/window/crash_report.h"
#include "app/window/lumivault_form.h"
#include "app/window/theme.h"
#include "app/window/window_grab.h"
#include "platform/com/com.h"
#include "platform/core/fpu.h"
#include "platform/core/paths.h"

namespace {
QString ScreenshotFolder(const QStringList& args) {
  int i = args.indexOf("--screenshots");
  if (i >= 0 && i + 1 < args.size()) return args[i + 1];
  return qEnvironmentVariable("CORVANE_SCREENSHOTS");
}

void CentreOnScreen(QWidget& w) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect avail = screen->availableGeometry();
  w.move(avail.center() - QPoint(w.width() / 2, w.height() / 2));
}

void RunMainWindow(CorvaneApplication& app) {
  WindowOptions options;
  options.programFolder = ExecutableFolder();
  InstallCrashReport(options.programFolder);
  TLumivaultForm form(options);
  form.CreateSmallForms();
  QApplication::setApplicationName("Corvane Video Converter");
  CentreOnScreen(form);
  form.show();
  QString shots = ScreenshotFolder(QCoreApplication::arguments());
  if (!shots.isEmpty()) ScheduleWindowGrabs(form, shots);
  app.exec();
  if (app.EscapedException()) std::rethrow_exception(app.EscapedException());
}
}  // namespace

int main(int argc, char** argv) {
  SetFpu53BitMasked();
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  CorvaneApplication app(argc, argv);
  ApplyTheme(app);
  try {
    RunMainWindow(app);
  } catch (const std::exception& e) {
    ShowExceptionBox(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    WriteLog("Exception!!!!!!!!!!!!!!!!!!!!!");
    QMessageBox::critical(nullptr, "Error", "Unexpected Exception");
    ShowExceptionBox(QString());
  }
  CoUninitialize();
  WriteLog("Exit");
  return 0;
}
