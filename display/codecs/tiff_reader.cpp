// TIFF files: the built-in reader for uncompressed, LZW and PackBits pictures, the general image
// library for the rest (JPEG, fax and deflate compression): first page, 16-bit samples scaled to
// 8 bits. The built-in reader goes first because the library refuses tiled planar pictures, leaves
// associated alpha premultiplied, and its TIFF layer prints a line to the terminal for every EXIF
// tag it does not know.
#include <FreeImage.h>

#include <cstdarg>

#include <memory>

#include "display/codecs/decoded_image.h"
#include "display/codecs/tiff_own.h"

// The TIFF layer under the general image library prints its warnings and errors to the terminal
// unless told otherwise; these two entry points of its stable interface switch that off.
extern "C" {
using TiffMessageHandler = void (*)(const char* module, const char* format, va_list arguments);
TiffMessageHandler TIFFSetErrorHandler(TiffMessageHandler handler);
TiffMessageHandler TIFFSetWarningHandler(TiffMessageHandler handler);
}

namespace display::codecs {
namespace {

void ignoreMessage(FREE_IMAGE_FORMAT, const char*) {}

struct BitmapDeleter {
  void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

uint32_t scale16(uint16_t v) { return (uint32_t(v) + 128) / 257; }

}  // namespace

static DecodeResult decodeWithLibrary(Bytes data) {
  if (data.size() < 8 || !((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M')))
    return DecodeResult::fail("not a TIFF file");
  FreeImage_SetOutputMessage(ignoreMessage);
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  FIMEMORY* memory = FreeImage_OpenMemory(const_cast<BYTE*>(data.data()), DWORD(data.size()));
  if (!memory) return DecodeResult::fail("out of memory");
  Bitmap bitmap(FreeImage_LoadFromMemory(FIF_TIFF, memory, 0));
  FreeImage_CloseMemory(memory);
  if (!bitmap) return DecodeResult::fail("TIFF file could not be decoded");
  const int width = int(FreeImage_GetWidth(bitmap.get())), height = int(FreeImage_GetHeight(bitmap.get()));
  if (!sizeAllowed(width, height)) return DecodeResult::fail("TIFF picture size is zero or too large");

  DecodedImage image(width, height);
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(bitmap.get());
  // The library keeps rows bottom-up.
  if (type == FIT_UINT16 || type == FIT_RGB16 || type == FIT_RGBA16) {
    const int samples = type == FIT_UINT16 ? 1 : type == FIT_RGB16 ? 3 : 4;
    for (int y = 0; y < height; ++y) {
      auto* src = reinterpret_cast<const uint16_t*>(FreeImage_GetScanLine(bitmap.get(), height - 1 - y));
      uint32_t* out = image.row(y);
      for (int x = 0; x < width; ++x, src += samples) {
        if (samples == 1) {
          const uint32_t v = scale16(src[0]);
          out[x] = argb(v, v, v);
        } else {
          out[x] = argb(scale16(src[0]), scale16(src[1]), scale16(src[2]), samples == 4 ? scale16(src[3]) : 255);
        }
      }
    }
    return DecodeResult::done(std::move(image));
  }
  if (type != FIT_BITMAP) return DecodeResult::fail("TIFF sample format is not supported");
  Bitmap converted(FreeImage_ConvertTo32Bits(bitmap.get()));
  if (!converted) return DecodeResult::fail("TIFF pixels could not be converted");
  for (int y = 0; y < height; ++y) {
    const BYTE* src = FreeImage_GetScanLine(converted.get(), height - 1 - y);
    uint32_t* out = image.row(y);
    for (int x = 0; x < width; ++x, src += 4)
      out[x] = argb(src[FI_RGBA_RED], src[FI_RGBA_GREEN], src[FI_RGBA_BLUE], src[FI_RGBA_ALPHA]);
  }
  return DecodeResult::done(std::move(image));
}

DecodeResult decodeTiff(Bytes data) {
  auto own = decodeTiffOwn(data);
  if (own.ok()) return own;
  auto result = decodeWithLibrary(data);
  return result.ok() ? std::move(result) : DecodeResult::fail(own.error + "; " + result.error);
}

}  // namespace display::codecs
