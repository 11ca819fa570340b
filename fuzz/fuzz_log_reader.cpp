// Any log file decodes without harm, and every text scrambles and decodes
// back to itself.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/diag_log.h"
#include "app/logreader/log_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string out;
  DecodeLogText(bytes, &out);
  DWORD tick = 0;
  if (size >= 4) std::memcpy(&tick, data, 4);
  std::string text;
  DWORD back = 0;
  if (!DecodeLogLine(ScrambleLogLine(tick, bytes), &back, &text) || back != tick || text != bytes) std::abort();
  return 0;
}
