#include "platform/headless/png_writer.h"

#include <csetjmp>
#include <cstdio>
#include <png.h> // libpng: encoding the frame
#include <vector>

#include "platform/files.h"

namespace platform::headless {
namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto *out = static_cast<std::string *>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char *>(data), length);
}

void noFlush(png_structp) {}

} // namespace

bool writePng(const std::string &path, const uint32_t *pixels, int width, int height, std::string *error) {
    std::string encoded;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        if (error)
            *error = "out of memory encoding " + path;
        return false;
    }
    std::vector<png_byte> row(static_cast<size_t>(width) * 3);
    // libpng reports failures by longjmp; nothing with a destructor is created after this point.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        if (error)
            *error = "cannot encode " + path;
        return false;
    }
    png_set_write_fn(png, &encoded, appendBytes, noFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const uint32_t *src = pixels + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            row[x * 3] = static_cast<png_byte>(src[x] >> 16);
            row[x * 3 + 1] = static_cast<png_byte>(src[x] >> 8);
            row[x * 3 + 2] = static_cast<png_byte>(src[x]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return writeFileAtomically(path, encoded, error);
}

} // namespace platform::headless
