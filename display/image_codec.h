// The ImageCodec: image files in and out of surfaces. The format follows the last three letters of
// the file name, in any case: bmp, rle, dib, jpg, png, tga, tif, pcx, psd and dds are read; bmp,
// jpg, png, tga and dds are written. Readers never trust a file's sizes: a damaged or hostile file
// gives no surface and a reason, never a crash or a huge allocation. Writers store the whole file
// atomically (temporary file, then rename), so a failed write leaves no partial file behind.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "display/codecs/decoded_image.h"
#include "display/surface.h"

namespace display {

enum class ImageFormat { kNone, kBmp, kJpeg, kPng, kTarga, kTiff, kPcx, kPsd, kDds };

// The format for a file name by its last three characters, compared without regard to case.
ImageFormat imageFormatForName(std::string_view fileName);

// The picture converted into a surface of 16, 24 or 32 bits (alpha is dropped; no colour key).
Surface surfaceFromImage(const codecs::DecodedImage& image, int bitsPerPixel);
// A surface's pixels as 0xFFRRGGBB through its channel masks.
codecs::DecodedImage imageFromSurface(const Surface& surface);

// A mip-mapped texture: level 0 is the full picture, each further level half the size.
struct MipTexture {
  std::vector<Surface> levels;
  std::string pixelFormat;  // "DXT" + letter when compressed, empty for the surface's own format
};

class ImageCodec {
 public:
  // `detailCode` receives the internal detail code of every DDS read (the runtime's error dump
  // shows it); it may be null.
  explicit ImageCodec(int* detailCode = nullptr) : detailCode_(detailCode) {}

  // Reads a file into a new surface of `bitsPerPixel`; none when the file cannot be opened,
  // recognised or decoded (lastError() says why).
  std::optional<Surface> read(const std::string& path, int bitsPerPixel);
  // The same, stopping at the decoded picture (alpha kept).
  codecs::DecodeResult decodeFile(const std::string& path);

  // Writes a surface; false (with lastError()) when nothing was written: an ending the codec does
  // not write, a picture the format cannot hold, or a file that cannot be stored.
  bool write(const Surface& surface, const std::string& path);
  bool writeImage(const codecs::DecodedImage& image, const std::string& path);

  // The texture's levels: mipLevelCount of the surface's own size, each level of the surface's
  // depth. With `compress`, the texture is marked "DXT" + letter for the 3D device.
  std::optional<MipTexture> makeMipMappedTexture(const Surface& surface, char letter, bool compress);

  const std::string& lastError() const { return lastError_; }

 private:
  int* detailCode_;
  std::string lastError_;
};

}  // namespace display
