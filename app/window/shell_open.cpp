#include "app/window/shell_open.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

#include "core/diag_log.h"

bool ShellOpen(const std::string& target) {
  QString text = QString::fromStdString(target);
  QUrl url = text.contains("://") ? QUrl(text) : QUrl::fromLocalFile(text);
  if (url.isValid() && QDesktopServices::openUrl(url)) return true;
  WriteLog("Cannot open %s", target.c_str());
  return false;
}

bool StartProgram(const std::string& program) {
  if (QProcess::startDetached(QString::fromStdString(program), {})) return true;
  WriteLog("Cannot start %s", program.c_str());
  return false;
}
