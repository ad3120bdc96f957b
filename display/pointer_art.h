// The engine-drawn mouse pointer's art: one small picture the pointer images are cut from, all at
// its top-left corner (a 20 x 22 arrow, a 2 x 22 bar and a 1 x 1 dot). Black is transparent.
#pragma once

#include <cstdint>

namespace display {

inline constexpr int kPointerArtWidth = 20;
inline constexpr int kPointerArtHeight = 22;

// The colour of the art at (x, y) as 0xRRGGBB; 0 (transparent) outside it.
uint32_t pointerArtColour(int x, int y);

} // namespace display
