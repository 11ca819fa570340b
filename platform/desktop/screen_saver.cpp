#include "platform/desktop/screen_saver.h"

#include <cstdio>
#include <cstdlib>

#include "core/diag_log.h"

namespace {
constexpr const char* kCall =
    "gdbus call --session --timeout 2 --dest org.freedesktop.ScreenSaver "
    "--object-path /org/freedesktop/ScreenSaver --method org.freedesktop.ScreenSaver.";

std::string Run(const std::string& cmd) {
  std::string out;
  FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r");
  if (!p) return out;
  char buf[256];
  while (fgets(buf, sizeof(buf), p)) out += buf;
  pclose(p);
  return out;
}

// The reason goes inside single quotes of the gdbus argument list.
std::string Quoted(const std::string& text) {
  std::string q = "\"'";
  for (char c : text)
    if (c != '\'' && c != '"' && c != '\\' && c != '$' && c != '`') q += c;
  return q + "'\"";
}
}  // namespace

std::string InhibitScreenSaver(const std::string& reason) {
  // gdbus prints "(uint32 1234,)".
  const std::string out = Run(std::string(kCall) + "Inhibit \"'Corvane Video Converter'\" " + Quoted(reason));
  const auto pos = out.find("uint32 ");
  if (pos == std::string::npos) {
    WriteLog("Screen saver: no inhibit service on the session bus");
    return {};
  }
  return std::to_string(std::strtoul(out.c_str() + pos + 7, nullptr, 10));
}

void ReleaseScreenSaver(const std::string& cookie) {
  if (cookie.empty()) return;
  Run(std::string(kCall) + "UnInhibit " + cookie);
}
