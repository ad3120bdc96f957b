#include "display/codecs/dxt.h"

#include <algorithm>

namespace display::codecs {
namespace {

uint32_t expand565(uint16_t c) {
  const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  return ((r << 3) | (r >> 2)) << 16 | ((g << 2) | (g >> 4)) << 8 | ((b << 3) | (b >> 2));
}

uint32_t mix(uint32_t a, uint32_t b, int wa, int wb, int div) {
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    out |= ((ca * wa + cb * wb) / div) << shift;
  }
  return out;
}

// The colour half of a block. DXT3 and DXT5 always use four colours, whatever the order of the
// two end points; DXT1 switches to three colours and transparent black when c0 <= c1.
void decodeColours(const uint8_t* block, uint32_t texels[16], bool allowThreeColour) {
  const uint16_t c0 = uint16_t(block[0] | (block[1] << 8)), c1 = uint16_t(block[2] | (block[3] << 8));
  uint32_t colour[4];
  colour[0] = expand565(c0) | 0xFF000000u;
  colour[1] = expand565(c1) | 0xFF000000u;
  if (c0 > c1 || !allowThreeColour) {
    colour[2] = mix(colour[0], colour[1], 2, 1, 3) | 0xFF000000u;
    colour[3] = mix(colour[0], colour[1], 1, 2, 3) | 0xFF000000u;
  } else {
    colour[2] = mix(colour[0], colour[1], 1, 1, 2) | 0xFF000000u;
    colour[3] = 0;
  }
  for (int i = 0; i < 16; ++i) texels[i] = colour[(block[4 + i / 4] >> (2 * (i % 4))) & 3];
}

void setAlpha(uint32_t& texel, uint32_t alpha) { texel = (texel & 0x00FFFFFFu) | (alpha << 24); }

}  // namespace

void decodeDxt1Block(const uint8_t* block, uint32_t texels[16]) { decodeColours(block, texels, true); }

void decodeDxt3Block(const uint8_t* block, uint32_t texels[16]) {
  decodeColours(block + 8, texels, false);
  for (int i = 0; i < 16; ++i) {
    const uint32_t nibble = (block[i / 2] >> (4 * (i & 1))) & 0xF;
    setAlpha(texels[i], nibble * 17);
  }
}

void decodeDxt5Block(const uint8_t* block, uint32_t texels[16]) {
  decodeColours(block + 8, texels, false);
  const uint32_t a0 = block[0], a1 = block[1];
  uint32_t alpha[8] = {a0, a1};
  if (a0 > a1) {
    for (int i = 1; i < 7; ++i) alpha[i + 1] = ((7 - i) * a0 + i * a1) / 7;
  } else {
    for (int i = 1; i < 5; ++i) alpha[i + 1] = ((5 - i) * a0 + i * a1) / 5;
    alpha[6] = 0;
    alpha[7] = 255;
  }
  uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= uint64_t(block[2 + i]) << (8 * i);
  for (int i = 0; i < 16; ++i) setAlpha(texels[i], alpha[(bits >> (3 * i)) & 7]);
}

// End points are the darkest and brightest texels of the block; every texel takes the nearest of
// the four colours between them. c0 > c1 keeps the block in four-colour (opaque) mode.
void encodeDxt1Block(const uint32_t texels[16], uint8_t block[8]) {
  auto luma = [](uint32_t c) { return 2 * ((c >> 16) & 0xFF) + 4 * ((c >> 8) & 0xFF) + (c & 0xFF); };
  auto pack565 = [](uint32_t c) {
    return uint16_t((((c >> 16) & 0xFF) * 31 / 255) << 11 | (((c >> 8) & 0xFF) * 63 / 255) << 5 | ((c & 0xFF) * 31 / 255));
  };
  uint32_t lo = texels[0], hi = texels[0];
  for (int i = 1; i < 16; ++i) {
    if (luma(texels[i]) < luma(lo)) lo = texels[i];
    if (luma(texels[i]) > luma(hi)) hi = texels[i];
  }
  uint16_t c0 = pack565(hi), c1 = pack565(lo);
  if (c0 < c1) std::swap(c0, c1);
  uint32_t indices = 0;
  if (c0 != c1) {
    uint32_t colour[4] = {expand565(c0), expand565(c1), 0, 0};
    colour[2] = mix(colour[0], colour[1], 2, 1, 3);
    colour[3] = mix(colour[0], colour[1], 1, 2, 3);
    for (int i = 0; i < 16; ++i) {
      int best = 0, bestDistance = 1 << 30;
      for (int k = 0; k < 4; ++k) {
        int distance = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
          const int d = int((texels[i] >> shift) & 0xFF) - int((colour[k] >> shift) & 0xFF);
          distance += d * d;
        }
        if (distance < bestDistance) bestDistance = distance, best = k;
      }
      indices |= uint32_t(best) << (2 * i);
    }
  }
  block[0] = uint8_t(c0);
  block[1] = uint8_t(c0 >> 8);
  block[2] = uint8_t(c1);
  block[3] = uint8_t(c1 >> 8);
  for (int i = 0; i < 4; ++i) block[4 + i] = uint8_t(indices >> (8 * i));
}

}  // namespace display::codecs
