#include "transfer/mp4_file_io.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {
constexpr std::size_t kCopyBlock = 1 << 20;
}  // namespace

Mp4File::~Mp4File() { Close(); }

bool Mp4File::Open(const std::string& path, bool writable) {
  Close();
  fd_ = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd_ < 0) return false;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    Close();
    return false;
  }
  return true;
}

void Mp4File::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::uint64_t Mp4File::Size() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0 || st.st_size < 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

bool Mp4File::ReadAt(std::uint64_t offset, void* buf, std::size_t n) const {
  auto* p = static_cast<std::uint8_t*>(buf);
  while (n > 0) {
    ssize_t got = ::pread(fd_, p, n, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    offset += static_cast<std::uint64_t>(got);
    n -= static_cast<std::size_t>(got);
  }
  return true;
}

bool Mp4File::WriteAt(std::uint64_t offset, const void* buf, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(buf);
  while (n > 0) {
    ssize_t put = ::pwrite(fd_, p, n, static_cast<off_t>(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    p += put;
    offset += static_cast<std::uint64_t>(put);
    n -= static_cast<std::size_t>(put);
  }
  return true;
}

bool Mp4File::ReadBe16(std::uint64_t offset, std::uint16_t* v) const {
  std::uint8_t b[2];
  if (!ReadAt(offset, b, 2)) return false;
  *v = GetBe16(b);
  return true;
}

bool Mp4File::ReadBe32(std::uint64_t offset, std::uint32_t* v) const {
  std::uint8_t b[4];
  if (!ReadAt(offset, b, 4)) return false;
  *v = GetBe32(b);
  return true;
}

bool Mp4File::WriteBe16(std::uint64_t offset, std::uint16_t v) {
  std::uint8_t b[2];
  PutBe16(b, v);
  return WriteAt(offset, b, 2);
}

bool Mp4File::WriteBe32(std::uint64_t offset, std::uint32_t v) {
  std::uint8_t b[4];
  PutBe32(b, v);
  return WriteAt(offset, b, 4);
}

bool Mp4File::Grow(std::uint64_t oldSize, std::uint64_t bytes) {
  int rc = ::posix_fallocate(fd_, static_cast<off_t>(oldSize), static_cast<off_t>(bytes));
  if (rc == 0) return true;
  // Leave the file as it was when the room could not be had.
  (void)::ftruncate(fd_, static_cast<off_t>(oldSize));
  return false;
}

bool Mp4File::Truncate(std::uint64_t size) {
  return ::ftruncate(fd_, static_cast<off_t>(size)) == 0;
}

bool Mp4File::CreateBeside(const std::string& path, const Mp4File& modeOf, std::string* tempPath) {
  Close();
  struct stat st {};
  if (::fstat(modeOf.fd_, &st) != 0) return false;
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = folder + "." + name + ".XXXXXX";
  fd_ = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd_ < 0) return false;
  // Not every file system keeps permission bits; the copy goes on without.
  (void)::fchmod(fd_, st.st_mode & 07777);
  *tempPath = temp;
  return true;
}

bool Mp4File::Sync() { return fd_ >= 0 && ::fdatasync(fd_) == 0; }

bool CopyRange(const Mp4File& from, std::uint64_t fromPos, Mp4File& to, std::uint64_t toPos,
               std::uint64_t n, const CopyStepFn& step) {
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBlock, n)));
  for (std::uint64_t done = 0; done < n;) {
    const std::size_t len = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), n - done));
    if (!from.ReadAt(fromPos + done, buf.data(), len) || !to.WriteAt(toPos + done, buf.data(), len))
      return false;
    done += len;
    if (step && !step(done)) return false;
  }
  return true;
}

std::uint16_t GetBe16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::uint32_t GetBe32(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

std::uint64_t GetBe64(const std::uint8_t* p) {
  return (static_cast<std::uint64_t>(GetBe32(p)) << 32) | GetBe32(p + 4);
}

void PutBe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}

void PutBe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

void PutBe64(std::uint8_t* p, std::uint64_t v) {
  PutBe32(p, static_cast<std::uint32_t>(v >> 32));
  PutBe32(p + 4, static_cast<std::uint32_t>(v));
}

bool BoxTypeIs(const std::uint8_t* type, const char* text, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char a = type[i], b = static_cast<unsigned char>(text[i]);
    if (a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}
