// FFmpeg's own messages (damaged data, probing doubts) belong in the
// diagnostic log, not on the user's terminal or in a window's output.
extern "C" {
#include <libavutil/log.h>
}

#include <cstring>
#include <mutex>

#include "core/diag_log.h"
#include "platform/dshow/media_filters.h"

namespace {
void ToDiagnosticLog(void* avcl, int level, const char* fmt, va_list vl) {
  if (level > AV_LOG_WARNING) return;
  char line[1024];
  int prefix = 1;
  va_list copy;
  va_copy(copy, vl);
  av_log_format_line2(avcl, level, fmt, copy, line, sizeof(line), &prefix);
  va_end(copy);
  size_t n = std::strlen(line);
  while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
  if (n > 0) WriteLog("FFmpeg: %s", line);
}
}  // namespace

void RouteMediaLibraryLog() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_callback(ToDiagnosticLog); });
}
