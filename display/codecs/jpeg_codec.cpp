// JPEG through libjpeg. Like the PNG codec, library errors leave by a C++ exception from the
// error callback. Colour, grey and CMYK files are all read (grey is widened to RGB, CMYK
// converted); writing is baseline at quality 100.
#include <cstdio>
#include <jpeglib.h>

#include <stdexcept>

#include "display/codecs/decoded_image.h"

namespace display::codecs {
namespace {

struct JpegError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void onError(j_common_ptr info) {
  char message[JMSG_LENGTH_MAX];
  (*info->err->format_message)(info, message);
  throw JpegError(message);
}
void onMessage(j_common_ptr, int) {}  // warnings (a cut-short file reads with grey fill)

struct Decompressor {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  Decompressor() {
    info.err = jpeg_std_error(&errors);
    errors.error_exit = onError;
    errors.emit_message = onMessage;
    jpeg_create_decompress(&info);
  }
  ~Decompressor() { jpeg_destroy_decompress(&info); }
};

struct Compressor {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  Compressor() {
    info.err = jpeg_std_error(&errors);
    errors.error_exit = onError;
    errors.emit_message = onMessage;
    jpeg_create_compress(&info);
  }
  ~Compressor() {
    jpeg_destroy_compress(&info);
    free(buffer);
  }
};

}  // namespace

DecodeResult decodeJpeg(Bytes data) {
  if (data.size() < 3 || data[0] != 0xFF || data[1] != 0xD8) return DecodeResult::fail("not a JPEG file");
  Decompressor d;
  try {
    jpeg_mem_src(&d.info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&d.info, TRUE);
    if (!sizeAllowed(d.info.image_width, d.info.image_height))
      return DecodeResult::fail("JPEG picture is larger than the system accepts");
    const bool cmyk = d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK;
    d.info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&d.info);
    const int width = int(d.info.output_width), height = int(d.info.output_height);
    const int components = d.info.output_components;
    if ((cmyk && components != 4) || (!cmyk && components != 3))
      return DecodeResult::fail("JPEG colour conversion is unexpected");
    // Files with an Adobe marker store CMYK inverted (0 = full ink), which is what every
    // program that writes them does; without the marker the values are taken as ink amounts.
    const bool inverted = d.info.saw_Adobe_marker;
    DecodedImage image(width, height);
    std::vector<uint8_t> line(size_t(width) * components);
    while (d.info.output_scanline < d.info.output_height) {
      const int y = int(d.info.output_scanline);
      JSAMPROW row = line.data();
      jpeg_read_scanlines(&d.info, &row, 1);
      uint32_t* out = image.row(y);
      for (int x = 0; x < width; ++x) {
        const uint8_t* p = line.data() + size_t(x) * components;
        if (cmyk) {
          uint32_t c = p[0], m = p[1], yy = p[2], k = p[3];
          if (!inverted) c = 255 - c, m = 255 - m, yy = 255 - yy, k = 255 - k;
          out[x] = argb((c * k + 127) / 255, (m * k + 127) / 255, (yy * k + 127) / 255);
        } else {
          out[x] = argb(p[0], p[1], p[2]);
        }
      }
    }
    jpeg_finish_decompress(&d.info);
    return DecodeResult::done(std::move(image));
  } catch (const JpegError& e) {
    return DecodeResult::fail(std::string("JPEG: ") + e.what());
  }
}

bool encodeJpeg(const DecodedImage& image, std::string& out, std::string& error) {
  Compressor c;
  try {
    jpeg_mem_dest(&c.info, &c.buffer, &c.size);
    c.info.image_width = JDIMENSION(image.width);
    c.info.image_height = JDIMENSION(image.height);
    c.info.input_components = 3;
    c.info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c.info);
    jpeg_set_quality(&c.info, 100, TRUE);
    jpeg_start_compress(&c.info, TRUE);
    std::vector<uint8_t> line(size_t(image.width) * 3);
    for (int y = 0; y < image.height; ++y) {
      const uint32_t* src = image.row(y);
      for (int x = 0; x < image.width; ++x) {
        line[x * 3] = uint8_t(src[x] >> 16);
        line[x * 3 + 1] = uint8_t(src[x] >> 8);
        line[x * 3 + 2] = uint8_t(src[x]);
      }
      JSAMPROW row = line.data();
      jpeg_write_scanlines(&c.info, &row, 1);
    }
    jpeg_finish_compress(&c.info);
    out.assign(reinterpret_cast<const char*>(c.buffer), c.size);
    return true;
  } catch (const JpegError& e) {
    error = std::string("JPEG: ") + e.what();
    return false;
  }
}

}  // namespace display::codecs
