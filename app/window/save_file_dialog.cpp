#include "app/window/save_file_dialog.h"

#include <QFileDialog>

QString AskSaveFileName(QWidget* parent, const std::string& startPath, const FileFilter& filter) {
  QFileDialog dialog(parent, QString(), QString::fromStdString(startPath),
                     QString::fromStdString(QtFilterText(filter)));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QString::fromStdString(filter.extension));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}
