// The DrawQueue: drawing commands do not touch surfaces while the interpreter runs; each queues
// a DrawItem that runs at the start of the next frame. Items are records of a SlotPool, linked in
// arrival order. The pool starts at 2 records and doubles whenever the queued items reach
// capacity - 4, and never shrinks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "display/slot_pool.h"

namespace vm {
struct Cell;
}

namespace display {

struct DrawItem {
  int32_t next = -1, prev = -1;
  int32_t kind = 0;
  int32_t x = 0, y = 0;
  uint8_t replayCount = 1;  // frames on which the item still runs
  int32_t bitmap = 0;       // current bitmap when queued
  uint32_t targetStamp = 0; // which surface of that bitmap was current (see BitmapSlot::stamp)
  int32_t x2 = 0, y2 = 0;
  int32_t number = 0;
  uint8_t opaque = 0;
  int32_t p[9] = {};        // further parameters (p12 to p20)
  std::string text;         // file name or text to draw
  vm::Cell* result = nullptr;  // the cell a query item writes
};

class DrawQueue {
 public:
  DrawQueue() = default;

  // Takes a free record, appends it and returns it (valid until the next queue()).
  DrawItem& queue(int kind);
  // Runs every queued item once: `run` executes it; items whose replay count is still above 0
  // stay for the next frame, the others go back to the free list.
  void execute(const std::function<void(DrawItem&)>& run);
  // Removes every item without running it.
  void drop();

  int count() const { return pool_.count(); }
  int capacity() const { return pool_.capacity(); }
  // The queued items from the head, for tests and the replay of the screen on both pages.
  std::vector<const DrawItem*> items() const;

 private:
  // Margin 5: a queue() that would reach capacity - 4 queued items doubles the pool first.
  SlotPool<DrawItem> pool_{2, 5};
};

}  // namespace display
