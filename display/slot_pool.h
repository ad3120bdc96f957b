// SlotPool: the growable table every engine table is built on. One array of fixed records with a
// used list (allocation order, which is also the drawing order of render items and the running
// order of the DrawQueue) and a free list threaded through the unused records. Record indexes stay
// valid while the table grows, so other tables may keep them.
#pragma once

#include <cstdint>
#include <new>
#include <vector>

namespace display {

// Record must start with `int32_t next, prev` and be default-constructible (the "zeroed" record).
template <class Record>
class SlotPool {
 public:
  // The array doubles before an allocation that would leave fewer than `margin` free records.
  SlotPool(int initialCapacity, int margin) : initial_(initialCapacity), margin_(margin) { clear(); }

  // Every record free again, the array back to its first size.
  void clear() {
    records_.clear();
    head_ = tail_ = freeHead_ = -1;
    count_ = 0;
    grow(size_t(initial_));
  }

  // A fresh record at the tail of the used list; -1 when memory for growing ran out.
  int32_t allocate() {
    if (count_ > capacity() - margin_ || freeHead_ < 0) {
      try {
        grow(records_.size() * 2);
      } catch (const std::bad_alloc&) {
        if (freeHead_ < 0) return -1;
      }
    }
    const int32_t index = freeHead_;
    Record& r = records_[size_t(index)];
    freeHead_ = r.next;
    r = Record{};
    r.prev = tail_;
    r.next = -1;
    if (tail_ >= 0) records_[size_t(tail_)].next = index;
    else head_ = index;
    tail_ = index;
    ++count_;
    return index;
  }

  // Unlinks a used record and puts it at the head of the free list (its contents are reset).
  void free(int32_t index) {
    if (!isUsed(index)) return;
    Record& r = records_[size_t(index)];
    if (r.prev >= 0) records_[size_t(r.prev)].next = r.next;
    else head_ = r.next;
    if (r.next >= 0) records_[size_t(r.next)].prev = r.prev;
    else tail_ = r.prev;
    r = Record{};
    r.next = freeHead_;
    r.prev = kFree;
    freeHead_ = index;
    --count_;
  }

  bool isUsed(int32_t index) const { return index >= 0 && size_t(index) < records_.size() && records_[size_t(index)].prev != kFree; }

  Record& operator[](int32_t index) { return records_[size_t(index)]; }
  const Record& operator[](int32_t index) const { return records_[size_t(index)]; }

  int32_t head() const { return head_; }
  int32_t tail() const { return tail_; }
  int count() const { return count_; }
  int capacity() const { return int(records_.size()); }

 private:
  // Free records carry this in `prev`, which a used record never does (its prev is -1 or an index).
  static constexpr int32_t kFree = -2;

  void grow(size_t capacity) {
    const size_t old = records_.size();
    records_.resize(capacity);
    // New records are threaded onto the free list in index order, in front of older free records.
    for (size_t i = old; i < capacity; ++i) {
      records_[i].next = i + 1 < capacity ? int32_t(i + 1) : freeHead_;
      records_[i].prev = kFree;
    }
    if (capacity > old) freeHead_ = int32_t(old);
  }

  std::vector<Record> records_;
  int initial_, margin_;
  int32_t head_ = -1, tail_ = -1, freeHead_ = -1;
  int count_ = 0;
};

}  // namespace display
