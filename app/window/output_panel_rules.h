#pragma once
// The text and arithmetic rules of the output panel ("Convert To:" and the
// output folder row), kept free of widgets so that they can be tested alone.
#include <string>

#include "profiles/picture_size.h"

// "%d:%02d:%02d" of whole seconds (hours, minutes, seconds).
std::string HmsText(int seconds);

// A time cell as the user typed it: "h:m:s", else "m:s", else "s", else 0.
int ParseTimeCell(const std::string& text);

// The Duration cell: "Full" for 0, else the time text.
std::string DurationCellText(int seconds);

// The leading integer / real number of a cell ("768 kbps" gives 768); 0
// when the text does not start with a number.
int LeadingInt(const std::string& text);
double LeadingReal(const std::string& text);

// "About %.1f MB per minute" for the summed bit rates in kbit/s.
std::string MbPerMinuteText(int videoKbps, int audioKbps);
// "Estimated size: %d MB" for a title of titleSeconds at those rates.
std::string EstimatedSizeText(double titleSeconds, int videoKbps, int audioKbps);

// The output path for a folder typed into the output folder field: the
// folder (one trailing '/' dropped) plus the file part of outputPath, or
// "/untitled.<ext>" of outputFormat when outputPath has no folder.
std::string OutputPathInFolder(const std::string& folderText, const std::string& outputPath,
                               int outputFormat);

// The folder part of a path up to and including its last '/' (empty when
// it has none).
std::string FolderWithSlash(const std::string& path);

// A save dialog's filter: name and extension ("AVI", "avi").
struct FileFilter {
  std::string name;
  std::string extension;
};
// The main window's "Save as ..." filter for an output format.
FileFilter SaveAsFilter(int outputFormat);
// Qt's form of a filter: "AVI (*.avi)".
std::string QtFilterText(const FileFilter& filter);
