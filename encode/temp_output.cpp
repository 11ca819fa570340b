#include "encode/temp_output.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/diag_log.h"

namespace {
constexpr const char* kMark = ".corvane-";
constexpr const char* kSuffix = ".tmp";

bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

std::string TempNameFor(const std::string& finalPath) {
  const auto slash = finalPath.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : finalPath.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? finalPath : finalPath.substr(slash + 1);
  return folder + "." + name + kMark + std::to_string(::getpid()) + kSuffix;
}

// Holds the file open and locked; the lock goes with the process.
int OpenLocked(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
  }
  return fd;
}

// True while path still names the file open as fd: a cleaner that took the
// lock between our open and our flock may have removed the name.
bool StillNamed(int fd, const std::string& path) {
  struct stat a {}, b {};
  return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
}  // namespace

TempOutput::~TempOutput() { Discard(); }

bool TempOutput::Open(const std::string& finalPath) {
  Discard();
  final_ = finalPath;
  struct stat st {};
  const bool exists = ::stat(finalPath.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) return OpenDirect();
  temp_ = TempNameFor(finalPath);
  for (int attempt = 0; attempt < 5; ++attempt) {
    lockFd_ = OpenLocked(temp_, O_RDWR | O_CREAT | O_TRUNC);
    if (lockFd_ < 0 && errno != EWOULDBLOCK) break;
    if (lockFd_ >= 0 && StillNamed(lockFd_, temp_)) return true;
    if (lockFd_ >= 0) Release();
    ::usleep(10000);
  }
  const int saved = lockFd_ < 0 && errno != EWOULDBLOCK ? errno : EBUSY;
  if (exists && ::access(finalPath.c_str(), W_OK) == 0) return OpenDirect();
  errno = saved;
  return false;
}

bool TempOutput::OpenDirect() {
  temp_ = final_;
  direct_ = true;
  return true;
}

bool TempOutput::Commit() {
  if (direct_) {
    direct_ = false;
    return true;
  }
  if (lockFd_ < 0) return false;
  bool ok = ::fsync(lockFd_) == 0 && ::rename(temp_.c_str(), final_.c_str()) == 0;
  const int saved = errno;
  if (!ok) {
    WriteLog("Cannot finish %s: %s", final_.c_str(), std::strerror(saved));
    ::unlink(temp_.c_str());
  }
  Release();
  errno = saved;
  return ok;
}

void TempOutput::Discard() {
  direct_ = false;
  if (lockFd_ < 0) return;
  ::unlink(temp_.c_str());
  Release();
}

void TempOutput::Release() {
  ::close(lockFd_);
  lockFd_ = -1;
}

bool IsTempOutputName(const std::string& path) {
  const std::string name = path.substr(path.rfind('/') + 1);
  return name.size() > 1 && name[0] == '.' && EndsWith(name, kSuffix) && name.find(kMark) != std::string::npos;
}

int RemoveAbandonedTempOutputs(const std::string& folder) {
  int removed = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, ec)) {
    const std::string path = entry.path().string();
    if (!IsTempOutputName(path) || !entry.is_regular_file(ec)) continue;
    // A lock that can be taken belongs to nobody: its writer is gone.
    const int fd = OpenLocked(path, O_RDONLY);
    if (fd < 0) continue;
    if (::unlink(path.c_str()) == 0) {
      WriteLog("Removed %s, left by a conversion that did not finish", path.c_str());
      ++removed;
    }
    ::close(fd);
  }
  return removed;
}
