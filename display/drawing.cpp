#include "display/drawing.h"

#include <map>

#include "display/display_device.h"
#include "vm/machine.h"

namespace display {
namespace {

constexpr int kMaxKind = 512;
constexpr int kManualSliceItemLimit = 32000;

std::array<Drawing::KindHandler, kMaxKind>& kindTable() {
  static std::array<Drawing::KindHandler, kMaxKind> table{};
  return table;
}

std::map<const vm::Machine*, Drawing*>& registry() {
  static std::map<const vm::Machine*, Drawing*> machines;
  return machines;
}

}  // namespace

Drawing::Drawing(vm::Machine& m, DisplayDevice& d) : machine(m), device(d), codec(&m.internalDetailCode) {
  // The display starts with a black background and white ink.
  background.rgb = 0;
  foreground.rgb = 0xFFFFFF;
  packColours(device.backBuffer(), true);
}

void Drawing::registerKind(int kind, KindHandler handler) {
  if (kind > 0 && kind < kMaxKind) kindTable()[size_t(kind)] = handler;
}

void Drawing::reset() {
  queue.drop();
  for (int i = 1; i < kBitmapCount; ++i) releaseSlot(i);
  slots[0].mirrored = slots[0].flipped = 0;
  currentBitmap = queueCurrentBitmap = 0;
  pendingScreenSave.clear();
}

Surface* Drawing::surfaceOf(int bitmap) {
  if (bitmap == 0) return device.created ? &device.backBuffer() : nullptr;
  if (bitmap < 0 || bitmap >= kBitmapCount) return nullptr;
  return slots[size_t(bitmap)].surface.get();
}

Surface* Drawing::targetOf(const DrawItem& item) {
  if (item.bitmap == 0) return surfaceOf(0);
  if (item.bitmap < 0 || item.bitmap >= kBitmapCount) return nullptr;
  const BitmapSlot& slot = slots[size_t(item.bitmap)];
  return slot.stamp == item.targetStamp ? slot.surface.get() : nullptr;
}

DrawItem& Drawing::queueItem(int kind, bool draws) {
  DrawItem& item = queue.queue(kind);
  item.bitmap = currentBitmap;
  item.targetStamp = slots[size_t(currentBitmap)].stamp;
  item.replayCount = uint8_t(draws && currentBitmap == 0 ? std::max(1, device.replayCount) : 1);
  if (!machine.autoRefresh && queue.count() > kManualSliceItemLimit) machine.endSlice = true;
  return item;
}

void Drawing::endSliceForDrawing(bool screenOnly) {
  if (screenOnly && currentBitmap != 0) return;
  if (machine.autoRefresh) machine.endSlice = true;
}

void Drawing::setSlot(int bitmap, std::unique_ptr<Surface> surface) {
  BitmapSlot& slot = slots[size_t(bitmap)];
  slot.surface = std::move(surface);
  slot.stamp = nextStamp_++;
  slot.mirrored = slot.flipped = 0;
  recordSize(bitmap);
}

void Drawing::releaseSlot(int bitmap) {
  BitmapSlot& slot = slots[size_t(bitmap)];
  if (slot.surface) slot.stamp = nextStamp_++;
  slot = BitmapSlot{nullptr, 0, 0, 0, 0, 0, slot.stamp};
}

void Drawing::recordSize(int bitmap) {
  BitmapSlot& slot = slots[size_t(bitmap)];
  if (const Surface* s = surfaceOf(bitmap)) {
    slot.width = s->width;
    slot.height = s->height;
    slot.depth = s->bitsPerPixel();
  }
}

void Drawing::packColours(const Surface& target, bool foregroundToo) {
  const PixelLayout& layout = target.layout;
  auto pack = [&](InkColour& c) {
    c.packed = layout.pack(c.rgb);
    c.rgb = layout.unpack(c.packed);
  };
  if (foregroundToo) pack(foreground);
  const uint32_t asked = background.rgb;
  pack(background);
  device.backgroundColour = asked;
}

void Drawing::run(DrawItem& item) {
  if (item.kind <= 0 || item.kind >= kMaxKind) return;
  if (KindHandler handler = kindTable()[size_t(item.kind)]) handler(*this, item);
}

Drawing* drawingOf(const vm::Machine& m) {
  auto it = registry().find(&m);
  return it == registry().end() ? nullptr : it->second;
}

void attachDrawing(vm::Machine& m, DisplayDevice& device, std::function<std::string(const std::string&)> resolveMedia) {
  auto drawing = std::shared_ptr<Drawing>(new Drawing(m, device), [](Drawing* d) {
    auto it = registry().find(&d->machine);
    if (it != registry().end() && it->second == d) registry().erase(it);
    delete d;
  });
  drawing->resolveMedia = std::move(resolveMedia);
  registry()[&m] = drawing.get();
  device.addFrameStep(FrameStep::DrawQueue, [drawing] {
    if (!drawing->device.created) return;
    drawing->queue.execute([&](DrawItem& item) { drawing->run(item); });
  });
  device.addFrameStep(FrameStep::ScreenSave, [drawing] {
    if (drawing->pendingScreenSave.empty()) return;
    const std::string name = std::move(drawing->pendingScreenSave);
    drawing->pendingScreenSave.clear();
    drawing->device.bringPrimaryUpToDate();
    if (!drawing->codec.write(drawing->device.primarySurface(), name)) {
      drawing->device.recordEngineError("Could not save the screen: " + drawing->codec.lastError());
      vm::raise(drawing->machine, 1004);
    }
  });
  // Re-creating the display releases every bitmap and drops what was queued for the old surfaces.
  device.onRelease.push_back([drawing] { drawing->reset(); });
  device.onRecreated.push_back([drawing] {
    drawing->recordSize(0);
    drawing->packColours(drawing->device.backBuffer(), true);
  });
  m.runStartHooks.push_back([](vm::Machine& m) {
    if (Drawing* d = drawingOf(m)) {
      d->reset();
      d->recordSize(0);
      d->packColours(d->device.backBuffer(), true);
    }
  });
}

}  // namespace display
