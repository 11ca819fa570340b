#pragma once
// The copy, delete and title rewrite of the transfer window with a progress
// dialog. Copy and delete run the window-free routines of
// transfer/file_operation.h on the user-interface thread (they ask
// questions as they go); work that asks nothing runs on a thread of its own
// while the window stays painted. The modal dialog shows how far the work is
// and offers Cancel. Questions and errors go through the message box helper.
#include <QString>

#include <functional>
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

// Runs work on a thread of its own and returns when it has ended; until
// then the dialog is shown (at once, so nothing else in the owner can be
// clicked) and follows the progress work reports. Cancel makes that
// progress callback return false. work must not touch widgets.
void RunWithProgress(QWidget* owner, const QString& title,
                     const std::function<void(const FileOpProgressFn& progress)>& work);
