// Images and sprites of one display: the image table, the render table the sprites share with
// the 3D objects, the sprite number map, and the frame steps that restore the backgrounds under
// sprites (pre-frame), save them again and draw the sprites (post-frame).
//
// Correctness rules:
//  1. Sprite state changes at once; the screen sees it only in the frame steps.
//  2. A sprite shows the image slot it was given while that slot still holds the same picture
//     generation; when the slot was freed or handed out again, the sprite looks its image number
//     up afresh (a reloaded image shows, a deleted one is not drawn).
//  3. Nothing here raises an error from a frame step except 101 (no memory for a saved background).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "display/image_table.h"
#include "display/render_items.h"

namespace vm {
struct Machine;
}

namespace display {

class DisplayDevice;
class Drawing;

inline constexpr int kMaxSpriteNumber = 65535;

class SpriteScene {
 public:
  SpriteScene(vm::Machine& m, DisplayDevice& device, Drawing& drawing);

  vm::Machine& machine;
  DisplayDevice& device;
  Drawing& drawing;
  ImageTable images;
  RenderTable items;
  NumberMap spriteMap;  // sprite number -> render item, 0 none
  int overdraw = 1;                // image pastes are drawn this many times (BLITOVERDRAW)
  // The media look-up of a standalone game: the path to open for a name the program gives.
  std::function<std::string(const std::string&)> resolveMedia;

  // Program start: every image and sprite gone.
  void reset();
  // The display is going: every image emptied, saved backgrounds dropped.
  void dropSurfaces();

  // --- sprites ---
  static bool validSprite(int number) { return number >= 1 && number <= kMaxSpriteNumber; }
  // The render item of a sprite number, -1 when it has no record (the number must be valid).
  int32_t itemOf(int number) const;
  // The record of a sprite number, made with the set-up defaults when it has none; -1 when out
  // of memory. Setting up a sprite whose deletion is pending cancels the deletion.
  int32_t setUpSprite(int number);
  void deleteSprite(int number);
  // Looks the image number up and shows it (slot -1 when it has no image).
  void setSpriteImage(RenderItem& sprite, int imageNumber);
  // The picture a sprite shows now, null when none (rule 2).
  const ImageSlot* shownImage(RenderItem& sprite);
  // trunc(image size x scale), 0 without an image.
  int shownWidth(RenderItem& sprite);
  int shownHeight(RenderItem& sprite);

  // Draws a sprite's current look with its top-left at (x, y) on the target.
  void drawSprite(RenderItem& sprite, Surface& target, int x, int y);

  // --- collision ---
  // Pixel-exact collision of two render items (both existing, both with an image).
  bool collide(int32_t a, int32_t b);
  // With a specific other sprite: 1 or 0. With any (other outside 1 to 65535): the number of the
  // first sprite in render order that collides, else 0.
  int collisionResult(int32_t item, int other);

  // --- frame steps ---
  void restoreBackgrounds();
  void saveBackgrounds();
  void drawSprites();
  void countDownDeletions();

 private:
  void freeItem(int32_t index);
};

SpriteScene* spritesOf(const vm::Machine& m);
// Makes the images and sprites of a display and hooks them into its frame steps. The drawing
// state must be attached first.
void attachSprites(vm::Machine& m, DisplayDevice& device, std::function<std::string(const std::string&)> resolveMedia = {},
                   int overdraw = 1);

}  // namespace display
