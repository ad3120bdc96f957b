// Writes DDS files: DXT1 with a full mip chain, the picture scaled to power-of-two sides.
#include <algorithm>

#include "display/codecs/decoded_image.h"
#include "display/codecs/dxt.h"
#include "display/codecs/mip_chain.h"

namespace display::codecs {
namespace {

void put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(char(v >> (8 * i)));
}

// 1 and 2 give 2, 3 and 4 give 4, ..., anything above 8192 gives 16384.
int roundSide(int side) {
  int p = 2;
  while (p < side && p < 16384) p *= 2;
  return p;
}

void appendDxt1(const DecodedImage& level, std::string& out) {
  uint32_t texels[16];
  uint8_t block[8];
  for (int by = 0; by < level.height; by += 4)
    for (int bx = 0; bx < level.width; bx += 4) {
      for (int i = 0; i < 16; ++i)  // texels outside a small level repeat its edge
        texels[i] = level.at(std::min(bx + i % 4, level.width - 1), std::min(by + i / 4, level.height - 1));
      encodeDxt1Block(texels, block);
      out.append(reinterpret_cast<const char*>(block), 8);
    }
}

}  // namespace

bool encodeDds(const DecodedImage& image, std::string& out, std::string& error) {
  if (image.empty()) {
    error = "picture is empty";
    return false;
  }
  const int width = roundSide(image.width), height = roundSide(image.height);
  const int count = mipLevelCount(width, height);
  const auto levels = buildMipChain(image, width, height, std::max(count, 1));

  constexpr uint32_t kCaps = 0x1, kHeight = 0x2, kWidth = 0x4, kPixelFormat = 0x1000, kMipMapCount = 0x20000;
  constexpr uint32_t kComplex = 0x8, kTexture = 0x1000, kMipMap = 0x400000;
  out = "DDS ";
  put32(out, 124);
  put32(out, kCaps | kHeight | kWidth | kPixelFormat | kMipMapCount);
  put32(out, uint32_t(height));
  put32(out, uint32_t(width));
  put32(out, 0);  // pitch or linear size: not given
  put32(out, 0);  // depth
  put32(out, uint32_t(count));
  for (int i = 0; i < 11; ++i) put32(out, 0);
  put32(out, 32);  // pixel format: four-character code DXT1
  put32(out, 0x4);
  out += "DXT1";
  for (int i = 0; i < 5; ++i) put32(out, 0);
  put32(out, kComplex | kTexture | kMipMap);
  for (int i = 0; i < 4; ++i) put32(out, 0);
  for (const auto& level : levels) appendDxt1(level, out);
  // The system's DDS files have always ended with the top level's data once more; readers stop
  // after the levels the header counts, so the extra copy is harmless and kept.
  appendDxt1(levels.front(), out);
  return true;
}

}  // namespace display::codecs
