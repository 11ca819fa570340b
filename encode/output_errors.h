#pragma once
// The user's message when an output file cannot be created.
#include <string>

// Logs "Error: %d. Could not open ..." with the system error number and
// tells the user why, depending on whether something exists at path.
void ReportCannotCreateOutput(const std::string& path, int systemError);
