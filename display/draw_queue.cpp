#include "display/draw_queue.h"

#include <new>

namespace display {

DrawItem& DrawQueue::queue(int kind) {
  const int32_t index = pool_.allocate();
  if (index < 0) throw std::bad_alloc();  // the slice boundary turns this into a system error
  DrawItem& item = pool_[index];
  item.kind = kind;
  return item;
}

void DrawQueue::execute(const std::function<void(DrawItem&)>& run) {
  int32_t index = pool_.head();
  while (index >= 0) {
    DrawItem& item = pool_[index];
    if (item.replayCount > 0) --item.replayCount;
    run(item);  // `run` never queues, so the record stays where it is
    const int32_t next = item.next;
    if (item.replayCount == 0) pool_.free(index);
    index = next;
  }
}

void DrawQueue::drop() {
  while (pool_.head() >= 0) pool_.free(pool_.head());
}

std::vector<const DrawItem*> DrawQueue::items() const {
  std::vector<const DrawItem*> out;
  for (int32_t i = pool_.head(); i >= 0; i = pool_[i].next) out.push_back(&pool_[i]);
  return out;
}

}  // namespace display
