#include "platform/core/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <system_error>

#ifndef CORVANE_DATA_FROM_BIN
#define CORVANE_DATA_FROM_BIN "../share/corvane"
#endif

namespace {
std::string WithoutTrailingSlash(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}
}  // namespace

std::string ExecutableFolder() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return ".";
  std::string exe(buf, static_cast<size_t>(n));
  auto slash = exe.rfind('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : exe.substr(0, slash));
}

std::string ProgramDataFolder() {
  const std::string exe = ExecutableFolder();
  const std::string installed = JoinPath(exe, CORVANE_DATA_FROM_BIN);
  if (!FolderExists(installed)) return exe;
  // "bin/../share/corvane" is shown to users (messages, the log): spelt plainly.
  char resolved[PATH_MAX];
  return ::realpath(installed.c_str(), resolved) ? std::string(resolved) : installed;
}

std::string UserDataFolder() {
  // A relative XDG_DATA_HOME is invalid and ignored, as the XDG rules say.
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return JoinPath(WithoutTrailingSlash(xdg), "Corvane");
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* pw = ::getpwuid(::getuid());
    home = pw && pw->pw_dir ? pw->pw_dir : "/tmp";
  }
  return JoinPath(WithoutTrailingSlash(home), ".local/share/Corvane");
}

std::string TempFolder() {
  const char* t = std::getenv("TMPDIR");
  if (t && *t) return WithoutTrailingSlash(t);
  return "/tmp";
}

bool PathExists(const std::string& path) {
  if (path.empty()) return false;
  struct stat st;
  return stat(WithoutTrailingSlash(path).c_str(), &st) == 0;
}

bool FolderExists(const std::string& path) {
  if (path.empty()) return false;
  struct stat st;
  return stat(WithoutTrailingSlash(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

double FileSizeMiB(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0.0;
  return static_cast<double>(st.st_size) / 1048576.0;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}
