#pragma once
// Large zero-filled buffers whose memory is taken only where they are
// written: anonymous pages the system maps on first write (reading an
// untouched page reads zeros and costs nothing). The sound buffers are sized
// for the worst case, several megabytes, of which a conversion writes a few
// hundred kilobytes.
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

// Fresh anonymous pages for bytes (read as zeros, taken on first write), and
// their release. MapFreshPages throws std::bad_alloc when there is no room.
void* MapFreshPages(std::size_t bytes);
void UnmapPages(void* p, std::size_t bytes);

class ZeroPages {
 public:
  // Throws std::bad_alloc when the system has no room for the mapping.
  explicit ZeroPages(std::size_t bytes);
  ~ZeroPages();
  ZeroPages(const ZeroPages&) = delete;
  ZeroPages& operator=(const ZeroPages&) = delete;

  std::uint8_t* data() const { return data_; }
  // Zero again everywhere, handing the written pages back.
  void Clear();

 private:
  std::uint8_t* data_;
  std::size_t bytes_;
};

// The same, seen as an array of count elements of a plain type.
template <typename T>
class ZeroArray {
 public:
  explicit ZeroArray(std::size_t count) : pages_(count * sizeof(T)), count_(count) {}
  T* data() const { return reinterpret_cast<T*>(pages_.data()); }
  T* begin() const { return data(); }
  std::size_t size() const { return count_; }
  T& operator[](std::size_t i) const { return data()[i]; }

 private:
  ZeroPages pages_;
  std::size_t count_;
};

// A container allocator on fresh pages: a buffer sized for a larger picture
// than the one in hand takes memory only as far as it is written, whatever
// memory the process freed before. Elements are not initialised: the pages
// read as zeros already. Under AddressSanitizer it takes the heap, whose
// guard zones catch a write past the end.
template <typename T>
struct FreshPagesAllocator {
  using value_type = T;
  FreshPagesAllocator() = default;
  template <typename U>
  FreshPagesAllocator(const FreshPagesAllocator<U>&) {}
#if defined(__SANITIZE_ADDRESS__)
  T* allocate(std::size_t n) { return static_cast<T*>(::operator new(n * sizeof(T))); }
  void deallocate(T* p, std::size_t) { ::operator delete(p); }
#else
  T* allocate(std::size_t n) { return static_cast<T*>(MapFreshPages(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) { UnmapPages(p, n * sizeof(T)); }
#endif
  template <typename U>
  void construct(U* p) {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
  template <typename U>
  bool operator==(const FreshPagesAllocator<U>&) const { return true; }
  template <typename U>
  bool operator!=(const FreshPagesAllocator<U>&) const { return false; }
};
