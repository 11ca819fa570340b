#include "platform/core/zero_pages.h"

#include <sys/mman.h>

#include <cstring>
#include <new>

void* MapFreshPages(std::size_t bytes) {
  void* p = mmap(nullptr, bytes == 0 ? 1 : bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  return p;
}

void UnmapPages(void* p, std::size_t bytes) {
  if (p) munmap(p, bytes == 0 ? 1 : bytes);
}

ZeroPages::ZeroPages(std::size_t bytes) : data_(nullptr), bytes_(bytes) {
  if (bytes_ > 0) data_ = static_cast<std::uint8_t*>(MapFreshPages(bytes_));
}

ZeroPages::~ZeroPages() { UnmapPages(data_, bytes_); }

void ZeroPages::Clear() {
  // Private anonymous pages read as zeros again once discarded; should the
  // system refuse, they are zeroed by hand.
  if (data_ && madvise(data_, bytes_, MADV_DONTNEED) != 0) std::memset(data_, 0, bytes_);
}
