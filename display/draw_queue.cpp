#include "display/draw_queue.h"

namespace display {

void DrawQueue::grow(size_t capacity) {
  const size_t old = records_.size();
  records_.resize(capacity);
  // New records continue the free list in index order behind the existing free records.
  for (size_t i = old; i < capacity; ++i) records_[i].next = i + 1 < capacity ? int32_t(i + 1) : -1;
  if (freeHead_ < 0) {
    freeHead_ = int32_t(old);
  } else {
    int32_t last = freeHead_;
    while (records_[size_t(last)].next >= 0 && size_t(records_[size_t(last)].next) < old) last = records_[size_t(last)].next;
    records_[size_t(last)].next = int32_t(old);
  }
}

DrawItem& DrawQueue::queue(int kind) {
  if (count_ + 1 > capacity() - 4 || freeHead_ < 0) grow(records_.size() * 2);
  const int32_t index = freeHead_;
  DrawItem& item = records_[size_t(index)];
  freeHead_ = item.next;
  item = DrawItem();
  item.kind = kind;
  item.prev = tail_;
  item.next = -1;
  if (tail_ >= 0) records_[size_t(tail_)].next = index;
  else head_ = index;
  tail_ = index;
  ++count_;
  return item;
}

void DrawQueue::execute(const std::function<void(DrawItem&)>& run) {
  int32_t index = head_;
  while (index >= 0) {
    DrawItem& item = records_[size_t(index)];
    if (item.replayCount > 0) --item.replayCount;
    run(records_[size_t(index)]);  // `run` never queues, so the record stays where it is
    DrawItem& done = records_[size_t(index)];
    const int32_t next = done.next;
    if (done.replayCount == 0) {
      if (done.prev >= 0) records_[size_t(done.prev)].next = done.next;
      else head_ = done.next;
      if (done.next >= 0) records_[size_t(done.next)].prev = done.prev;
      else tail_ = done.prev;
      done.text.clear();
      done.next = freeHead_;
      done.prev = -1;
      freeHead_ = index;
      --count_;
    }
    index = next;
  }
}

void DrawQueue::drop() {
  int32_t index = head_;
  while (index >= 0) {
    DrawItem& item = records_[size_t(index)];
    const int32_t next = item.next;
    item.text.clear();
    item.next = freeHead_;
    item.prev = -1;
    freeHead_ = index;
    index = next;
  }
  head_ = tail_ = -1;
  count_ = 0;
}

std::vector<const DrawItem*> DrawQueue::items() const {
  std::vector<const DrawItem*> out;
  for (int32_t i = head_; i >= 0; i = records_[size_t(i)].next) out.push_back(&records_[size_t(i)]);
  return out;
}

}  // namespace display
