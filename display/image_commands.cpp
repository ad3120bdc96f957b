// Image commands: grab a rectangle of the current bitmap, load and save image files, paste with
// and without transparency, rotate by quarter turns, delete, and the existence query. Loading
// happens at once; grab, paste, save and rotate are queued and run when the DrawQueue runs.
#include <algorithm>
#include <filesystem>
#include <memory>

#include "display/display_device.h"
#include "display/display_families.h"
#include "display/drawing.h"
#include "display/sprite_blit.h"
#include "display/sprite_scene.h"
#include "vm/machine.h"

namespace display {
namespace {

enum Error {
  kNoMemory = 101,
  kFileMissing = 105,
  kFileExists = 106,
  kBadImage = 501,
  kNoImage = 502,
  kGrabOutside = 503,
  kGrabEmpty = 504,
  kUnreadable = 1003,
  kSaveFailed = 1004,
};

enum Kind { kGrab = 51, kPaste = 52, kSave = 55, kRotate = 56 };

// Item parameters: p[0] image slot, p[1] its generation, then per kind.
enum Param { kSlot = 0, kGeneration = 1, kTextureMode = 2, kTransparent = 2 };

int32_t operand(vm::Machine& m, int k) { return m.pc[k].cell->i; }
std::string textOperand(vm::Machine& m, int k) { return vm::text(*m.pc[k].cell); }

// The scene, or null after consuming the operands when the machine has no display.
SpriteScene* sceneFor(vm::Machine& m, int operands) {
  SpriteScene* s = spritesOf(m);
  if (!s) m.pc += operands;
  return s;
}

// 501 for a number outside 1 to 65535.
bool checkNumber(vm::Machine& m, int number) {
  if (ImageTable::validNumber(number)) return true;
  vm::raise(m, kBadImage);
  return false;
}

// 501, then 502 for a number without an image; the slot otherwise.
int32_t existingSlot(SpriteScene& s, int number) {
  if (!checkNumber(s.machine, number)) return 0;
  const int32_t slot = s.images.slotOf(number);
  if (slot <= 0) vm::raise(s.machine, kNoImage);
  return slot;
}

DrawItem& queueForSlot(SpriteScene& s, int kind, int number, int32_t slot, bool draws) {
  DrawItem& item = s.drawing.queueItem(kind, draws);
  item.number = number;
  item.p[kSlot] = slot;
  item.p[kGeneration] = int32_t(s.images[slot].generation);
  return item;
}

// The slot of a queued item when it still holds the picture it was queued for.
ImageSlot* slotOfItem(SpriteScene& s, const DrawItem& item) {
  const int32_t slot = item.p[kSlot];
  if (!s.images.isUsed(slot) || s.images[slot].generation != uint32_t(item.p[kGeneration])) return nullptr;
  return &s.images[slot];
}

// The size of the bitmap an item draws on: its record, or the screen's own size for bitmap 0.
void targetSize(Drawing& d, const DrawItem& item, const Surface& target, int& width, int& height) {
  const BitmapSlot& slot = d.slots[size_t(item.bitmap)];
  width = item.bitmap == 0 ? target.width : slot.width;
  height = item.bitmap == 0 ? target.height : slot.height;
}

// ---- item kinds --------------------------------------------------------------------------------------

void runGrab(Drawing& d, DrawItem& item) {
  SpriteScene* s = spritesOf(d.machine);
  Surface* target = d.targetOf(item);
  if (!s || !target) return;
  const int left = item.x, top = item.y, right = item.x2, bottom = item.y2;
  if (!(left < right && top < bottom)) return vm::raise(d.machine, kGrabEmpty);
  int width = 0, height = 0;
  targetSize(d, item, *target, width, height);
  if (left < 0 || top < 0 || right > width || bottom > height) return vm::raise(d.machine, kGrabOutside);
  ImageSlot* slot = slotOfItem(*s, item);
  if (!slot) return;  // the image was deleted or loaded anew since
  if (!s->images.prepare(item.p[kSlot], right - left, bottom - top, target->bitsPerPixel())) return;
  blitSprite(*target, Rect{left, top, right, bottom}, *slot->surface, slot->rect(), false, false, false);
  const int mode = item.p[kTextureMode];
  if ((mode == 1 || mode == 2) && slot->texture == 0) slot->textureMode = mode;
}

void runPaste(Drawing& d, DrawItem& item) {
  SpriteScene* s = spritesOf(d.machine);
  Surface* target = d.targetOf(item);
  if (!s || !target) return;
  const ImageSlot* slot = slotOfItem(*s, item);
  if (!slot || !slot->inUse || !slot->surface) return;
  ClipRequest request;
  targetSize(d, item, *target, request.targetWidth, request.targetHeight);
  request.targetWidth = std::min(request.targetWidth, target->width);
  request.targetHeight = std::min(request.targetHeight, target->height);
  request.source = slot->rect();
  request.x = item.x;
  request.y = item.y;
  request.width = slot->width;
  request.height = slot->height;
  Rect from, to;
  if (!clipAndScale(request, from, to)) return;
  for (int k = 0; k < s->overdraw; ++k) blitSprite(*slot->surface, from, *target, to, false, false, item.p[kTransparent] == 1);
}

void runSave(Drawing& d, DrawItem& item) {
  SpriteScene* s = spritesOf(d.machine);
  if (!s) return;
  const ImageSlot* slot = slotOfItem(*s, item);
  if (!slot || !slot->inUse || !slot->surface) return vm::raise(d.machine, kNoImage);
  Surface picture(slot->width, slot->height, slot->surface->bitsPerPixel());
  blitSprite(*slot->surface, slot->rect(), picture, Rect{0, 0, slot->width, slot->height}, false, false, false);
  // The codec writes a temporary file and renames it: a failed save leaves no partial file.
  if (!d.codec.write(picture, item.text)) {
    d.device.recordEngineError("Could not save the image: " + d.codec.lastError());
    vm::raise(d.machine, kSaveFailed);
  }
}

void runRotate(Drawing& d, DrawItem& item) {
  SpriteScene* s = spritesOf(d.machine);
  if (!s || !d.targetOf(item)) return;
  ImageSlot* slot = slotOfItem(*s, item);
  if (!slot || !slot->inUse || !slot->surface) return;
  // Four quarter turns give the picture back, so only the remainder is turned.
  const int turns = item.x < 90 ? 0 : (item.x / 90) % 4;
  for (int t = 0; t < turns; ++t) {
    const Surface& from = *slot->surface;
    const int w = slot->width, h = slot->height;
    std::unique_ptr<Surface> turned;
    try {
      turned = std::make_unique<Surface>(h, w, from.bitsPerPixel());
    } catch (const std::bad_alloc&) {
      return vm::raise(d.machine, kNoMemory);
    }
    turned->colourKey = from.colourKey;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) turned->setPixel(h - 1 - y, x, from.pixel(slot->left + x, slot->top + y));
    slot->surface = std::move(turned);
    slot->left = slot->top = 0;
    slot->right = slot->width = slot->surfaceWidth = h;
    slot->bottom = slot->height = slot->surfaceHeight = w;
  }
  if (turns > 0) slot->texture = 0;
}

// ---- handlers ----------------------------------------------------------------------------------------

// 219 image, left, top, right, bottom; 230 the same and a texture mode.
template <bool kWithTexture>
void grabImage(vm::Machine& m) {
  constexpr int kOperands = kWithTexture ? 6 : 5;
  SpriteScene* s = sceneFor(m, kOperands);
  if (!s) return;
  const int number = operand(m, 0);
  const int left = operand(m, 1), top = operand(m, 2), right = operand(m, 3), bottom = operand(m, 4);
  const int mode = kWithTexture ? operand(m, 5) : 0;
  m.pc += kOperands;
  if (!checkNumber(m, number)) return;
  int32_t slot = s->images.slotOf(number);
  if (slot <= 0) {
    slot = s->images.allocate();
    if (slot < 0) return vm::raise(m, kNoMemory);
    s->images.map(number, slot);
  }
  // The size is known at once (for the sprite queries); the picture comes when the item runs.
  ImageSlot& image = s->images[slot];
  image.width = right - left;
  image.height = bottom - top;
  DrawItem& item = queueForSlot(*s, kGrab, number, slot, false);
  item.x = left, item.y = top, item.x2 = right, item.y2 = bottom;
  item.p[kTextureMode] = mode;
  if (m.autoRefresh) m.endSlice = true;
}

// 220 image, file name; 229 the same and a texture mode.
template <bool kWithTexture>
void loadImage(vm::Machine& m) {
  constexpr int kOperands = kWithTexture ? 3 : 2;
  SpriteScene* s = sceneFor(m, kOperands);
  if (!s) return;
  const int number = operand(m, 0);
  std::string path = textOperand(m, 1);
  const int mode = kWithTexture ? operand(m, 2) : 0;
  m.pc += kOperands;
  if (m.autoRefresh) m.endSlice = true;
  if (!checkNumber(m, number)) return;
  if (s->resolveMedia) path = s->resolveMedia(path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return vm::raise(m, kFileMissing);
  const int depth = s->device.created ? s->device.backBuffer().bitsPerPixel() : 16;
  auto picture = s->drawing.codec.read(path, depth);
  if (!picture || picture->empty()) {
    s->device.recordEngineError(s->drawing.codec.lastError());
    return vm::raiseRecoverable(m, kUnreadable);
  }
  const int32_t slot = s->images.allocate();
  if (slot < 0 || !s->images.prepare(slot, picture->width, picture->height, depth)) {
    if (slot > 0) s->images.free(slot);
    return vm::raise(m, kNoMemory);
  }
  ImageSlot& image = s->images[slot];
  blitSprite(*picture, Rect{0, 0, picture->width, picture->height}, *image.surface, image.rect(), false, false, false);
  if (kWithTexture && (mode == 1 || mode == 2)) image.textureMode = mode;
  // The old picture stays for items still queued or replaying, and goes two frames later.
  const int32_t old = s->images.slotOf(number);
  if (old > 0) s->images.deleteSlotLater(old);
  s->images.map(number, slot);
}

// 221 image, file name: refuses an existing file.
void saveImage(vm::Machine& m) {
  SpriteScene* s = sceneFor(m, 2);
  if (!s) return;
  const int number = operand(m, 0);
  const std::string path = textOperand(m, 1);
  m.pc += 2;
  if (m.autoRefresh) m.endSlice = true;
  const int32_t slot = existingSlot(*s, number);
  if (slot <= 0) return;
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) return vm::raise(m, kFileExists);
  queueForSlot(*s, kSave, number, slot, false).text = path;
}

// 242 image, x, y: without transparency; 433 image, x, y, transparency.
template <bool kWithFlag>
void pasteImage(vm::Machine& m) {
  constexpr int kOperands = kWithFlag ? 4 : 3;
  SpriteScene* s = sceneFor(m, kOperands);
  if (!s) return;
  const int number = operand(m, 0), x = operand(m, 1), y = operand(m, 2);
  const int transparent = kWithFlag ? operand(m, 3) : 0;
  m.pc += kOperands;
  const int32_t slot = existingSlot(*s, number);
  if (slot <= 0) return;
  DrawItem& item = queueForSlot(*s, kPaste, number, slot, true);
  item.x = x, item.y = y;
  item.p[kTransparent] = transparent;
  s->drawing.endSliceForDrawing(true);
}

// 434 image, angle: clockwise quarter turns.
void rotateImage(vm::Machine& m) {
  SpriteScene* s = sceneFor(m, 2);
  if (!s) return;
  const int number = operand(m, 0), angle = operand(m, 1);
  m.pc += 2;
  const int32_t slot = existingSlot(*s, number);
  if (slot <= 0) return;
  queueForSlot(*s, kRotate, number, slot, false).x = angle;
}

// 406 image.
void deleteImage(vm::Machine& m) {
  SpriteScene* s = sceneFor(m, 1);
  if (!s) return;
  const int number = operand(m, 0);
  m.pc += 1;
  if (existingSlot(*s, number) > 0) s->images.deleteLater(number);
}

// 425 result, image.
void imageExists(vm::Machine& m) {
  SpriteScene* s = spritesOf(m);
  vm::Cell* result = m.pc[0].cell;
  const int number = operand(m, 1);
  m.pc += 2;
  if (!checkNumber(m, number)) return;
  result->i = s && s->images.slotOf(number) > 0 ? 1 : 0;
}

constexpr vm::CommandEntry kImageCommands[] = {
    {219, &grabImage<false>, "grab a rectangle of the current bitmap into an image"},
    {230, &grabImage<true>, "grab a rectangle into an image and make a 3D texture of it"},
    {220, &loadImage<false>, "load an image file into an image"},
    {229, &loadImage<true>, "load an image file into an image and as its 3D texture"},
    {221, &saveImage, "save an image to a new file"},
    {242, &pasteImage<false>, "paste an image without transparency"},
    {433, &pasteImage<true>, "paste an image, transparent when the flag is 1"},
    {434, &rotateImage, "rotate an image clockwise by quarter turns"},
    {406, &deleteImage, "delete an image"},
    {425, &imageExists, "1 when the image exists"},
};

}  // namespace

void registerImageCommands(vm::Machine& m) {
  vm::registerCommands(m, kImageCommands);
  Drawing::registerKind(kGrab, &runGrab);
  Drawing::registerKind(kPaste, &runPaste);
  Drawing::registerKind(kSave, &runSave);
  Drawing::registerKind(kRotate, &runRotate);
}

}  // namespace display
