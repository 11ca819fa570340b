#include "app/logreader/log_reader.h"

#include <cstdio>

#include "core/diag_log.h"

LogReadCounts DecodeLogText(const std::string& log, std::string* out) {
  LogReadCounts counts;
  size_t start = 0;
  int lineNo = 0;
  while (start < log.size()) {
    size_t nl = log.find('\n', start);
    size_t end = nl == std::string::npos ? log.size() : nl;
    std::string line = log.substr(start, end - start);
    start = end + 1;
    ++lineNo;
    DWORD tick = 0;
    std::string text;
    char head[48];
    if (!DecodeLogLine(line, &tick, &text)) {
      std::snprintf(head, sizeof(head), "?????????? line %d is not a log line\n", lineNo);
      *out += head;
      ++counts.damaged;
      continue;
    }
    std::snprintf(head, sizeof(head), "%08X ", tick);
    *out += head;
    for (char c : text) {
      if (c == '\n') *out += "\\n";
      else if (c == '\r') *out += "\\r";
      else out->push_back(c);
    }
    out->push_back('\n');
    ++counts.lines;
  }
  return counts;
}
