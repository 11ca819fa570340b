#pragma once
// File-system facts the design takes from Windows: the program folder, the
// temporary folder, existence tests.
#include <string>

// Folder of the running executable, without a trailing '/'.
std::string ExecutableFolder();

// The folder of what the programs ship read-only (profiles, help page,
// language table, .reg files, default thumbnail picture), without a
// trailing '/': the installed data folder (share/corvane beside the bin
// folder of the executable) when there is one, else the executable's own
// folder, as in a build folder.
std::string ProgramDataFolder();

// The folder of what the user's programs keep for the user:
// $XDG_DATA_HOME/Corvane (default ~/.local/share/Corvane), without a
// trailing '/'. Not created here.
std::string UserDataFolder();

// The system temporary folder ("c:\temp" of the design), without a trailing '/'.
std::string TempFolder();

// True when a file or folder exists at path; a trailing '/' is ignored.
bool PathExists(const std::string& path);

// True when a folder exists at path; a trailing '/' is ignored.
bool FolderExists(const std::string& path);

// Size of the file in MiB (bytes / 1,048,576), 0 when it cannot be opened.
double FileSizeMiB(const std::string& path);

// Joins folder and name with exactly one '/'.
std::string JoinPath(const std::string& folder, const std::string& name);
