#include "transfer/file_rewrite.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/diag_log.h"

namespace {
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool RoomFor(const std::string& folder, std::uint64_t bytes) {
  struct statvfs st {};
  // A file system that cannot say is tried; a write failure is still caught.
  if (::statvfs(folder.c_str(), &st) != 0) return true;
  return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize >= bytes;
}

bool NoSpace(int err) { return err == ENOSPC || err == EDQUOT; }

// The rename itself on the medium: the folder's entry is flushed too.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

// The new file under its hidden name until it is complete.
class NewFileBeside {
 public:
  NewFileBeside(const std::string& path, const Mp4File& source, std::uint64_t size,
                const FileOpProgressFn& progress)
      : path_(path), progress_(progress) {
    report_.bytesTotal = size;
    report_.itemCount = 1;
    report_.currentPath = path;
    created_ = copy_.CreateBeside(path, source, &temp_);
    if (!created_) error_ = errno;
  }
  ~NewFileBeside() {
    if (created_ && !renamed_) {
      copy_.Close();
      ::unlink(temp_.c_str());
    }
  }
  NewFileBeside(const NewFileBeside&) = delete;
  NewFileBeside& operator=(const NewFileBeside&) = delete;

  bool Created() const { return created_; }
  Mp4File& Copy() { return copy_; }

  // Copies n bytes of source at from to the new file at to, reporting progress.
  bool Take(const Mp4File& source, std::uint64_t from, std::uint64_t to, std::uint64_t n) {
    const std::uint64_t before = report_.bytesDone;
    const bool ok = CopyRange(source, from, copy_, to, n, [&](std::uint64_t copied) {
      report_.bytesDone = before + copied;
      return Report();
    });
    if (!ok && !cancelled_) error_ = errno;
    return ok;
  }

  bool Put(std::uint64_t at, const std::vector<std::uint8_t>& bytes) {
    if (!bytes.empty() && !copy_.WriteAt(at, bytes.data(), bytes.size())) return Failed();
    report_.bytesDone += bytes.size();
    return Report();
  }

  bool Report() {
    if (progress_ && !progress_(report_)) cancelled_ = true;
    return !cancelled_;
  }

  bool Failed() {
    error_ = errno;
    return false;
  }

  // Flushes the new file and renames it over the old one.
  bool Replace() {
    if (!copy_.Sync()) return Failed();
    copy_.Close();
    if (::rename(temp_.c_str(), path_.c_str()) != 0) return Failed();
    renamed_ = true;
    SyncFolder(FolderOf(path_));
    return true;
  }

  RewriteResult Outcome() const {
    if (renamed_) return RewriteResult::Done;
    if (cancelled_) return RewriteResult::Cancelled;
    if (NoSpace(error_)) return RewriteResult::NoRoom;
    WriteLog("Cannot write %s anew: %s", path_.c_str(), std::strerror(error_ ? error_ : EIO));
    return RewriteResult::Failed;
  }

 private:
  std::string path_;
  const FileOpProgressFn& progress_;
  FileOpProgress report_;
  Mp4File copy_;
  std::string temp_;
  bool created_ = false;
  bool renamed_ = false;
  bool cancelled_ = false;
  int error_ = 0;
};
}  // namespace

RewriteResult RewriteWithReplacedRange(const std::string& path, const Mp4File& source, std::uint64_t size,
                                       const RangeReplacement& range, const RewritePatchFn& patch,
                                       const FileOpProgressFn& progress) {
  const std::uint64_t newSize = size - (range.end - range.start) + range.bytes.size();
  if (!RoomFor(FolderOf(path), newSize)) {
    WriteLog("Not enough free space beside %s for its new copy of %llu bytes", path.c_str(),
             static_cast<unsigned long long>(newSize));
    return RewriteResult::NoRoom;
  }
  NewFileBeside out(path, source, newSize, progress);
  const std::uint64_t tailAt = range.start + range.bytes.size();
  bool ok = out.Created() && out.Report();
  ok = ok && out.Take(source, 0, 0, range.start) && out.Put(range.start, range.bytes);
  ok = ok && out.Take(source, range.end, tailAt, size - range.end);
  ok = ok && (patch(out.Copy()) || out.Failed());
  if (ok) out.Replace();
  return out.Outcome();
}
