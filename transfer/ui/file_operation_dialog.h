#pragma once
// The copy and delete of the transfer window with a progress dialog: the
// window-free routines of transfer/file_operation.h run on the user-interface
// thread while a modal progress dialog shows how far they are and offers
// Cancel. Questions and errors go through the message box helper.
#include <QString>

#include <string>
#include <vector>

#include "transfer/file_operation.h"

class QWidget;

// Copies paths into destFolder. A file already there is replaced only when
// the user answers Yes; a failure is shown in a message box.
FileOpResult CopyWithProgress(QWidget* owner, const QString& title, const std::vector<std::string>& paths,
                              const std::string& destFolder);

// Deletes paths. With confirm set, asks first and deletes nothing on No; a
// failure is shown in a message box.
FileOpResult DeleteWithProgress(QWidget* owner, const QString& title, const std::vector<std::string>& paths,
                                bool confirm);
