// Drawing commands: clear, colours, dot, box, line, circle, ellipse and reading a pixel. Each
// handler queues an item for the current bitmap; the item draws when the queue runs.
#include <cstdint>

#include "display/display_device.h"
#include "display/draw_primitives.h"
#include "display/drawing.h"
#include "display/text_engine.h"
#include "vm/machine.h"

namespace display {
namespace {

enum Kind { kClear = 101, kDot = 103, kBox = 104, kLine = 105, kEllipse = 106, kSetColours = 107, kSetBackground = 108, kReadPixel = 109 };

int32_t operand(vm::Machine& m, int k) { return m.pc[k].cell->i; }

// The right or bottom edge after a last included pixel; at the largest integer the rectangle is
// outside every surface anyway, so it stays there instead of overflowing.
int32_t edgeAfter(int32_t last) { return last < INT32_MAX ? last + 1 : last; }

// ---- item kinds ----------------------------------------------------------------------------------

void runClear(Drawing& d, DrawItem& item) {
  Surface* target = d.targetOf(item);
  if (!target) return;
  // The bitmap's record gives the size (the screen's own size for bitmap 0).
  const BitmapSlot& slot = d.slots[size_t(item.bitmap)];
  const int w = item.bitmap == 0 ? target->width : slot.width, h = item.bitmap == 0 ? target->height : slot.height;
  // The 3D engine queues its clears with p[0] = 1 and the colour (0xRRGGBB) in p[1].
  const uint32_t packed = item.p[0] == 1 ? target->layout.pack(uint32_t(item.p[1]) & 0xFFFFFF) : d.background.packed;
  fillRect(*target, Rect{0, 0, w, h}, packed);
}

void runSetColours(Drawing& d, DrawItem& item) {
  Surface* target = d.targetOf(item);
  if (item.kind == kSetColours) d.foreground.rgb = uint32_t(item.x) & 0xFFFFFF;
  d.background.rgb = uint32_t(item.kind == kSetColours ? item.y : item.x) & 0xFFFFFF;
  d.packColours(target ? *target : d.device.backBuffer(), item.kind == kSetColours);
}

void runDot(Drawing& d, DrawItem& item) {
  if (Surface* target = d.targetOf(item)) fillRect(*target, Rect{item.x, item.y, edgeAfter(item.x), edgeAfter(item.y)}, d.foreground.packed);
}

void runBox(Drawing& d, DrawItem& item) {
  // Handed to the fill unchanged: a box not wholly inside, or with corners out of order, draws nothing.
  if (Surface* target = d.targetOf(item))
    fillRect(*target, Rect{item.x, item.y, edgeAfter(item.x2), edgeAfter(item.y2)}, d.foreground.packed);
}

void runLine(Drawing& d, DrawItem& item) {
  if (Surface* target = d.targetOf(item)) drawLine(*target, item.x, item.y, item.x2, item.y2, d.foreground.packed);
}

void runEllipse(Drawing& d, DrawItem& item) {
  if (Surface* target = d.targetOf(item)) drawEllipse(*target, float(item.x), float(item.y), float(item.x2), float(item.y2), d.foreground.packed);
}

void runReadPixel(Drawing& d, DrawItem& item) {
  Surface* target = d.targetOf(item);
  if (!target || !item.result) return;
  const BitmapSlot& slot = d.slots[size_t(item.bitmap)];
  const int w = item.bitmap == 0 ? target->width : slot.width, h = item.bitmap == 0 ? target->height : slot.height;
  if (item.x < 0 || item.y < 0 || item.x >= w || item.y >= h || !target->contains(item.x, item.y)) return;
  item.result->i = int32_t(target->colour(item.x, item.y));
}

// ---- handlers ------------------------------------------------------------------------------------

Drawing* drawingFor(vm::Machine& m, int operands) {
  Drawing* d = drawingOf(m);
  if (!d) m.pc += operands;
  return d;
}

// 212: clear the current bitmap to the background colour.
void clear(vm::Machine& m) {
  Drawing* d = drawingFor(m, 0);
  if (!d) return;
  d->queueItem(kClear);
  resetPrintCursor(m);
  d->endSliceForDrawing(true);
}

// 405 colour: set the background colour, then clear.
void clearWithColour(vm::Machine& m) {
  Drawing* d = drawingFor(m, 1);
  if (!d) return;
  d->queueItem(kSetBackground).x = operand(m, 0);
  m.pc += 1;
  d->queueItem(kClear);
  resetPrintCursor(m);
  d->endSliceForDrawing(true);
}

// 227 foreground, background. Colour changes replay with the screen drawing around them on a flip
// chain, so the second page draws each item in the colour it had on the first.
void setInk(vm::Machine& m) {
  Drawing* d = drawingFor(m, 2);
  if (!d) return;
  DrawItem& item = d->queueItem(kSetColours);
  item.x = operand(m, 0);
  item.y = operand(m, 1);
  m.pc += 2;
}

// 215 x, y.
void dot(vm::Machine& m) {
  Drawing* d = drawingFor(m, 2);
  if (!d) return;
  DrawItem& item = d->queueItem(kDot);
  item.x = operand(m, 0);
  item.y = operand(m, 1);
  m.pc += 2;
  d->endSliceForDrawing(true);
}

// 208 left, top, right, bottom (both corners included); 235 x1, y1, x2, y2.
template <int kKind, bool kScreenOnly>
void fourPointItem(vm::Machine& m) {
  Drawing* d = drawingFor(m, 4);
  if (!d) return;
  DrawItem& item = d->queueItem(kKind);
  item.x = operand(m, 0), item.y = operand(m, 1), item.x2 = operand(m, 2), item.y2 = operand(m, 3);
  m.pc += 4;
  d->endSliceForDrawing(kScreenOnly);
}

// 210 x, y, radius.
void circle(vm::Machine& m) {
  Drawing* d = drawingFor(m, 3);
  if (!d) return;
  DrawItem& item = d->queueItem(kEllipse);
  item.x = operand(m, 0), item.y = operand(m, 1), item.x2 = item.y2 = operand(m, 2);
  m.pc += 3;
  d->endSliceForDrawing(true);
}

// 243 result, x, y: the pixel is read when the item runs; the result cell is written then.
void readPixel(vm::Machine& m) {
  Drawing* d = drawingFor(m, 3);
  if (!d) return;
  // A read is not replayed on the second page: one answer, from the page the program drew on.
  DrawItem& item = d->queueItem(kReadPixel, false);
  item.result = m.pc[0].cell;
  item.x = operand(m, 1), item.y = operand(m, 2);
  m.pc += 3;
  m.endSlice = true;
}

constexpr vm::CommandEntry kDrawCommands[] = {
    {212, &clear, "clear the current bitmap to the background colour"},
    {405, &clearWithColour, "set the background colour and clear"},
    {227, &setInk, "set the ink and background colours"},
    {215, &dot, "set one pixel to the ink colour"},
    {208, &fourPointItem<kBox, false>, "fill a box with the ink colour"},
    {235, &fourPointItem<kLine, true>, "draw a line"},
    {210, &circle, "draw a circle outline"},
    {216, &fourPointItem<kEllipse, true>, "draw an ellipse outline"},
    {243, &readPixel, "read a pixel of the current bitmap as 0xRRGGBB"},
};

}  // namespace

void registerDrawCommands(vm::Machine& m) {
  vm::registerCommands(m, kDrawCommands);
  Drawing::registerKind(kClear, &runClear);
  Drawing::registerKind(kDot, &runDot);
  Drawing::registerKind(kBox, &runBox);
  Drawing::registerKind(kLine, &runLine);
  Drawing::registerKind(kEllipse, &runEllipse);
  Drawing::registerKind(kSetColours, &runSetColours);
  Drawing::registerKind(kSetBackground, &runSetColours);
  Drawing::registerKind(kReadPixel, &runReadPixel);
}

}  // namespace display
