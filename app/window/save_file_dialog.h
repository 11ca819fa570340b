#pragma once
// The save-file dialog the windows use for an output file name: one filter,
// its extension added when the user types none.
#include <QString>
#include <string>

#include "app/window/output_panel_rules.h"

class QWidget;

// The chosen path, or an empty text when the user cancelled.
QString AskSaveFileName(QWidget* parent, const std::string& startPath, const FileFilter& filter);
