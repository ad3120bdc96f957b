// Writes 24-bit uncompressed BMP files with a 40-byte information header, rows bottom-up.
#include "display/codecs/decoded_image.h"

namespace display::codecs {
namespace {
void put16(std::string& out, uint32_t v) {
  out.push_back(char(v));
  out.push_back(char(v >> 8));
}
void put32(std::string& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}
}  // namespace

bool encodeBmp(const DecodedImage& image, std::string& out, std::string& error) {
  const size_t stride = (size_t(image.width) * 3 + 3) / 4 * 4;
  const uint64_t pixelBytes = uint64_t(stride) * uint64_t(image.height);
  if (pixelBytes + 54 > 0xFFFFFFFFu) {
    error = "picture is too large for a BMP file";
    return false;
  }
  out.clear();
  out.reserve(size_t(54 + pixelBytes));
  out += "BM";
  put32(out, uint32_t(54 + pixelBytes));
  put32(out, 0);
  put32(out, 54);
  put32(out, 40);
  put32(out, uint32_t(image.width));
  put32(out, uint32_t(image.height));
  put16(out, 1);
  put16(out, 24);
  put32(out, 0);  // no compression
  put32(out, uint32_t(pixelBytes));
  put32(out, 2835);  // 72 dots per inch
  put32(out, 2835);
  put32(out, 0);
  put32(out, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    const uint32_t* src = image.row(y);
    for (int x = 0; x < image.width; ++x) {
      out.push_back(char(src[x]));
      out.push_back(char(src[x] >> 8));
      out.push_back(char(src[x] >> 16));
    }
    out.append(stride - size_t(image.width) * 3, '\0');
  }
  return true;
}

}  // namespace display::codecs
