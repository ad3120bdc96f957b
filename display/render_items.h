// The render table that sprites and 3D objects share, and the SlotPool every engine table is built
// on. A SlotPool is one array of fixed records with a used list (allocation order, which is also
// the drawing order of render items) and a free list threaded through the unused records. Record
// indexes stay valid while the table grows, so other tables may keep them.
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

// Per page of a flip chain: the background saved under a sprite.
struct SavedBackground {
  int32_t image = -1;  // ImageSlot holding it, -1 none
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // right 0: nothing saved
};

// One entry of the render table. Sprites use the first group of fields; 3D objects use the
// second (the 3D engine owns their meaning), and both use visible and the links.
struct RenderItem {
  int32_t next = -1, prev = -1;
  int32_t visible = 0;
  int32_t deletionCountdown = 0;
  int32_t is3dObject = 0;  // never drawn by the sprite step

  // --- sprites ---
  int32_t image = -1;           // ImageSlot shown, -1 none
  uint32_t imageGeneration = 0; // the slot's generation when it was chosen (a reused slot is not ours)
  int32_t imageNumber = 0;      // the program's image number given to the sprite command
  int32_t transparency = 0;     // 1: black pixels are left out
  int32_t x = 0, y = 0;
  int32_t offsetX = 0, offsetY = 0;
  float scaleX = 1.0f, scaleY = 1.0f;
  int32_t mirrored = 0, flipped = 0;
  int32_t spriteNumber = 0;
  int32_t lastHit = 0;
  int32_t exists = 0;
  int32_t backgroundSave = 0;
  SavedBackground saved[2];
  int32_t layer = 0;  // 0 program sprites, 1 and 2 drawn above them (2: the mouse pointer)

  // --- 3D objects ---
  int32_t culled = 0;
  int32_t depthTest = 1, depthWrite = 1;
  int32_t drawAfterDepthClear = 0;
  int32_t colourKeyTransparency = 0;
  int32_t ghost = 0;
  int16_t ghostMode = 0;
  int32_t wireframe = 0, backFaceCulling = 1, textureFiltering = 1, unlit = 0, fog = 1, ambient = 1;
  int32_t lockedToScreen = 0;
  int32_t passMark = 0;
  int32_t textureAddressing = 1;
  int32_t inScene = 0;
  double depthKey = 0;
  int32_t owner = 0;
  float positionX = 0, positionY = 0, positionZ = 0;
};

// The render table: render items in a pool that starts at 2 records and doubles 4 records before
// it is full. Sprites and 3D objects allocate from the same table; record 0 is reserved.
class RenderTable {
 public:
  RenderTable() : pool(2, 4) { clear(); }
  SlotPool<RenderItem> pool;

  // A new item with the defaults every item starts with; -1 when out of memory.
  int32_t allocate() {
    const int32_t index = pool.allocate();
    if (index >= 0) {
      RenderItem& r = pool[index];
      r.scaleX = r.scaleY = 1.0f;
      r.offsetX = r.offsetY = 0;
    }
    return index;
  }
  void free(int32_t index) { pool.free(index); }
  // Every item freed. Record 0 is taken and never drawn, so 0 in a number map means "none".
  void clear() {
    pool.clear();
    pool.allocate();
  }
};

}  // namespace display
