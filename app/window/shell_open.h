#pragma once
// The shell's "open" verb: documents, folders and web pages go to the
// desktop's handler (xdg-open); programs are started.
#include <string>

// Opens a file or folder path, or a URL with a scheme ("https://...").
bool ShellOpen(const std::string& target);

// Starts a program of the desktop on its own (it outlives the caller).
bool StartProgram(const std::string& program);
