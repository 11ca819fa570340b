#include "app/window/shell_open.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "app/core/diag_log.h"

bool ShellOpen(const std::string& target) {
  QString text = QString::fromStdString(target);
  QUrl url = text.contains("://") ? QUrl(text) : QUrl::fromLocalFile(text);
  if (url.isValid() && QDesktopServices::openUrl(url)) return true;
  WriteLog("Cannot open %s", target.c_str());
  return false;
}

bool ShellRunInTerminal(const std::string& program) {
  const QString path = QString::fromStdString(program);
  const QString folder = QFileInfo(path).absolutePath();
  // The terminal shows the program's help, then keeps a shell open with the
  // program on its PATH.
  const QStringList command = {"sh", "-c",
                               "cd \"$1\" && PATH=\"$1:$PATH\" && export PATH && \"$0\" --help; echo; "
                               "exec \"${SHELL:-sh}\"",
                               path, folder};
  for (const char* terminal : {"x-terminal-emulator", "gnome-terminal", "konsole", "xfce4-terminal", "xterm"}) {
    const QString found = QStandardPaths::findExecutable(terminal);
    if (found.isEmpty()) continue;
    const QString separator = QString(terminal) == "gnome-terminal" ? "--" : "-e";
    if (QProcess::startDetached(found, QStringList{separator} + command)) return true;
  }
  WriteLog("Cannot start %s: no terminal program found", program.c_str());
  return false;
}
