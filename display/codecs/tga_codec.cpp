// TARGA files: colour-mapped, true-colour and grey pictures, raw or run-length encoded, of 8,
// 15, 16, 24 and 32 bits, in any of the four origins; the writer stores uncompressed 24 bits.
// Our own reader rather than the general image library: that library refuses grey pictures with
// alpha and misplaces colour maps that start past entry 0.
#include "display/codecs/byte_reader.h"
#include "display/codecs/decoded_image.h"

namespace display::codecs {
namespace {

uint32_t from16(uint32_t v) {
  const uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
  // The attribute bit is not alpha: writers leave it 0 on opaque pictures as often as not.
  return argb((r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2));
}

uint32_t readTrueColour(const uint8_t* p, int bits) {
  switch (bits) {
    case 15: case 16: return from16(p[0] | (p[1] << 8));
    case 24: return argb(p[2], p[1], p[0]);
    default: return argb(p[2], p[1], p[0], p[3]);
  }
}

}  // namespace

DecodeResult decodeTga(Bytes data) {
  ByteReader in(data);
  const uint8_t idLength = in.u8(), mapType = in.u8(), type = in.u8();
  const uint16_t mapFirst = in.u16le(), mapLength = in.u16le();
  const uint8_t mapBits = in.u8();
  in.skip(4);  // origin
  const uint16_t width = in.u16le(), height = in.u16le();
  const uint8_t bits = in.u8(), descriptor = in.u8();
  if (!in.ok()) return DecodeResult::fail("TARGA header is cut short");
  const int kind = type & 7;
  const bool rle = type & 8;
  if (type > 11 || kind == 0 || kind > 3 || mapType > 1) return DecodeResult::fail("TARGA image type is not supported");
  if ((kind == 1 && (bits != 8 || mapType != 1)) || (kind == 2 && bits != 15 && bits != 16 && bits != 24 && bits != 32) ||
      (kind == 3 && bits != 8 && bits != 16))
    return DecodeResult::fail("TARGA pixel size does not fit the image type");
  if (!sizeAllowed(width, height)) return DecodeResult::fail("TARGA picture size is zero or too large");
  in.skip(idLength);

  std::vector<uint32_t> palette(256, argb(0, 0, 0));
  if (mapType == 1) {
    if (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32)
      return DecodeResult::fail("TARGA colour map entry size is not supported");
    const size_t entryBytes = (mapBits + 7) / 8;
    auto map = in.take(entryBytes * mapLength);
    if (!in.ok()) return DecodeResult::fail("TARGA colour map is cut short");
    for (size_t i = 0; i < mapLength; ++i)
      if (mapFirst + i < 256) palette[mapFirst + i] = readTrueColour(map.data() + i * entryBytes, mapBits);
  }

  const size_t pixelBytes = (bits + 7) / 8;
  const size_t count = size_t(width) * height;
  std::vector<uint8_t> raw(count * pixelBytes);
  if (!rle) {
    auto stored = in.take(raw.size());
    if (!in.ok()) return DecodeResult::fail("TARGA pixel data is cut short");
    std::copy(stored.begin(), stored.end(), raw.begin());
  } else {
    // Packets may run on from one line into the next; none may pass the end of the picture.
    size_t done = 0;
    while (done < count) {
      const uint8_t header = in.u8();
      const size_t n = std::min<size_t>((header & 0x7F) + 1, count - done);
      if (header & 0x80) {
        auto value = in.take(pixelBytes);
        if (!in.ok()) break;
        for (size_t i = 0; i < n; ++i) std::copy(value.begin(), value.end(), raw.begin() + (done + i) * pixelBytes);
      } else {
        auto values = in.take(n * pixelBytes);
        if (!in.ok()) break;
        std::copy(values.begin(), values.end(), raw.begin() + done * pixelBytes);
      }
      done += n;
    }
    if (done < count) return DecodeResult::fail("TARGA run-length data is cut short");
  }

  const bool topDown = descriptor & 0x20, rightToLeft = descriptor & 0x10;
  DecodedImage image(width, height);
  for (int y = 0; y < height; ++y) {
    uint32_t* out = image.row(topDown ? y : height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = raw.data() + (size_t(y) * width + x) * pixelBytes;
      uint32_t colour;
      if (kind == 1) colour = palette[p[0]];
      else if (kind == 3) colour = argb(p[0], p[0], p[0], bits == 16 ? p[1] : 255);
      else colour = readTrueColour(p, bits);
      out[rightToLeft ? width - 1 - x : x] = colour;
    }
  }
  return DecodeResult::done(std::move(image));
}

bool encodeTga(const DecodedImage& image, std::string& out, std::string& error) {
  if (image.width > 0xFFFF || image.height > 0xFFFF) {
    error = "TARGA files hold at most 65535 x 65535 pixels";
    return false;
  }
  out.assign(18, '\0');
  out[2] = 2;  // uncompressed true colour
  out[12] = char(image.width & 0xFF);
  out[13] = char(image.width >> 8);
  out[14] = char(image.height & 0xFF);
  out[15] = char(image.height >> 8);
  out[16] = 24;
  out.reserve(18 + size_t(image.width) * image.height * 3);
  for (int y = image.height - 1; y >= 0; --y) {
    const uint32_t* src = image.row(y);
    for (int x = 0; x < image.width; ++x) {
      out.push_back(char(src[x]));
      out.push_back(char(src[x] >> 8));
      out.push_back(char(src[x] >> 16));
    }
  }
  return true;
}

}  // namespace display::codecs
