// The copies of images and sprites: the clip-and-scale rectangle computation and the scaled,
// mirrored, flipped, colour-keyed copy it feeds.
#pragma once

#include "display/draw_primitives.h"
#include "display/surface.h"

namespace display {

struct ClipRequest {
  int targetWidth = 0, targetHeight = 0;
  Rect source;       // the picture inside its surface
  int x = 0, y = 0;  // top-left on the target
  int width = 0, height = 0;  // the picture's size
  float scaleX = 1.0f, scaleY = 1.0f;
  bool mirrored = false, flipped = false;
};

// The destination on the target, (x, y) to (x + trunc(w * sx), y + trunc(h * sy)), cut to the
// target, and the part of the source that lands in it: each screen pixel cut at an edge removes
// trunc(cut / scale) source pixels, from the far side of the source when mirrored or flipped.
// False when nothing would be drawn.
bool clipAndScale(const ClipRequest& request, Rect& source, Rect& destination);

// Copies `source` of `from` into `destination` of `onto`, scaled by nearest pixel, reversed
// left-right when mirrored and top-bottom when flipped, leaving out pixels equal to the source's
// colour key when `keyed`. Both rectangles must lie inside their surfaces (false if not).
bool blitSprite(const Surface& from, const Rect& source, Surface& onto, const Rect& destination, bool mirrored,
                bool flipped, bool keyed);

}  // namespace display
