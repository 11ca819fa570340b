#include "app/window/corvane_application.h"

#include <QMessageBox>

#include "core/diag_log.h"

void ShowExceptionBox(const QString& text) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), text, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

bool CorvaneApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    WriteLog("Exception in an event handler: %s", e.what());
    ShowExceptionBox(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    // Not the toolkit's kind: it cannot be shown here, so the loop ends and
    // the top of the process reports it.
    if (!escaped_) escaped_ = std::current_exception();
    exit(1);
  }
  return false;
}
