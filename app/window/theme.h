#pragma once
// The program's look: one style and palette for every window, standing in
// for the themed controls of the original toolkit.
class QApplication;

void ApplyTheme(QApplication& app);
