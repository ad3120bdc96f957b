// TIFF files: the built-in reader for uncompressed, LZW and PackBits pictures, the general image
// library for the rest (JPEG, fax and deflate compression): first page, 16-bit samples scaled to
// 8 bits. The built-in reader goes first because the library refuses tiled planar pictures, leaves
// associated alpha premultiplied, and its TIFF layer prints a line to the terminal for every EXIF
// tag it does not know.
#include <FreeImage.h>

#include <cstdarg>

#include <memory>
#include <string>

#include "display/codecs/decoded_image.h"
#include "display/codecs/tiff_own.h"
#include "platform/shared_library.h"

// The TIFF layer under the general image library prints its warnings and errors to the terminal
// unless told otherwise; these two entry points of its stable interface switch that off.
using TiffMessageHandler = void (*)(const char* module, const char* format, va_list arguments);
using TiffSetHandler = TiffMessageHandler (*)(TiffMessageHandler handler);

namespace display::codecs {
namespace {

void ignoreMessage(FREE_IMAGE_FORMAT, const char*) {}

// The general image library and its TIFF layer pull in dozens of libraries of their own, so they
// are loaded when the first TIFF picture the built-in reader cannot read needs them, not at start.
struct ImageLibrary {
  std::string error;  // empty when every entry point was found
  decltype(&FreeImage_SetOutputMessage) setOutputMessage = nullptr;
  decltype(&FreeImage_OpenMemory) openMemory = nullptr;
  decltype(&FreeImage_CloseMemory) closeMemory = nullptr;
  decltype(&FreeImage_LoadFromMemory) loadFromMemory = nullptr;
  decltype(&FreeImage_Unload) unload = nullptr;
  decltype(&FreeImage_GetWidth) width = nullptr;
  decltype(&FreeImage_GetHeight) height = nullptr;
  decltype(&FreeImage_GetImageType) imageType = nullptr;
  decltype(&FreeImage_GetScanLine) scanLine = nullptr;
  decltype(&FreeImage_ConvertTo32Bits) convertTo32Bits = nullptr;
  TiffSetHandler setTiffErrorHandler = nullptr;
  TiffSetHandler setTiffWarningHandler = nullptr;
};

template <typename Function>
void find(void* library, const char* name, Function& function, std::string& error) {
  function = reinterpret_cast<Function>(platform::librarySymbol(library, name));
  if (!function && error.empty()) error = std::string("the image library has no ") + name;
}

ImageLibrary loadImageLibrary() {
  ImageLibrary lib;
  void* images = platform::openLibrary("libfreeimage.so.3", lib.error);
  void* tiff = images ? platform::openLibrary("libtiff.so.6", lib.error) : nullptr;
  if (!images || !tiff) {
    lib.error = "the image library for TIFF files is not installed (" + lib.error + ")";
    return lib;
  }
  find(images, "FreeImage_SetOutputMessage", lib.setOutputMessage, lib.error);
  find(images, "FreeImage_OpenMemory", lib.openMemory, lib.error);
  find(images, "FreeImage_CloseMemory", lib.closeMemory, lib.error);
  find(images, "FreeImage_LoadFromMemory", lib.loadFromMemory, lib.error);
  find(images, "FreeImage_Unload", lib.unload, lib.error);
  find(images, "FreeImage_GetWidth", lib.width, lib.error);
  find(images, "FreeImage_GetHeight", lib.height, lib.error);
  find(images, "FreeImage_GetImageType", lib.imageType, lib.error);
  find(images, "FreeImage_GetScanLine", lib.scanLine, lib.error);
  find(images, "FreeImage_ConvertTo32Bits", lib.convertTo32Bits, lib.error);
  find(tiff, "TIFFSetErrorHandler", lib.setTiffErrorHandler, lib.error);
  find(tiff, "TIFFSetWarningHandler", lib.setTiffWarningHandler, lib.error);
  return lib;
}

const ImageLibrary& imageLibrary() {
  static const ImageLibrary lib = loadImageLibrary();
  return lib;
}

struct BitmapDeleter {
  void operator()(FIBITMAP* bitmap) const { imageLibrary().unload(bitmap); }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

uint32_t scale16(uint16_t v) { return (uint32_t(v) + 128) / 257; }

}  // namespace

static DecodeResult decodeWithLibrary(Bytes data) {
  if (data.size() < 8 || !((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M')))
    return DecodeResult::fail("not a TIFF file");
  const ImageLibrary& lib = imageLibrary();
  if (!lib.error.empty()) return DecodeResult::fail(lib.error);
  lib.setOutputMessage(ignoreMessage);
  lib.setTiffErrorHandler(nullptr);
  lib.setTiffWarningHandler(nullptr);
  FIMEMORY* memory = lib.openMemory(const_cast<BYTE*>(data.data()), DWORD(data.size()));
  if (!memory) return DecodeResult::fail("out of memory");
  Bitmap bitmap(lib.loadFromMemory(FIF_TIFF, memory, 0));
  lib.closeMemory(memory);
  if (!bitmap) return DecodeResult::fail("TIFF file could not be decoded");
  const int width = int(lib.width(bitmap.get())), height = int(lib.height(bitmap.get()));
  if (!sizeAllowed(width, height)) return DecodeResult::fail("TIFF picture size is zero or too large");

  DecodedImage image(width, height);
  const FREE_IMAGE_TYPE type = lib.imageType(bitmap.get());
  // The library keeps rows bottom-up.
  if (type == FIT_UINT16 || type == FIT_RGB16 || type == FIT_RGBA16) {
    const int samples = type == FIT_UINT16 ? 1 : type == FIT_RGB16 ? 3 : 4;
    for (int y = 0; y < height; ++y) {
      auto* src = reinterpret_cast<const uint16_t*>(lib.scanLine(bitmap.get(), height - 1 - y));
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
  Bitmap converted(lib.convertTo32Bits(bitmap.get()));
  if (!converted) return DecodeResult::fail("TIFF pixels could not be converted");
  for (int y = 0; y < height; ++y) {
    const BYTE* src = lib.scanLine(converted.get(), height - 1 - y);
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
