// Mip chains: the level count, the 2 x 2 block averaging and the filling of every level from the
// top one. Shared by the DDS writer and by the textures the 3D engine builds.
#pragma once

#include <vector>

#include "display/codecs/decoded_image.h"

namespace display::codecs {

// How many times the smaller side can be halved while it is above 2 (256 gives 7, 3 gives 1).
int mipLevelCount(int width, int height);

// Each 2 x 2 block with its top-left corner on even coordinates gets the integer average of its
// pixels inside the picture, in every pixel of the block. Alpha is dropped (made opaque).
void averageBlocks(DecodedImage& image);

// Nearest-neighbour scaling to a new size (the plain stretching copy).
DecodedImage scaleNearest(const DecodedImage& image, int width, int height);

// Levels 0 to count - 1: the picture scaled to width x height, then each level half the size of
// the one before (at least 1), made by averaging blocks and taking every second pixel. Stops
// early once a level is less than 2 pixels wide.
std::vector<DecodedImage> buildMipChain(const DecodedImage& top, int width, int height, int count);

}  // namespace display::codecs
