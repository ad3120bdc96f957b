#include "display/image_table.h"

#include <new>

namespace display {

ImageTable::ImageTable() : pool_(16, 12), map_(size_t(kMaxImageNumber) + 1) { clear(); }

void ImageTable::clear() {
  pool_.clear();
  map_.clear();
  pool_.allocate();  // slot 0: never handed out, so a map value of 0 means no image
}

int32_t ImageTable::allocate() {
  const int32_t slot = pool_.allocate();
  if (slot >= 0) pool_[slot].generation = nextGeneration_++;
  return slot;
}

void ImageTable::free(int32_t slot) {
  if (isUsed(slot)) pool_.free(slot);
}

void ImageTable::deleteLater(int number) {
  const int32_t slot = slotOf(number);
  map(number, 0);
  deleteSlotLater(slot);
}

void ImageTable::deleteSlotLater(int32_t slot) {
  if (isUsed(slot)) pool_[slot].deletionCountdown = 2;
}

void ImageTable::countDown() {
  for (int32_t i = pool_.head(); i >= 0;) {
    const int32_t next = pool_[i].next;
    ImageSlot& s = pool_[i];
    if (s.deletionCountdown > 0 && --s.deletionCountdown == 0) free(i);
    i = next;
  }
}

bool ImageTable::prepare(int32_t slot, int width, int height, int bitsPerPixel) {
  if (!isUsed(slot)) return false;
  ImageSlot& s = pool_[slot];
  if (width <= 0 || height <= 0) {
    empty(slot);
    return false;
  }
  const bool reusable = s.surface && s.surfaceWidth == width && s.surfaceHeight == height &&
                        s.surface->bitsPerPixel() == bitsPerPixel;
  if (!reusable) {
    s.surface.reset();
    try {
      s.surface = std::make_unique<Surface>(width, height, bitsPerPixel);
    } catch (const std::bad_alloc&) {
      empty(slot);
      return false;
    }
    s.surface->setBlackKey();
    s.surfaceWidth = width;
    s.surfaceHeight = height;
  }
  s.left = s.top = 0;
  s.right = s.width = width;
  s.bottom = s.height = height;
  s.inUse = true;
  return true;
}

void ImageTable::empty(int32_t slot) {
  if (!isUsed(slot)) return;
  ImageSlot& s = pool_[slot];
  s.surface.reset();
  s.inUse = false;
  s.left = s.top = s.right = s.bottom = s.width = s.height = 0;
  s.surfaceWidth = s.surfaceHeight = 0;
  s.texture = 0;
}

void ImageTable::emptyAll() {
  for (int32_t i = pool_.head(); i >= 0; i = pool_[i].next)
    if (i > 0) empty(i);
}

const ImageSlot* ImageTable::picture(int32_t slot, uint32_t generation) const {
  if (!isUsed(slot)) return nullptr;
  const ImageSlot& s = pool_[slot];
  return s.generation == generation && s.inUse && s.surface ? &s : nullptr;
}

}  // namespace display
