// The render table that sprites and 3D objects share, built on the SlotPool (display/slot_pool.h).
#pragma once

#include <cstdint>
#include <vector>

#include "display/slot_pool.h"

namespace display {

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
