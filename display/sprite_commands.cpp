// Sprite commands: set-up and position, switches, scale and size, hot spot, mirror and flip,
// delete, paste onto the current bitmap, hide and show, the queries and collision. Every command
// has two codes that do the same. State changes at once; the frame steps show it.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "display/display_device.h"
#include "display/display_families.h"
#include "display/drawing.h"
#include "display/sprite_scene.h"
#include "vm/machine.h"

namespace display {
namespace {

enum Error {
  kNoMemory = 101,
  kBadSprite = 301,
  kNoSprite = 302,
  kBadBackgroundSave = 303,
  kBadTransparency = 304,
  kBadPercent = 311,
  kNegativeSize = 312,
};

enum Kind { kPasteSprite = 54 };

constexpr int kMaxPercent = 250000;

int32_t operand(vm::Machine& m, int k) { return m.pc[k].cell->i; }

SpriteScene* sceneFor(vm::Machine& m, int operands) {
  SpriteScene* s = spritesOf(m);
  if (!s) m.pc += operands;
  return s;
}

bool checkNumber(vm::Machine& m, int number) {
  if (SpriteScene::validSprite(number)) return true;
  vm::raise(m, kBadSprite);
  return false;
}

// 301 for a number outside 1 to 65535, 302 for one without a record; the record otherwise.
RenderItem* existingSprite(SpriteScene& s, int number) {
  if (!checkNumber(s.machine, number)) return nullptr;
  const int32_t index = s.itemOf(number);
  if (index < 0) {
    vm::raise(s.machine, kNoSprite);
    return nullptr;
  }
  return &s.items.pool[index];
}

// The record of a number, set up with the defaults when it has none (101 when memory ran out).
RenderItem* setUp(SpriteScene& s, int number) {
  const int32_t index = s.setUpSprite(number);
  if (index < 0) {
    vm::raise(s.machine, kNoMemory);
    return nullptr;
  }
  return &s.items.pool[index];
}

// ---- item kind ---------------------------------------------------------------------------------------

void runPasteSprite(Drawing& d, DrawItem& item) {
  SpriteScene* s = spritesOf(d.machine);
  Surface* target = d.targetOf(item);
  if (!s || !target || !SpriteScene::validSprite(item.number)) return;
  const int32_t index = s->itemOf(item.number);
  if (index < 0) return;
  RenderItem& sprite = s->items.pool[index];
  const auto topLeft = [](int position, int hotSpot) {
    return int(std::clamp<int64_t>(int64_t(position) - hotSpot, -1000000000, 1000000000));
  };
  s->drawSprite(sprite, *target, topLeft(item.x, sprite.offsetX), topLeft(item.y, sprite.offsetY));
}

// ---- handlers ----------------------------------------------------------------------------------------

// sprite, x, y, image.
void spriteCommand(vm::Machine& m) {
  SpriteScene* s = sceneFor(m, 4);
  if (!s) return;
  const int number = operand(m, 0), x = operand(m, 1), y = operand(m, 2), image = operand(m, 3);
  m.pc += 4;
  if (!checkNumber(m, number)) return;
  RenderItem* sprite = setUp(*s, number);
  if (!sprite) return;
  sprite->x = x;
  sprite->y = y;
  s->setSpriteImage(*sprite, image);
}

// sprite, background save, transparency.
void setSprite(vm::Machine& m) {
  SpriteScene* s = sceneFor(m, 3);
  if (!s) return;
  const int number = operand(m, 0), save = operand(m, 1), transparency = operand(m, 2);
  m.pc += 3;
  if (!checkNumber(m, number)) return;
  if (save != 0 && save != 1) return vm::raise(m, kBadBackgroundSave);
  if (transparency != 0 && transparency != 1) return vm::raise(m, kBadTransparency);
  RenderItem* sprite = setUp(*s, number);
  if (!sprite) return;
  sprite->backgroundSave = save;
  sprite->transparency = transparency;
}

// sprite, width, height: scaled so that the image shows at that size.
void sizeSprite(vm::Machine& m) {
  SpriteScene* s = sceneFor(m, 3);
  if (!s) return;
  const int number = operand(m, 0), width = operand(m, 1), height = operand(m, 2);
  m.pc += 3;
  RenderItem* sprite = existingSprite(*s, number);
  if (!sprite) return;
  if (width < 0 || height < 0) return vm::raise(m, kNegativeSize);
  const ImageSlot* image = s->shownImage(*sprite);
  if (!image || image->width <= 0 || image->height <= 0) return;
  sprite->scaleX = float(width) / float(image->width);
  sprite->scaleY = float(height) / float(image->height);
}

// sprite, percent (both directions) or sprite, x percent, y percent.
template <bool kTwoPercents>
void scaleSprite(vm::Machine& m) {
  constexpr int kOperands = kTwoPercents ? 3 : 2;
  SpriteScene* s = sceneFor(m, kOperands);
  if (!s) return;
  const int number = operand(m, 0), px = operand(m, 1), py = kTwoPercents ? operand(m, 2) : px;
  m.pc += kOperands;
  RenderItem* sprite = existingSprite(*s, number);
  if (!sprite) return;
  if (px < 0 || px > kMaxPercent || py < 0 || py > kMaxPercent) return vm::raise(m, kBadPercent);
  sprite->scaleX = float(px) / 100.0f;
  sprite->scaleY = float(py) / 100.0f;
}

// sprite, x, y: the hot spot.
void offsetSprite(vm::Machine& m) {
  SpriteScene* s = sceneFor(m, 3);
  if (!s) return;
  const int number = operand(m, 0), x = operand(m, 1), y = operand(m, 2);
  m.pc += 3;
  if (RenderItem* sprite = existingSprite(*s, number)) {
    sprite->offsetX = x;
    sprite->offsetY = y;
  }
}

enum class Change { kMirror, kFlip, kDelete, kHide, kShow };

// sprite: one change of the record.
template <Change kChange>
void changeSprite(vm::Machine& m) {
  SpriteScene* s = sceneFor(m, 1);
  if (!s) return;
  const int number = operand(m, 0);
  m.pc += 1;
  RenderItem* sprite = existingSprite(*s, number);
  if (!sprite) return;
  switch (kChange) {
    case Change::kMirror: sprite->mirrored ^= 1; break;
    case Change::kFlip: sprite->flipped ^= 1; break;
    case Change::kDelete: s->deleteSprite(number); break;
    case Change::kHide: sprite->visible = 0; break;
    case Change::kShow: sprite->visible = 1; break;
  }
}

// sprite, x, y: the sprite's current look onto the current bitmap, when the queue runs.
void pasteSprite(vm::Machine& m) {
  SpriteScene* s = sceneFor(m, 3);
  if (!s) return;
  const int number = operand(m, 0), x = operand(m, 1), y = operand(m, 2);
  m.pc += 3;
  if (!existingSprite(*s, number)) return;
  DrawItem& item = s->drawing.queueItem(kPasteSprite, true);
  item.number = number;
  item.x = x;
  item.y = y;
  s->drawing.endSliceForDrawing(true);
}

// Hides or shows every program sprite (layer 0) that has an image.
template <int kVisible>
void allSprites(vm::Machine& m) {
  SpriteScene* s = spritesOf(m);
  if (!s) return;
  for (int32_t i = s->items.pool.head(); i >= 0; i = s->items.pool[i].next) {
    RenderItem& r = s->items.pool[i];
    if (r.layer == 0 && !r.is3dObject && r.exists && s->shownImage(r)) r.visible = kVisible;
  }
}

// result, sprite: 1 when the sprite exists and is not being deleted.
void spriteExists(vm::Machine& m) {
  SpriteScene* s = spritesOf(m);
  vm::Cell* result = m.pc[0].cell;
  const int number = operand(m, 1);
  m.pc += 2;
  if (!checkNumber(m, number)) return;
  const int32_t index = s ? s->itemOf(number) : -1;
  result->i = index >= 0 && s->items.pool[index].exists ? 1 : 0;
}

enum class Field { kX, kY, kOffsetX, kOffsetY, kWidth, kHeight, kImage, kScaleX, kScaleY, kMirrored, kFlipped };

int fieldOf(SpriteScene& s, RenderItem& r, Field f) {
  switch (f) {
    case Field::kX: return r.x;
    case Field::kY: return r.y;
    case Field::kOffsetX: return r.offsetX;
    case Field::kOffsetY: return r.offsetY;
    case Field::kWidth: return s.shownWidth(r);
    case Field::kHeight: return s.shownHeight(r);
    case Field::kImage: return r.imageNumber;
    case Field::kScaleX: return int(std::trunc(r.scaleX * 100.0f));
    case Field::kScaleY: return int(std::trunc(r.scaleY * 100.0f));
    case Field::kMirrored: return r.mirrored;
    case Field::kFlipped: return r.flipped;
  }
  return 0;
}

// result, sprite: one field of the record.
template <Field kField>
void spriteField(vm::Machine& m) {
  SpriteScene* s = sceneFor(m, 2);
  if (!s) return;
  vm::Cell* result = m.pc[0].cell;
  const int number = operand(m, 1);
  m.pc += 2;
  if (RenderItem* sprite = existingSprite(*s, number)) result->i = fieldOf(*s, *sprite, kField);
}

// result, sprite, other: collision (1 or 0 with a given sprite; with any, the first one's number),
// or hit, which reports a lasting collision only on the test where it starts.
template <bool kHit>
void spriteCollision(vm::Machine& m) {
  SpriteScene* s = sceneFor(m, 3);
  if (!s) return;
  vm::Cell* result = m.pc[0].cell;
  const int number = operand(m, 1), other = operand(m, 2);
  m.pc += 3;
  if (!existingSprite(*s, number)) return;
  if (SpriteScene::validSprite(other) && s->itemOf(other) < 0) return vm::raise(m, kNoSprite);
  const int32_t index = s->itemOf(number);
  const int b = s->collisionResult(index, other);
  if (!kHit) {
    result->i = b;
    return;
  }
  RenderItem& sprite = s->items.pool[index];
  result->i = b == 0 || sprite.lastHit != 0 ? 0 : b;
  sprite.lastHit = b;
}

constexpr vm::CommandEntry kSpriteCommands[] = {
    {207, &spriteCommand, "set up a sprite, its position and image"},
    {5500, &spriteCommand, "set up a sprite, its position and image"},
    {251, &setSprite, "set a sprite's background save and transparency"},
    {5501, &setSprite, "set a sprite's background save and transparency"},
    {5502, &sizeSprite, "scale a sprite to a size in pixels"},
    {453, &scaleSprite<false>, "scale a sprite by a percentage"},
    {5503, &scaleSprite<false>, "scale a sprite by a percentage"},
    {454, &scaleSprite<true>, "scale a sprite by x and y percentages"},
    {5504, &scaleSprite<true>, "scale a sprite by x and y percentages"},
    {461, &offsetSprite, "set a sprite's hot spot"},
    {5511, &offsetSprite, "set a sprite's hot spot"},
    {462, &changeSprite<Change::kMirror>, "mirror a sprite (toggle)"},
    {5512, &changeSprite<Change::kMirror>, "mirror a sprite (toggle)"},
    {463, &changeSprite<Change::kFlip>, "flip a sprite (toggle)"},
    {5513, &changeSprite<Change::kFlip>, "flip a sprite (toggle)"},
    {464, &changeSprite<Change::kDelete>, "delete a sprite"},
    {5514, &changeSprite<Change::kDelete>, "delete a sprite"},
    {465, &pasteSprite, "paste a sprite onto the current bitmap"},
    {5515, &pasteSprite, "paste a sprite onto the current bitmap"},
    {5516, &changeSprite<Change::kHide>, "hide a sprite"},
    {5517, &changeSprite<Change::kShow>, "show a sprite"},
    {5518, &allSprites<0>, "hide every sprite"},
    {5519, &allSprites<1>, "show every sprite"},
    {470, &spriteExists, "1 when the sprite exists"},
    {5520, &spriteExists, "1 when the sprite exists"},
    {471, &spriteField<Field::kX>, "sprite x"},
    {5521, &spriteField<Field::kX>, "sprite x"},
    {472, &spriteField<Field::kY>, "sprite y"},
    {5522, &spriteField<Field::kY>, "sprite y"},
    {473, &spriteField<Field::kOffsetX>, "sprite hot spot x"},
    {5523, &spriteField<Field::kOffsetX>, "sprite hot spot x"},
    {474, &spriteField<Field::kOffsetY>, "sprite hot spot y"},
    {5524, &spriteField<Field::kOffsetY>, "sprite hot spot y"},
    {475, &spriteField<Field::kWidth>, "sprite width on screen"},
    {5525, &spriteField<Field::kWidth>, "sprite width on screen"},
    {476, &spriteField<Field::kHeight>, "sprite height on screen"},
    {5526, &spriteField<Field::kHeight>, "sprite height on screen"},
    {477, &spriteField<Field::kImage>, "sprite image number"},
    {5527, &spriteField<Field::kImage>, "sprite image number"},
    {479, &spriteField<Field::kScaleX>, "sprite x scale in percent"},
    {5529, &spriteField<Field::kScaleX>, "sprite x scale in percent"},
    {480, &spriteField<Field::kScaleY>, "sprite y scale in percent"},
    {5530, &spriteField<Field::kScaleY>, "sprite y scale in percent"},
    {483, &spriteField<Field::kMirrored>, "1 when the sprite is mirrored"},
    {5533, &spriteField<Field::kMirrored>, "1 when the sprite is mirrored"},
    {484, &spriteField<Field::kFlipped>, "1 when the sprite is flipped"},
    {5534, &spriteField<Field::kFlipped>, "1 when the sprite is flipped"},
    {491, &spriteCollision<true>, "sprite hit: a collision that has just started"},
    {5541, &spriteCollision<true>, "sprite hit: a collision that has just started"},
    {492, &spriteCollision<false>, "sprite collision"},
    {5542, &spriteCollision<false>, "sprite collision"},
};

}  // namespace

void registerSpriteCommands(vm::Machine& m) {
  vm::registerCommands(m, kSpriteCommands);
  Drawing::registerKind(kPasteSprite, &runPasteSprite);
}

}  // namespace display
