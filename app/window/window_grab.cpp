#include "app/window/window_grab.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include "app/core/diag_log.h"
#include "app/window/ask_default_output_folder.h"
#include "app/window/finished_recording.h"
#include "app/window/lumivault_form.h"
#include "app/window/output_setting_dlg.h"
#include "app/window/save_profile_form.h"

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
}  // namespace

void ScheduleWindowGrabs(TLumivaultForm& form, const QString& folder) {
  QDir().mkpath(folder);
  QTimer::singleShot(600, &form, [&form, folder] {
    Grab(&form, folder + "/main-window.png");
    GrabDialog(form.OutputSettingDlg, folder + "/output-settings.png");
    GrabDialog(form.FinishedRecording, folder + "/finished-recording.png");
    GrabDialog(form.SaveProfileForm, folder + "/save-profile.png");
    GrabDialog(form.AskDefaultOutputFolderForm, folder + "/default-folder.png");
    QApplication::quit();
  });
}
