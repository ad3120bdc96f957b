// The neutral form every image reader produces and every writer consumes: a top-down picture of
// 0xAARRGGBB pixels with any palette already resolved. Surfaces are made from it afterwards, so
// the readers know nothing of the display's pixel layouts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace display::codecs {

// Files may claim any size; nothing larger than this is ever allocated. 16384 is the largest
// texture side the 3D device accepts, and 64 M pixels (256 MB decoded) bounds a hostile header.
inline constexpr int kMaxSide = 16384;
inline constexpr uint64_t kMaxPixels = uint64_t(1) << 26;

inline bool sizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
         uint64_t(width) * uint64_t(height) <= kMaxPixels;
}

struct DecodedImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // width * height, row 0 at the top, 0xAARRGGBB

  DecodedImage() = default;
  DecodedImage(int w, int h, uint32_t fill = 0xFF000000u)
      : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}

  bool empty() const { return width <= 0 || height <= 0; }
  uint32_t& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  uint32_t* row(int y) { return pixels.data() + size_t(y) * size_t(width); }
  const uint32_t* row(int y) const { return pixels.data() + size_t(y) * size_t(width); }
};

// What a reader gives back: the picture, or why there is none (a short text for logs and tests).
struct DecodeResult {
  DecodedImage image;
  std::string error;
  bool ok() const { return error.empty() && !image.empty(); }

  static DecodeResult fail(std::string why) {
    DecodeResult r;
    r.error = std::move(why);
    return r;
  }
  static DecodeResult done(DecodedImage&& image) {
    DecodeResult r;
    r.image = std::move(image);
    return r;
  }
};

using Bytes = std::span<const uint8_t>;

inline constexpr uint32_t argb(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 255) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// Readers, one per format family. Each stays inside `data` whatever the file claims.
DecodeResult decodeBmp(Bytes data);
DecodeResult decodePcx(Bytes data);
DecodeResult decodePsd(Bytes data);
DecodeResult decodePng(Bytes data);
DecodeResult decodeJpeg(Bytes data);
DecodeResult decodeTga(Bytes data);
DecodeResult decodeTiff(Bytes data);

// The DDS reader also reports the internal detail code of its last step (10002 to 10006).
DecodeResult decodeDds(Bytes data, int& detailCode);

// Writers produce the whole file in memory; the codec stores it atomically. False with `error`
// set when the picture cannot be encoded.
bool encodeBmp(const DecodedImage& image, std::string& out, std::string& error);
bool encodeTga(const DecodedImage& image, std::string& out, std::string& error);
bool encodePng(const DecodedImage& image, std::string& out, std::string& error);
bool encodeJpeg(const DecodedImage& image, std::string& out, std::string& error);
bool encodeDds(const DecodedImage& image, std::string& out, std::string& error);

}  // namespace display::codecs
