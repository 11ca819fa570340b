#pragma once
// The shell's "open" verb: documents, folders and web pages go to the
// desktop's handler (xdg-open); programs are started.
#include <string>

// Opens a file or folder path, or a URL with a scheme ("https://...").
bool ShellOpen(const std::string& target);

// Starts a command-line program in a terminal window of the desktop, with
// its help shown and a shell left open in its folder to run it with files.
bool ShellRunInTerminal(const std::string& program);
