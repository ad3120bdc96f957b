// NumberMap: from a program's object number to a table slot, 0 meaning none. The maps cover every
// number a program may use (tens of thousands), so they start as untouched zero memory and a
// clear only zeroes the range that was written: a program that uses no images or sprites never
// pays for their maps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

namespace display {

class NumberMap {
 public:
  explicit NumberMap(size_t size)
      : entries_(static_cast<int32_t*>(std::calloc(size ? size : 1, sizeof(int32_t)))), size_(size) {
    if (!entries_) throw std::bad_alloc();
  }

  size_t size() const { return size_; }
  int32_t operator[](size_t number) const { return entries_[number]; }
  void set(size_t number, int32_t slot) {
    entries_[number] = slot;
    if (number < low_) low_ = number;
    if (number >= high_) high_ = number + 1;
  }
  void clear() {
    for (size_t k = low_; k < high_; ++k) entries_[k] = 0;
    low_ = size_;
    high_ = 0;
  }

 private:
  struct Free {
    void operator()(int32_t* p) const { std::free(p); }
  };
  std::unique_ptr<int32_t[], Free> entries_;
  size_t size_;
  size_t low_ = size_;  // entries outside [low_, high_) were never written
  size_t high_ = 0;
};

}  // namespace display
