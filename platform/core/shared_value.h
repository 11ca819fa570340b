#pragma once
// A value that one thread writes while another reads it without a lock
// (single aligned reads and writes, as the design has them), made atomic so
// that this is well defined. Unlike std::atomic it can be copied, so the
// structs that hold it keep their plain value semantics.
#include <atomic>

template <typename T>
class SharedValue {
 public:
  SharedValue(T v = T()) : v_(v) {}  // NOLINT: converts like the plain value
  SharedValue(const SharedValue& o) : v_(o.load()) {}
  SharedValue& operator=(const SharedValue& o) {
    store(o.load());
    return *this;
  }
  SharedValue& operator=(T v) {
    store(v);
    return *this;
  }
  operator T() const { return load(); }  // NOLINT
  T load() const { return v_.load(std::memory_order_relaxed); }
  void store(T v) { v_.store(v, std::memory_order_relaxed); }

 private:
  std::atomic<T> v_;
};
