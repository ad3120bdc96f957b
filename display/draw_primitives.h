// Pixel work on surfaces: rectangle fills, lines, ellipses, copies (plain, colour-keyed, scaled,
// between layouts) and the bitmap effects. Rectangles are half-open: (left, top, right, bottom)
// covers left <= x < right, top <= y < bottom.
#pragma once

#include <cstdint>

#include "display/surface.h"

namespace display {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

// Fills the rectangle with a packed value. A rectangle that is empty, reversed or not wholly
// inside the surface is refused (false) and nothing is drawn, as the surface fill does.
bool fillRect(Surface& surface, const Rect& r, uint32_t packed);

// The line of the drawing commands: unit steps along the line from (x1, y1), one pixel at the
// truncated position of each step while t <= length; stops at the first pixel outside.
void drawLine(Surface& surface, double x1, double y1, double x2, double y2, uint32_t packed);

// Circles and ellipses as 102 line segments around the centre.
void drawEllipse(Surface& surface, float cx, float cy, float rx, float ry, uint32_t packed);

// Copies `from` of the source into `to` of the destination, scaled (nearest pixel) when the sizes
// differ, converting between layouts when they differ, leaving out source pixels equal to the
// source's colour key when `keyed`. Both rectangles must lie inside their surfaces (false if not).
bool copyRect(const Surface& source, const Rect& from, Surface& destination, const Rect& to, bool keyed);

void mirrorSurface(Surface& surface);  // reverse left and right
void flipSurface(Surface& surface);    // reverse top and bottom
// Box blur of size amount + 1 (amount 1 to 8), channel by channel with integer averages.
void blurSurface(Surface& surface, int amount);
// Every channel becomes trunc(channel * percent / 100).
void fadeSurface(Surface& surface, int percent);

}  // namespace display
