#pragma once
// The crash report: a handler for the fatal signals that writes the log
// line "*** Exception Catched ***" and a short report ("Corvane.elf") in the
// temporary folder, or beside the program when that cannot be written, and
// then lets the signal end the process as it would have.
#include <string>

// Works out the two report paths and the log paths now, so that the
// handler itself needs no memory and no locks.
void InstallCrashReport(const std::string& programFolder);

// The report's two places: "<temp>/Corvane.elf" and "<program folder>/Corvane.elf".
std::string CrashReportPath();
std::string FallbackCrashReportPath(const std::string& programFolder);
