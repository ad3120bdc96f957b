// The image table: pictures the program numbers 1 to 65535 (grabbed from bitmaps, loaded from
// files) and the pictures the sprites save their backgrounds in. Slots live in a SlotPool that
// starts at 16 records and doubles 12 records before it is full; the number map sends an image
// number to its slot. Slot 0 is taken when the table is set up and never handed out, so 0 in the
// map always means "no image".
//
// Correctness rules:
//  1. A slot either holds a surface with a valid rectangle (in use) or is empty: a failed surface
//     allocation empties it, never leaves it half made.
//  2. Whoever keeps a slot index beyond the current command (queued items, sprites) keeps the
//     slot's generation with it: a slot freed and handed out again has a new generation, so a stale
//     reference is seen as gone instead of showing someone else's picture.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "display/draw_primitives.h"
#include "display/number_map.h"
#include "display/render_items.h"
#include "display/surface.h"

namespace display {

inline constexpr int kMaxImageNumber = 65535;

struct ImageSlot {
  int32_t next = -1, prev = -1;
  bool inUse = false;
  int32_t texture = 0;      // 3D texture made from the picture, 0 none (the 3D engine's)
  int32_t textureMode = 0;  // 1 plain, 2 with its transparency mode set
  std::unique_ptr<Surface> surface;
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // the picture inside the surface
  int32_t width = 0, height = 0;
  int32_t surfaceWidth = 0, surfaceHeight = 0;  // a new picture of the same size reuses the surface
  int16_t deletionCountdown = 0;
  uint32_t generation = 0;

  Rect rect() const { return Rect{left, top, right, bottom}; }
};

class ImageTable {
 public:
  ImageTable();

  // Every slot freed and every number unmapped (program start).
  void clear();

  static bool validNumber(int number) { return number >= 1 && number <= kMaxImageNumber; }
  // The slot a number maps to, 0 when none (the number must be valid).
  int32_t slotOf(int number) const { return map_[size_t(number)]; }
  void map(int number, int32_t slot) { map_.set(size_t(number), slot); }

  // A new empty slot with a fresh generation; -1 when out of memory.
  int32_t allocate();
  // Frees a slot and its surface at once.
  void free(int32_t slot);
  // Unmaps the number and frees its slot two frames later, when items still replaying on the
  // other page have drawn it.
  void deleteLater(int number);
  void deleteSlotLater(int32_t slot);
  // One frame has passed: count deferred deletions down, freeing those that reach 0.
  void countDown();

  // Makes the slot hold a surface of w x h at `bitsPerPixel` with the black colour key, reusing its
  // surface when the size and depth allow; the rectangle becomes (0, 0, w, h) and the slot is in
  // use. False (and the slot emptied) when the size is not positive or memory ran out.
  bool prepare(int32_t slot, int width, int height, int bitsPerPixel);
  // No surface, size 0, not in use (the slot itself stays allocated).
  void empty(int32_t slot);
  // Every slot emptied (the display is being re-created).
  void emptyAll();

  ImageSlot& operator[](int32_t slot) { return pool_[slot]; }
  const ImageSlot& operator[](int32_t slot) const { return pool_[slot]; }
  bool isUsed(int32_t slot) const { return slot > 0 && pool_.isUsed(slot); }
  // The slot when it is still the one a reference was taken from and holds a picture.
  const ImageSlot* picture(int32_t slot, uint32_t generation) const;
  int count() const { return pool_.count(); }
  int capacity() const { return pool_.capacity(); }

 private:
  SlotPool<ImageSlot> pool_;
  NumberMap map_;
  uint32_t nextGeneration_ = 1;
};

}  // namespace display
