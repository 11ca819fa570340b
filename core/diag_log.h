#pragma once
// The diagnostic log: one scrambled line per call, from any thread.
#include <string>

#include "platform/core/win_types.h"

// The byte that seeds every line's XOR chain together with the tick count.
constexpr BYTE kLogScrambleKey = 0x5A;

// printf-style; the text is cut at 1023 characters.
void WriteLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Appends one line for text (first location, else the program folder);
// drops it silently when neither can be opened.
void WriteLogLine(const char* text);

// The scrambled line for text at tick t, without the line feed.
std::string ScrambleLogLine(DWORD tick, const std::string& text);

// The log's two locations. The first is "<temp>/Corvane.elog"; the second is
// "<program folder>/Corvane.elog". Tests may point the first elsewhere.
std::string LogFilePath();
std::string FallbackLogFilePath();
void SetLogFilePath(const std::string& path);
void SetLogProgramFolder(const std::string& folder);

// Log size limit, run once at start-up: deletes the log when it is larger
// than kLogSizeLimit bytes (the first location, else "Corvane.elog" in the
// current folder).
constexpr long kLogSizeLimit = 524288;
void PruneLogFile();

// Undoes ScrambleLogLine: the tick and the text of one line (a trailing
// line feed or CR LF is allowed). False when the line is not a log line.
bool DecodeLogLine(const std::string& line, DWORD* tick, std::string* text);
