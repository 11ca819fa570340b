// corvane-batch: the batch window of the converter.
//
//   corvane-batch [--convert] [--screenshot FILE] [FILE...]
//
// FILEs (paths or file URLs; folders give their video files) go into the
// list. --convert starts converting them at once. --screenshot FILE saves a
// picture of the window once a file is a third converted, then stops the
// batch (its output finished) and quits.
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/batchwindow/batch_form.h"
#include "core/diag_log.h"
#include "app/window/crash_report.h"
#include "app/window/quit_signals.h"
#include "app/window/theme.h"
#include "platform/com/com.h"
#include "platform/core/fpu.h"
#include "platform/core/malloc_setup.h"
#include "platform/core/paths.h"

// SDL's audio subsystem keeps a few bytes until the process ends (sanitizer builds).
extern "C" const char* __lsan_default_suppressions() { return "leak:libSDL2\n"; }

namespace {
// The picture is taken this far into the file under way.
constexpr int kScreenshotPercent = 33;

struct Arguments {
  QStringList files;
  bool convert = false;
  QString screenshot;
};

Arguments Parse(const QStringList& args) {
  Arguments a;
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--convert") a.convert = true;
    else if (args[i] == "--screenshot" && i + 1 < args.size()) a.screenshot = args[++i];
    else if (args[i].startsWith("file:")) a.files << QUrl(args[i]).toLocalFile();
    else a.files << args[i];
  }
  return a;
}

// Takes the picture a third into a file; a batch that ends before that
// (nothing to convert, no profile) ends the program with a failure.
void TakeScreenshotWhileConverting(TBatchForm& form, const QString& file) {
  auto taken = std::make_shared<bool>(false);
  QObject::connect(&form, &TBatchForm::progressShown, &form, [&form, file, taken](int, int percent) {
    if (*taken || percent < kScreenshotPercent) return;
    *taken = true;
    form.grab().save(file, "PNG");
    WriteLog("Saved %s", file.toLocal8Bit().constData());
    form.QuitWithoutQuestions();
  });
  QObject::connect(&form, &TBatchForm::batchFinished, &form, [&form, taken](int) {
    if (*taken) return;
    std::fprintf(stderr, "corvane-batch: no picture: %s\n", form.SummaryLabel->text().toLocal8Bit().constData());
    QCoreApplication::exit(1);
  });
}
}  // namespace

int main(int argc, char** argv) {
  KeepLargeBlocksOnTheirOwnPages();
  // A batch makes no sound: the graph's audio renderer never opens the device.
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  SetFpu53BitMasked();
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Corvane Video Converter (Batch Mode)");
  QGuiApplication::setDesktopFileName("corvane-batch");
  ApplyTheme(app);
  InstallCrashReport(ProgramDataFolder());
  int status = 0;
  {
    TBatchForm form(ProgramDataFolder());
    QuitOnSignals quitOnSignals([&form] { form.QuitWithoutQuestions(); });
    const Arguments args = Parse(QCoreApplication::arguments());
    form.AddFiles(args.files);
    if (!args.screenshot.isEmpty()) TakeScreenshotWhileConverting(form, args.screenshot);
    form.show();
    if (args.convert) QTimer::singleShot(0, &form, [&form] { form.ConvertAllBtn->click(); });
    status = app.exec();
  }
  CoUninitialize();
  WriteLog("Exit");
  return status;
}
