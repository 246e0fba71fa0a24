// Per-call arrays of the draws (weights, marks): on the stack up to N elements, which the
// shipped tables stay below, and on the tracked heap beyond. A creature makes hundreds of
// them; from the heap each would take the allocator and the tracker's lock.
#pragma once
#include <algorithm>
#include <cstddef>
#include <type_traits>

#include "memory/tracker.h"

template <class T, size_t N>
class Scratch {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  // n elements left as they are: for lists the caller fills before reading.
  explicit Scratch(size_t n) : size_(n) {
    if (n > N) {
      heap_.reset(static_cast<T*>(mallocloga(sizeof(T) * n, "Scratch")));
      data_ = heap_.get();
    }
  }
  Scratch(size_t n, T fill) : Scratch(n) { std::fill(data_, data_ + n, fill); }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  T* data() { return data_; }
  const T* data() const { return data_; }
  size_t size() const { return size_; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }

 private:
  T stack_[N];
  TrackedPtr<T> heap_;
  T* data_ = stack_;
  size_t size_;
};

// std::stable_sort without its heap buffer for the short lists a creature sorts (its
// feats, its skills): an insertion sort, stable since an element passes only those that
// are strictly greater. Long lists still take std::stable_sort.
template <class T, class Less>
void StableSortShort(T* first, T* last, Less less) {
  static_assert(std::is_trivially_copyable_v<T>);
  if (last - first > 64) {
    std::stable_sort(first, last, less);
    return;
  }
  for (T* i = first + 1; i < last; ++i) {
    T value = *i;
    T* j = i;
    for (; j > first && less(value, *(j - 1)); --j) *j = *(j - 1);
    *j = value;
  }
}
