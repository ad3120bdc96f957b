#include "display/sprite_scene.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "display/display_device.h"
#include "display/display_families.h"
#include "display/drawing.h"
#include "display/sprite_blit.h"
#include "vm/machine.h"

namespace display {
namespace {

constexpr int kNoMemory = 101;

std::map<const vm::Machine*, SpriteScene*>& registry() {
  static std::map<const vm::Machine*, SpriteScene*> machines;
  return machines;
}

// trunc(size x scale) in single precision, as the system's reals are.
int scaled(int size, float scale) {
  const float v = std::trunc(float(size) * scale);
  return v > 1e9f ? 1000000000 : v < -1e9f ? -1000000000 : int(v);
}

// The top-left of a sprite, position minus hot spot, kept where sizes can still be added to it.
int topLeft(int position, int hotSpot) {
  return int(std::clamp<int64_t>(int64_t(position) - hotSpot, -1000000000, 1000000000));
}

}  // namespace

SpriteScene::SpriteScene(vm::Machine& m, DisplayDevice& d, Drawing& dr)
    : machine(m), device(d), drawing(dr), spriteMap(size_t(kMaxSpriteNumber) + 1) {}

void SpriteScene::reset() {
  images.clear();
  items.clear();
  spriteMap.clear();
}

void SpriteScene::dropSurfaces() {
  images.emptyAll();
  for (int32_t i = items.pool.head(); i >= 0; i = items.pool[i].next)
    for (SavedBackground& s : items.pool[i].saved) s.right = 0;
}

// ---- sprites ---------------------------------------------------------------------------------------

int32_t SpriteScene::itemOf(int number) const {
  const int32_t index = spriteMap[size_t(number)];
  return index > 0 ? index : -1;
}

int32_t SpriteScene::setUpSprite(int number) {
  int32_t index = itemOf(number);
  if (index < 0) {
    index = items.allocate();
    if (index < 0) return -1;
    items.pool[index].spriteNumber = number;
    spriteMap.set(size_t(number), index);
  }
  RenderItem& s = items.pool[index];
  if (!s.exists) {
    if (s.deletionCountdown > 0) {
      // Set up again while its deletion was pending: the record stays, with what it saved (so
      // the old place is still cleaned up) but nothing else of the deleted sprite.
      s.mirrored = s.flipped = s.offsetX = s.offsetY = s.lastHit = 0;
      s.x = s.y = 0;
    }
    s.image = -1;
    s.backgroundSave = 1;
    s.scaleX = s.scaleY = 1.0f;
    s.transparency = 1;
    s.visible = 1;
    s.exists = 1;
    s.deletionCountdown = 0;
  }
  return index;
}

void SpriteScene::deleteSprite(int number) {
  const int32_t index = itemOf(number);
  if (index < 0) return;
  RenderItem& s = items.pool[index];
  s.exists = 0;
  if (s.backgroundSave) {
    // Not drawn any more, but what it saved is put back on both pages before the record goes.
    s.image = -1;
    s.imageNumber = 0;
    s.deletionCountdown = 2;
  } else {
    freeItem(index);
  }
}

void SpriteScene::freeItem(int32_t index) {
  RenderItem& s = items.pool[index];
  for (SavedBackground& saved : s.saved)
    if (saved.image > 0) images.free(saved.image);
  if (s.spriteNumber >= 1 && s.spriteNumber <= kMaxSpriteNumber && spriteMap[size_t(s.spriteNumber)] == index)
    spriteMap.set(size_t(s.spriteNumber), 0);
  items.free(index);
}

void SpriteScene::setSpriteImage(RenderItem& sprite, int imageNumber) {
  sprite.imageNumber = imageNumber;
  const int32_t slot = ImageTable::validNumber(imageNumber) ? images.slotOf(imageNumber) : 0;
  if (slot <= 0) {
    sprite.image = -1;
    return;
  }
  if (slot != sprite.image || images[slot].generation != sprite.imageGeneration) {
    sprite.image = slot;
    sprite.imageGeneration = images[slot].generation;
  }
}

const ImageSlot* SpriteScene::shownImage(RenderItem& sprite) {
  if (sprite.image <= 0) return nullptr;
  // Engine items (the mouse pointer) show an image that has no number: the slot and its
  // generation alone say which picture it is.
  if (sprite.imageNumber == 0) return images.picture(sprite.image, sprite.imageGeneration);
  // The image was deleted or loaded anew since: follow the image number.
  if (!ImageTable::validNumber(sprite.imageNumber) || images.slotOf(sprite.imageNumber) != sprite.image ||
      !images.isUsed(sprite.image) || images[sprite.image].generation != sprite.imageGeneration) {
    setSpriteImage(sprite, sprite.imageNumber);
    if (sprite.image <= 0) return nullptr;
  }
  return images.picture(sprite.image, sprite.imageGeneration);
}

int SpriteScene::shownWidth(RenderItem& sprite) {
  const ImageSlot* p = shownImage(sprite);
  return p ? scaled(p->width, sprite.scaleX) : 0;
}

int SpriteScene::shownHeight(RenderItem& sprite) {
  const ImageSlot* p = shownImage(sprite);
  return p ? scaled(p->height, sprite.scaleY) : 0;
}

void SpriteScene::drawSprite(RenderItem& sprite, Surface& target, int x, int y) {
  const ImageSlot* p = shownImage(sprite);
  if (!p) return;
  ClipRequest request;
  request.targetWidth = target.width;
  request.targetHeight = target.height;
  request.source = p->rect();
  request.x = x;
  request.y = y;
  request.width = p->width;
  request.height = p->height;
  request.scaleX = sprite.scaleX;
  request.scaleY = sprite.scaleY;
  request.mirrored = sprite.mirrored != 0;
  request.flipped = sprite.flipped != 0;
  Rect from, to;
  if (clipAndScale(request, from, to)) blitSprite(*p->surface, from, target, to, request.mirrored, request.flipped, sprite.transparency == 1);
}

// ---- collision ---------------------------------------------------------------------------------------

namespace {

struct OnScreen {
  const ImageSlot* image;
  const RenderItem* item;
  int left, top, right, bottom;
};

OnScreen placeOf(const RenderItem& r, const ImageSlot* p) {
  const int left = topLeft(r.x, r.offsetX), top = topLeft(r.y, r.offsetY);
  return OnScreen{p, &r, left, top, left + scaled(p->width, r.scaleX), top + scaled(p->height, r.scaleY)};
}

// A run of screen positions over which both sprites show the same image column (or row).
struct Span {
  int a, b;  // the image column (row) of each sprite
};

// The image index under screen position p of a sprite starting at `start` that shows `image`
// pixels over `onScreen` pixels: trunc((p - start) x image / onScreen).
int64_t indexAt(int64_t p, int64_t start, int64_t image, int64_t onScreen) { return (p - start) * image / onScreen; }
// The first screen position whose index is above `index`.
int64_t nextPosition(int64_t index, int64_t start, int64_t image, int64_t onScreen) {
  return start + ((index + 1) * onScreen + image - 1) / image;
}

// The distinct pairs of image indexes over [from, to): at most image A + image B entries however
// large the sprites are scaled, so the pixel test reads each pair of pixels once.
void spansOver(int from, int to, int startA, int imageA, int screenA, bool reverseA, int startB, int imageB, int screenB,
               bool reverseB, std::vector<Span>& out) {
  out.clear();
  for (int64_t p = from; p < to;) {
    const int64_t ia = indexAt(p, startA, imageA, screenA), ib = indexAt(p, startB, imageB, screenB);
    out.push_back(Span{int(reverseA ? imageA - 1 - ia : ia), int(reverseB ? imageB - 1 - ib : ib)});
    p = std::min(nextPosition(ia, startA, imageA, screenA), nextPosition(ib, startB, imageB, screenB));
  }
}

}  // namespace

bool SpriteScene::collide(int32_t a, int32_t b) {
  if (!items.pool.isUsed(a) || !items.pool.isUsed(b)) return false;
  RenderItem& ra = items.pool[a];
  RenderItem& rb = items.pool[b];
  if (!ra.exists || !rb.exists) return false;
  const ImageSlot* pa = shownImage(ra);
  const ImageSlot* pb = shownImage(rb);
  if (!pa || !pb) return false;
  const OnScreen A = placeOf(ra, pa), B = placeOf(rb, pb);
  if (!(B.right >= A.left && B.bottom >= A.top && B.left < A.right && B.top < A.bottom)) return false;
  const int left = std::max(A.left, B.left), right = std::min(A.right, B.right);
  const int top = std::max(A.top, B.top), bottom = std::min(A.bottom, B.bottom);
  if (left >= right || top >= bottom) return false;
  thread_local std::vector<Span> columns, rows;
  spansOver(left, right, A.left, pa->width, A.right - A.left, ra.mirrored != 0, B.left, pb->width, B.right - B.left,
            rb.mirrored != 0, columns);
  spansOver(top, bottom, A.top, pa->height, A.bottom - A.top, ra.flipped != 0, B.top, pb->height, B.bottom - B.top,
            rb.flipped != 0, rows);
  // Two sprites touch where their pixel values have a bit in common: transparent black never
  // collides, and neither do colours without a common bit (red and blue in 16 bit). Programs rely
  // on this to let sprites of different colours pass each other.
  const Surface& sa = *pa->surface;
  const Surface& sb = *pb->surface;
  for (const Span& row : rows)
    for (const Span& column : columns)
      if ((sa.pixel(pa->left + column.a, pa->top + row.a) & sb.pixel(pb->left + column.b, pb->top + row.b)) != 0)
        return true;
  return false;
}

int SpriteScene::collisionResult(int32_t item, int other) {
  if (validSprite(other)) {
    const int32_t b = itemOf(other);
    return b >= 0 && collide(item, b) ? 1 : 0;
  }
  for (int32_t i = items.pool.head(); i >= 0; i = items.pool[i].next) {
    if (i == item) continue;
    const RenderItem& r = items.pool[i];
    if (r.is3dObject || r.spriteNumber < 1) continue;
    if (collide(item, i)) return r.spriteNumber;
  }
  return 0;
}

// ---- frame steps ---------------------------------------------------------------------------------------

void SpriteScene::restoreBackgrounds() {
  if (!device.created) return;
  Surface& screen = device.backBuffer();
  const int page = device.page & 1;
  for (int32_t i = items.pool.head(); i >= 0; i = items.pool[i].next) {
    const RenderItem& r = items.pool[i];
    if (!r.backgroundSave) continue;
    const SavedBackground& saved = r.saved[page];
    if (saved.right <= 0 || saved.image <= 0 || !images.isUsed(saved.image)) continue;
    const ImageSlot& p = images[saved.image];
    if (!p.inUse || !p.surface) continue;
    blitSprite(*p.surface, p.rect(), screen, Rect{saved.left, saved.top, saved.left + p.width, saved.top + p.height}, false, false,
               false);
  }
}

void SpriteScene::saveBackgrounds() {
  if (!device.created) return;
  Surface& screen = device.backBuffer();
  const int page = device.page & 1;
  for (int32_t i = items.pool.head(); i >= 0; i = items.pool[i].next) {
    RenderItem& r = items.pool[i];
    if (!r.backgroundSave || r.is3dObject) continue;
    SavedBackground& saved = r.saved[page];
    const ImageSlot* p = r.exists ? shownImage(r) : nullptr;
    // This page's background was put back in the pre-frame step; without a picture now there is
    // nothing to take away next time, and putting it back again would paint over newer drawing.
    saved.right = 0;
    if (!p) continue;
    const int w = scaled(p->width, r.scaleX), h = scaled(p->height, r.scaleY);
    if (w == 0 || h == 0) continue;
    const int64_t x0 = int64_t(r.x) - r.offsetX, y0 = int64_t(r.y) - r.offsetY;
    const int left = int(std::clamp<int64_t>(x0, 0, screen.width)), top = int(std::clamp<int64_t>(y0, 0, screen.height));
    const int right = int(std::clamp<int64_t>(x0 + w, 0, screen.width)), bottom = int(std::clamp<int64_t>(y0 + h, 0, screen.height));
    if (left >= right || top >= bottom) continue;
    if (saved.image <= 0 || !images.isUsed(saved.image)) {
      saved.image = images.allocate();
      if (saved.image < 0) {
        saved.image = -1;
        vm::raise(machine, kNoMemory);
        continue;
      }
    }
    ImageSlot& slot = images[saved.image];
    // The saved picture keeps a surface at least as large as the area, so a sprite that moves
    // about the screen edge does not re-create it every frame.
    const bool fits = slot.surface && slot.surfaceWidth >= right - left && slot.surfaceHeight >= bottom - top &&
                      slot.surface->bitsPerPixel() == screen.bitsPerPixel();
    if (!fits && !images.prepare(saved.image, right - left, bottom - top, screen.bitsPerPixel())) {
      vm::raise(machine, kNoMemory);
      continue;
    }
    slot.inUse = true;
    slot.left = slot.top = 0;
    slot.right = slot.width = right - left;
    slot.bottom = slot.height = bottom - top;
    blitSprite(screen, Rect{left, top, right, bottom}, *slot.surface, slot.rect(), false, false, false);
    saved.left = left;
    saved.top = top;
    saved.right = right;
    saved.bottom = bottom;
  }
}

void SpriteScene::drawSprites() {
  if (!device.created) return;
  Surface& screen = device.backBuffer();
  for (int layer = 0; layer <= 2; ++layer)
    for (int32_t i = items.pool.head(); i >= 0; i = items.pool[i].next) {
      RenderItem& r = items.pool[i];
      if (r.layer != layer || !r.visible || r.is3dObject || !r.exists) continue;
      drawSprite(r, screen, topLeft(r.x, r.offsetX), topLeft(r.y, r.offsetY));
    }
}

void SpriteScene::countDownDeletions() {
  images.countDown();
  for (int32_t i = items.pool.head(); i >= 0;) {
    const int32_t next = items.pool[i].next;
    RenderItem& r = items.pool[i];
    if (r.deletionCountdown > 0 && --r.deletionCountdown == 0) freeItem(i);
    i = next;
  }
}

// ---- attaching ---------------------------------------------------------------------------------------

SpriteScene* spritesOf(const vm::Machine& m) {
  auto it = registry().find(&m);
  return it == registry().end() ? nullptr : it->second;
}

void attachSprites(vm::Machine& m, DisplayDevice& device, std::function<std::string(const std::string&)> resolveMedia, int overdraw) {
  Drawing* drawing = drawingOf(m);
  if (!drawing) return;
  auto scene = std::shared_ptr<SpriteScene>(new SpriteScene(m, device, *drawing), [](SpriteScene* s) {
    auto it = registry().find(&s->machine);
    if (it != registry().end() && it->second == s) registry().erase(it);
    delete s;
  });
  scene->resolveMedia = std::move(resolveMedia);
  scene->overdraw = std::max(1, overdraw);
  registry()[&m] = scene.get();
  device.addFrameStep(FrameStep::RestoreSpriteBackgrounds, [scene] { scene->restoreBackgrounds(); });
  device.addFrameStep(FrameStep::DeferredDeletions, [scene] { scene->countDownDeletions(); });
  device.addFrameStep(FrameStep::SaveSpriteBackgrounds, [scene] { scene->saveBackgrounds(); });
  device.addFrameStep(FrameStep::DrawSprites, [scene] { scene->drawSprites(); });
  device.onRelease.push_back([scene] { scene->dropSurfaces(); });
  m.runStartHooks.push_back([](vm::Machine& m) {
    if (SpriteScene* s = spritesOf(m)) s->reset();
  });
}

}  // namespace display
