// Block compression of 4 x 4 texels: decoding of DXT1, DXT3 and DXT5 blocks and encoding of
// DXT1 blocks (the DDS writer's format). Texels are 0xAARRGGBB in rows of four.
#pragma once

#include <cstdint>

namespace display::codecs {

void decodeDxt1Block(const uint8_t* block, uint32_t texels[16]);
void decodeDxt3Block(const uint8_t* block, uint32_t texels[16]);
void decodeDxt5Block(const uint8_t* block, uint32_t texels[16]);
void encodeDxt1Block(const uint32_t texels[16], uint8_t block[8]);

}  // namespace display::codecs
