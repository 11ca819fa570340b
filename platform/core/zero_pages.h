#pragma once
// Large zero-filled buffers whose memory is taken only where they are
// written: anonymous pages the system maps on first write (reading an
// untouched page reads zeros and costs nothing). The sound buffers are sized
// for the worst case, several megabytes, of which a conversion writes a few
// hundred kilobytes.
#include <cstddef>
#include <cstdint>

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
