#include "display/codecs/mip_chain.h"

#include <algorithm>

namespace display::codecs {

int mipLevelCount(int width, int height) {
  int side = std::min(width, height), count = 0;
  while (side > 2) {
    side /= 2;
    ++count;
  }
  return count;
}

void averageBlocks(DecodedImage& image) {
  for (int by = 0; by < image.height; by += 2)
    for (int bx = 0; bx < image.width; bx += 2) {
      const int x1 = std::min(bx + 2, image.width), y1 = std::min(by + 2, image.height);
      uint32_t r = 0, g = 0, b = 0, n = 0;
      for (int y = by; y < y1; ++y)
        for (int x = bx; x < x1; ++x) {
          const uint32_t c = image.at(x, y);
          r += (c >> 16) & 0xFF, g += (c >> 8) & 0xFF, b += c & 0xFF, ++n;
        }
      const uint32_t average = argb(r / n, g / n, b / n);
      for (int y = by; y < y1; ++y)
        for (int x = bx; x < x1; ++x) image.at(x, y) = average;
    }
}

DecodedImage scaleNearest(const DecodedImage& image, int width, int height) {
  DecodedImage out(width, height);
  for (int y = 0; y < height; ++y) {
    const uint32_t* src = image.row(int(int64_t(y) * image.height / height));
    uint32_t* dst = out.row(y);
    for (int x = 0; x < width; ++x) dst[x] = src[int64_t(x) * image.width / width];
  }
  return out;
}

std::vector<DecodedImage> buildMipChain(const DecodedImage& top, int width, int height, int count) {
  std::vector<DecodedImage> levels;
  DecodedImage work = top;
  for (int k = 0; k < count; ++k) {
    const int w = std::max(1, width >> k), h = std::max(1, height >> k);
    if (w < 2) break;
    if (k >= 1) averageBlocks(work);
    levels.push_back(scaleNearest(work, w, h));
    work = levels.back();
  }
  return levels;
}

}  // namespace display::codecs
