#pragma once
// Turns a scrambled diagnostic log into readable lines: "TTTTTTTT text".
#include <string>

struct LogReadCounts {
  int lines = 0;   // decoded
  int damaged = 0; // not log lines, reported in place
};

// Decodes every line of log into out. A text's own line breaks are shown
// as "\n" so that one log line stays one output line.
LogReadCounts DecodeLogText(const std::string& log, std::string* out);
