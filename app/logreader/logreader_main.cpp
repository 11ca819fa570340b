// corvane-log [FILE]: prints the diagnostic log (default: the log's first
// location) as plain lines, each with its tick count.
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <string>

#include "core/diag_log.h"
#include "app/logreader/log_reader.h"

int main(int argc, char** argv) {
  if (argc > 2 || (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")))) {
    std::fprintf(stderr, "usage: corvane-log [FILE]\nDecodes the Corvane diagnostic log (default %s).\n",
                 LogFilePath().c_str());
    return argc > 2 ? 2 : 0;
  }
  std::string path = argc == 2 ? argv[1] : LogFilePath();
  FILE* f = std::strcmp(path.c_str(), "-") == 0 ? stdin : std::fopen(path.c_str(), "rb");
  if (!f) {
    std::fprintf(stderr, "corvane-log: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
    return 1;
  }
  std::string log;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) log.append(buf, n);
  if (f != stdin) std::fclose(f);
  std::string out;
  LogReadCounts counts = DecodeLogText(log, &out);
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (counts.damaged) std::fprintf(stderr, "corvane-log: %d lines could not be decoded\n", counts.damaged);
  return counts.damaged ? 3 : 0;
}
