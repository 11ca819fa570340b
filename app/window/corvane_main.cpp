// corvane: the desktop video converter.
//
//   corvane [FILE | --open FILE] [--screenshots FOLDER]
//
// FILE (a path or a file URL) opens as "Open File ..." does, once the
// window is up. SIGINT and SIGTERM close the window as a quit request.
// --screenshots (or CORVANE_SCREENSHOTS=FOLDER) saves pictures of the main
// window and its dialogs into FOLDER once they are laid out (with the
// opened file's video showing), and quits.
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <memory>

#include "core/diag_log.h"
#include "app/window/corvane_application.h"
#include "app/window/crash_report.h"
#include "app/window/lumivault_form.h"
#include "app/window/quit_signals.h"
#include "app/window/theme.h"
#include "app/window/window_grab.h"
#include "platform/com/com.h"
#include "platform/core/fpu.h"
#include "platform/core/malloc_setup.h"
#include "platform/core/paths.h"

namespace {
QString OptionValue(const QStringList& args, const char* option) {
  int i = args.indexOf(option);
  return i >= 0 && i + 1 < args.size() ? args[i + 1] : QString();
}

// The file to open: --open FILE, else the first argument that is no
// option (a file manager's "Open with" passes a path or a file URL).
QString SourceArgument(const QStringList& args) {
  const QString opened = OptionValue(args, "--open");
  if (!opened.isEmpty()) return opened;
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--open" || args[i] == "--screenshots") {
      ++i;
      continue;
    }
    if (args[i].startsWith("--")) continue;
    return args[i].startsWith("file:") ? QUrl(args[i]).toLocalFile() : args[i];
  }
  return QString();
}

QString ScreenshotFolder(const QStringList& args) {
  QString folder = OptionValue(args, "--screenshots");
  return folder.isEmpty() ? qEnvironmentVariable("CORVANE_SCREENSHOTS") : folder;
}

void CentreOnScreen(QWidget& w) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect avail = screen->availableGeometry();
  w.move(avail.center() - QPoint(w.width() / 2, w.height() / 2));
}

void RunMainWindow(CorvaneApplication& app) {
  WindowOptions options;
  options.programFolder = ProgramDataFolder();
  InstallCrashReport(options.programFolder);
  TLumivaultForm form(options);
  form.CreateSmallForms();
  QApplication::setApplicationName("Corvane Video Converter");
  CentreOnScreen(form);
  form.show();
  QuitOnSignals quitOnSignals([&form] { form.QuitWithoutQuestions(); });
  const QStringList args = QCoreApplication::arguments();
  const QString source = SourceArgument(args);
  if (!source.isEmpty()) QTimer::singleShot(0, &form, [&form, source] { form.OpenVideoFile(source); });
  QString shots = ScreenshotFolder(args);
  if (!shots.isEmpty()) ScheduleWindowGrabs(form, shots);
  app.exec();
  if (app.EscapedException()) std::rethrow_exception(app.EscapedException());
}
}  // namespace

int main(int argc, char** argv) {
  KeepLargeBlocksOnTheirOwnPages();
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
