#include "transfer/file_operation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/diag_log.h"

namespace {
namespace fs = std::filesystem;

constexpr std::size_t kCopyBlockBytes = 1 << 20;

// Closes a descriptor on every way out.
class FdGuard {
 public:
  explicit FdGuard(int fd) : fd_(fd) {}
  ~FdGuard() { Close(); }
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;
  int get() const { return fd_; }
  int Close() {
    int rc = fd_ >= 0 ? close(fd_) : 0;
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string BaseName(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, const char* data, std::size_t n) {
  while (n > 0) {
    ssize_t w = write(fd, data, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      if (w == 0) errno = EIO;
      return false;
    }
    data += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

std::uint64_t BytesBelow(const fs::path& path) {
  std::error_code ec;
  if (fs::is_regular_file(path, ec)) return fs::file_size(path, ec);
  std::uint64_t sum = 0;
  if (!fs::is_directory(path, ec)) return 0;
  for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    std::error_code fec;
    if (it->is_regular_file(fec)) sum += it->file_size(fec);
  }
  return sum;
}

// One copy operation: the running byte count, the questions and the first
// error, shared by the recursive steps.
class Copier {
 public:
  Copier(const FileOpProgressFn& progress, const FileOpReplaceFn& replace)
      : progress_(progress), replace_(replace) {}

  FileOpResult result;
  FileOpProgress state;

  // False when the operation has to stop (error or cancel).
  bool CopyInto(const std::string& source, const std::string& destFolder) {
    struct stat st;
    if (stat(source.c_str(), &st) != 0) return Fail(errno, "Cannot copy", source);
    const std::string dest = destFolder + "/" + BaseName(source);
    return S_ISDIR(st.st_mode) ? CopyFolder(source, dest, st) : CopyFile(source, dest, st);
  }

  bool Report() {
    if (progress_ && !progress_(state)) {
      result.cancelled = true;
      return false;
    }
    return true;
  }

  bool Fail(int err, const std::string& action, const std::string& path) {
    if (err == ENOSPC || err == EDQUOT)
      result.error = "Not enough free space to copy " + Quoted(state.currentPath) + ".";
    else
      result.error = action + " " + Quoted(path) + ": " + std::strerror(err);
    return false;
  }

  bool FailWith(const std::string& text) {
    result.error = text;
    return false;
  }

 private:
  bool CopyFolder(const std::string& source, const std::string& dest, const struct stat& st) {
    std::error_code ec;
    const fs::path canonicalSource = fs::weakly_canonical(source, ec);
    const fs::path canonicalDest = fs::weakly_canonical(dest, ec);
    const auto rel = canonicalDest.lexically_relative(canonicalSource);
    if (!rel.empty() && *rel.begin() != "..")
      return FailWith("Cannot copy the folder " + Quoted(source) + " into itself.");
    struct stat dst;
    if (stat(dest.c_str(), &dst) == 0) {
      if (!S_ISDIR(dst.st_mode))
        return FailWith("Cannot copy the folder " + Quoted(source) + ": a file " + Quoted(dest) +
                        " is in the way.");
    } else if (mkdir(dest.c_str(), st.st_mode & 07777) != 0) {
      return Fail(errno, "Cannot create the folder", dest);
    }
    std::vector<fs::directory_entry> entries;
    for (auto it = fs::directory_iterator(source, ec); !ec && it != fs::end(it); it.increment(ec))
      entries.push_back(*it);
    if (ec) return Fail(ec.value(), "Cannot read the folder", source);
    std::sort(entries.begin(), entries.end());
    for (const fs::directory_entry& e : entries) {
      std::error_code tec;
      if (e.is_symlink(tec) && e.is_directory(tec)) {
        // Following links to folders could loop; the link itself stays where it is.
        WriteLog("Copy: left out the folder link %s", e.path().c_str());
        continue;
      }
      if (!CopyInto(e.path().string(), dest)) return false;
    }
    return true;
  }

  bool CopyFile(const std::string& source, const std::string& dest, const struct stat& st) {
    if (!S_ISREG(st.st_mode)) return FailWith("Cannot copy " + Quoted(source) + ": not a file.");
    struct stat dst;
    if (stat(dest.c_str(), &dst) == 0) {
      if (dst.st_dev == st.st_dev && dst.st_ino == st.st_ino)
        return FailWith("Cannot copy " + Quoted(source) + " onto itself.");
      if (S_ISDIR(dst.st_mode))
        return FailWith("Cannot copy " + Quoted(source) + ": a folder " + Quoted(dest) +
                        " is in the way.");
      if (!replace_ || !replace_(dest)) {
        state.bytesDone += static_cast<std::uint64_t>(st.st_size);
        return Report();
      }
    }
    FdGuard in(open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) return Fail(errno, "Cannot read", source);

    std::string temp = dest.substr(0, dest.rfind('/') + 1) + "." + BaseName(dest) + ".XXXXXX";
    FdGuard out(mkostemp(temp.data(), O_CLOEXEC));
    if (out.get() < 0) return Fail(errno, "Cannot write into the folder", dest.substr(0, dest.rfind('/')));
    const bool ok = CopyBytes(in.get(), out.get(), source, dest) && Finish(out, st, temp, dest);
    if (!ok) {
      out.Close();
      unlink(temp.c_str());
    }
    return ok;
  }

  bool CopyBytes(int in, int out, const std::string& source, const std::string& dest) {
    std::vector<char> block(kCopyBlockBytes);
    for (;;) {
      ssize_t n = read(in, block.data(), block.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return Fail(errno, "Cannot read", source);
      if (n == 0) return true;
      if (!WriteAll(out, block.data(), static_cast<std::size_t>(n)))
        return Fail(errno, "Cannot write", dest);
      state.bytesDone += static_cast<std::uint64_t>(n);
      if (!Report()) return false;
    }
  }

  // Puts the complete copy in place: data on the medium first, so that the
  // final name never refers to a file that is not all there.
  bool Finish(FdGuard& out, const struct stat& st, const std::string& temp, const std::string& dest) {
    fchmod(out.get(), st.st_mode & 0777);  // not every file system keeps modes
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out.get(), times);
    if (fdatasync(out.get()) != 0 || out.Close() != 0) return Fail(errno, "Cannot write", dest);
    if (rename(temp.c_str(), dest.c_str()) != 0) return Fail(errno, "Cannot write", dest);
    return true;
  }

  const FileOpProgressFn& progress_;
  const FileOpReplaceFn& replace_;
};
}  // namespace

FileOpResult CopyItems(const std::vector<std::string>& sources, const std::string& destFolder,
                       const FileOpProgressFn& progress, const FileOpReplaceFn& replace) {
  Copier copier(progress, replace);
  copier.state.itemCount = sources.size();
  struct stat st;
  if (stat(destFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    copier.result.error = "Cannot copy to " + Quoted(destFolder) + ": the folder does not exist.";
    return copier.result;
  }
  for (const std::string& s : sources) copier.state.bytesTotal += BytesBelow(s);
  for (std::size_t i = 0; i < sources.size(); ++i) {
    copier.state.itemIndex = i;
    copier.state.currentPath = sources[i];
    if (!copier.Report() || !copier.CopyInto(sources[i], destFolder)) break;
    copier.result.itemsDone = i + 1;
  }
  if (!copier.result.error.empty()) WriteLog("Copy failed: %s", copier.result.error.c_str());
  return copier.result;
}

FileOpResult DeleteItems(const std::vector<std::string>& paths, const FileOpProgressFn& progress) {
  FileOpResult result;
  FileOpProgress state;
  state.itemCount = paths.size();
  for (std::size_t i = 0; i < paths.size(); ++i) {
    state.itemIndex = i;
    state.currentPath = paths[i];
    if (progress && !progress(state)) {
      result.cancelled = true;
      break;
    }
    struct stat st;
    std::error_code ec;
    if (lstat(paths[i].c_str(), &st) != 0) {
      ec.assign(errno, std::generic_category());
    } else if (S_ISDIR(st.st_mode)) {
      fs::remove_all(paths[i], ec);
    } else if (unlink(paths[i].c_str()) != 0) {
      ec.assign(errno, std::generic_category());
    }
    if (ec) {
      result.error = "Cannot delete " + Quoted(paths[i]) + ": " + std::strerror(ec.value());
      WriteLog("Delete failed: %s", result.error.c_str());
      break;
    }
    result.itemsDone = i + 1;
  }
  return result;
}
