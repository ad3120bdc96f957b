// The 2D drawing state of one display: the 32 bitmap slots (0 is the back buffer), the current
// bitmap, the ink and background colours, the DrawQueue and the image codec. Handlers reach it
// through drawingOf(m); the queue runs in the display's DrawQueue frame step.
//
// Correctness rules:
//  1. Handlers never touch a surface: they check what they can, record it in a DrawItem and
//     leave the surface work (and the errors that depend on it) to the item.
//  2. An item finds its target by bitmap number and stamp when it runs, never by a pointer kept
//     from queuing time: a bitmap deleted or re-created in between leaves the item without a
//     target (it does nothing), and bitmap 0 always means the page being drawn on now.
//  3. A failed surface operation never leaves a half-made slot.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "display/draw_queue.h"
#include "display/image_codec.h"
#include "display/surface.h"

namespace vm {
struct Machine;
}

namespace display {

class DisplayDevice;

inline constexpr int kBitmapCount = 32;

struct BitmapSlot {
  std::unique_ptr<Surface> surface;  // none for 0 (the back buffer) and for unused slots
  int width = 0, height = 0, depth = 0;
  int mirrored = 0, flipped = 0;
  uint32_t stamp = 0;  // changes whenever the slot gets a new surface or loses it
};

// A colour both packed for a surface and as the red, green and blue the packing can represent.
struct InkColour {
  uint32_t packed = 0;
  uint32_t rgb = 0;
};

class Drawing {
 public:
  Drawing(vm::Machine& m, DisplayDevice& device);

  vm::Machine& machine;
  DisplayDevice& device;
  std::array<BitmapSlot, kBitmapCount> slots;
  int currentBitmap = 0;        // the handlers' current bitmap (changes at once)
  int queueCurrentBitmap = 0;   // the queue's copy (changes when items run)
  InkColour foreground, background;
  DrawQueue queue;
  ImageCodec codec;
  std::string pendingScreenSave;  // file name to write after the next presentation
  // The file to open for a name the program gives (a standalone game's packed media); empty: the name.
  std::function<std::string(const std::string&)> resolveMedia;

  // Every bitmap and the queue back to the state at program start (colours are kept).
  void reset();
  // The surface of a bitmap: the back buffer for 0, the slot's surface otherwise (null if unused).
  Surface* surfaceOf(int bitmap);
  bool inUse(int bitmap) const { return bitmap == 0 || (bitmap > 0 && bitmap < kBitmapCount && slots[size_t(bitmap)].surface); }
  // The item's target as rule 2 describes (null when it has gone).
  Surface* targetOf(const DrawItem& item);
  // Appends an item for the current bitmap with the right replay count.
  DrawItem& queueItem(int kind, bool draws = true);
  // Sets the slice end as the drawing commands do: `screenOnly` limits it to bitmap 0.
  void endSliceForDrawing(bool screenOnly);
  // Stores a surface in a slot (bitmaps 1 to 31) and records its size.
  void setSlot(int bitmap, std::unique_ptr<Surface> surface);
  void releaseSlot(int bitmap);
  void recordSize(int bitmap);
  // Packs both colours for a target's layout.
  void packColours(const Surface& target, bool foregroundToo);
  // Runs one item (the queue's executor).
  void run(DrawItem& item);

  using KindHandler = void (*)(Drawing& d, DrawItem& item);
  static void registerKind(int kind, KindHandler handler);

 private:
  uint32_t nextStamp_ = 1;
};

Drawing* drawingOf(const vm::Machine& m);
// Makes the drawing state for a display and hooks it into its frame steps (once per device).
void attachDrawing(vm::Machine& m, DisplayDevice& device,
                   std::function<std::string(const std::string&)> resolveMedia = {});

// Item kinds other families may queue: 101 clears the item's bitmap (with p[0] = 1 and p[1] =
// 0xRRGGBB it clears to that colour instead of the background, as the 3D engine's clears do).
inline constexpr int kClearItemKind = 101;

// Registration of the families (bitmap commands, drawing commands) and their item kinds.
void registerBitmapCommands(vm::Machine& m);
void registerDrawCommands(vm::Machine& m);

}  // namespace display
