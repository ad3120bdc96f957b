// PNG through libpng. Errors leave libpng by a C++ exception thrown from its error callback, so
// no jump buffer is needed and the structures are freed by their guard. Text chunks are never
// read (a 57-byte file can otherwise claim a gigabyte of text) and sizes are capped.
#include <png.h>

#include <algorithm>
#include <bit>
#include <stdexcept>

#include "display/codecs/decoded_image.h"

namespace display::codecs {
namespace {

struct PngError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void onError(png_structp, png_const_charp message) { throw PngError(message ? message : "PNG error"); }
void onWarning(png_structp, png_const_charp) {}

struct MemorySource {
  Bytes data;
  size_t position = 0;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (count > source->data.size() - source->position) png_error(png, "file is cut short");
  std::copy_n(source->data.data() + source->position, count, out);
  source->position += count;
}

void writeToString(png_structp png, png_bytep bytes, png_size_t count) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(bytes), count);
}
void flushNothing(png_structp) {}

struct ReadGuard {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~ReadGuard() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

struct WriteGuard {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~WriteGuard() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

}  // namespace

DecodeResult decodePng(Bytes data) {
  if (data.size() < 8 || png_sig_cmp(data.data(), 0, 8) != 0) return DecodeResult::fail("not a PNG file");
  ReadGuard g;
  g.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
  if (!g.png) return DecodeResult::fail("out of memory");
  g.info = png_create_info_struct(g.png);
  if (!g.info) return DecodeResult::fail("out of memory");
  MemorySource source{data};
  try {
    png_set_read_fn(g.png, &source, readFromMemory);
    static const png_byte kTextChunks[] = "tEXt\0zTXt\0iTXt";
    png_set_keep_unknown_chunks(g.png, PNG_HANDLE_CHUNK_NEVER, kTextChunks, 3);
    png_set_user_limits(g.png, kMaxSide, kMaxSide);
    png_set_chunk_malloc_max(g.png, 64u << 20);
    png_read_info(g.png, g.info);
    const png_uint_32 width = png_get_image_width(g.png, g.info), height = png_get_image_height(g.png, g.info);
    if (!sizeAllowed(width, height)) return DecodeResult::fail("PNG picture is larger than the system accepts");
    // Everything becomes 8-bit blue, green, red, alpha: palettes and grey expanded, tRNS made
    // alpha, 16 bits scaled. On a little-endian machine those bytes are the 0xAARRGGBB words of
    // the picture, so the rows are decoded straight into it with no second buffer.
    static_assert(std::endian::native == std::endian::little);
    png_set_expand(g.png);
    png_set_scale_16(g.png);
    png_set_gray_to_rgb(g.png);
    png_set_bgr(g.png);
    png_set_add_alpha(g.png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(g.png);
    png_read_update_info(g.png, g.info);
    if (png_get_rowbytes(g.png, g.info) != size_t(width) * 4) return DecodeResult::fail("PNG pixel layout is unexpected");
    DecodedImage image{int(width), int(height)};
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = reinterpret_cast<png_bytep>(image.row(int(y)));
    png_read_image(g.png, rows.data());
    return DecodeResult::done(std::move(image));
  } catch (const PngError& e) {
    return DecodeResult::fail(std::string("PNG: ") + e.what());
  }
}

bool encodePng(const DecodedImage& image, std::string& out, std::string& error) {
  WriteGuard g;
  g.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
  if (g.png) g.info = png_create_info_struct(g.png);
  if (!g.png || !g.info) {
    error = "out of memory";
    return false;
  }
  try {
    png_set_write_fn(g.png, &out, writeToString, flushNothing);
    png_set_IHDR(g.png, g.info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(g.png, g.info);
    std::vector<uint8_t> row(size_t(image.width) * 3);
    for (int y = 0; y < image.height; ++y) {
      const uint32_t* src = image.row(y);
      for (int x = 0; x < image.width; ++x) {
        row[x * 3] = uint8_t(src[x] >> 16);
        row[x * 3 + 1] = uint8_t(src[x] >> 8);
        row[x * 3 + 2] = uint8_t(src[x]);
      }
      png_write_row(g.png, row.data());
    }
    png_write_end(g.png, nullptr);
    return true;
  } catch (const PngError& e) {
    error = std::string("PNG: ") + e.what();
    return false;
  }
}

}  // namespace display::codecs
