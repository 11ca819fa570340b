#include "app/window/window_grab.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "app/window/ask_default_output_folder.h"
#include "app/window/finished_recording.h"
#include "app/window/lumivault_form.h"
#include "app/window/output_setting_dlg.h"
#include "app/window/save_profile_form.h"
#include "app/window/video_panel.h"

namespace {
bool Grab(QWidget* w, const QString& file) {
  QApplication::processEvents();
  bool ok = w->grab().save(file, "PNG");
  WriteLog("%s %s", ok ? "Saved" : "Cannot save", file.toLocal8Bit().constData());
  return ok;
}

// Shows a dialog without waiting, saves its picture and hides it again.
void GrabDialog(QWidget* dialog, const QString& file) {
  if (!dialog) return;
  dialog->show();
  Grab(dialog, file);
  dialog->hide();
}

// With a source open: Convert, and a picture once the progress line shows
// a few seconds converted; then the program quits as on SIGTERM.
void GrabConverting(TLumivaultForm& form, const QString& folder) {
  form.StartRecordingButton->click();
  auto* poll = new QTimer(&form);
  QObject::connect(poll, &QTimer::timeout, &form, [&form, folder, poll] {
    if (Frame().IsRecording && form.ProgressBar->value() < 30) return;
    poll->stop();
    Grab(&form, folder + "/main-window-converting.png");
    form.QuitWithoutQuestions();
  });
  poll->start(20);
}

void GrabAll(TLumivaultForm& form, const QString& folder) {
  Grab(&form, folder + "/main-window.png");
  GrabDialog(form.OutputSettingDlg, folder + "/output-settings.png");
  GrabDialog(form.FinishedRecording, folder + "/finished-recording.png");
  GrabDialog(form.SaveProfileForm, folder + "/save-profile.png");
  GrabDialog(form.AskDefaultOutputFolderForm, folder + "/default-folder.png");
  if (Frame().SourceReadiness == 2) GrabConverting(form, folder);
  else QApplication::quit();
}
}  // namespace

void ScheduleWindowGrabs(TLumivaultForm& form, const QString& folder) {
  QDir().mkpath(folder);
  // With a source open the main window is taken once its video has played
  // for a moment (or after 10 s at the latest).
  auto* poll = new QTimer(&form);
  auto started = std::make_shared<QElapsedTimer>();
  started->start();
  QObject::connect(poll, &QTimer::timeout, &form, [&form, folder, poll, started] {
    const bool opening = !form.SourcePath().empty();
    const bool showing = Frame().PlaybackState == 2 && !form.Panel1->LastFrame().isNull() &&
                         form.TimeLabel->text().startsWith("0:00:01");
    if (started->elapsed() < 600 || (opening && !showing && started->elapsed() < 10000)) return;
    poll->stop();
    GrabAll(form, folder);
  });
  poll->start(50);
}
