// PCX files: one plane of 1, 2, 4 or 8 bits, two to four planes of 1 bit (16 colours) and three or
// four planes of 8 bits (true colour). Each scan line is decoded on its own; a run that would pass
// the end of its line is cut there.
#include "display/codecs/byte_reader.h"
#include "display/codecs/decoded_image.h"

namespace display::codecs {

DecodeResult decodePcx(Bytes data) {
  if (data.size() < 128 || data[0] != 10) return DecodeResult::fail("not a PCX file");
  ByteReader in(data);
  in.seek(2);
  const uint8_t encoding = in.u8();
  const uint8_t bitsPerPlane = in.u8();
  const int xmin = in.u16le(), ymin = in.u16le(), xmax = in.u16le(), ymax = in.u16le();
  in.seek(65);
  const int planes = in.u8();
  const int bytesPerLine = in.u16le();
  if (encoding > 1) return DecodeResult::fail("PCX encoding is unknown");
  if (xmax < xmin || ymax < ymin) return DecodeResult::fail("PCX picture box is empty");
  const int width = xmax - xmin + 1, height = ymax - ymin + 1;
  if (!sizeAllowed(width, height)) return DecodeResult::fail("PCX picture is larger than the system accepts");

  const bool indexed = planes == 1 && (bitsPerPlane == 1 || bitsPerPlane == 2 || bitsPerPlane == 4 || bitsPerPlane == 8);
  const bool planar16 = bitsPerPlane == 1 && planes >= 2 && planes <= 4;
  const bool trueColour = bitsPerPlane == 8 && (planes == 3 || planes == 4);
  if (!indexed && !planar16 && !trueColour)
    return DecodeResult::fail("PCX with " + std::to_string(planes) + " planes of " + std::to_string(bitsPerPlane) +
                              " bits is not supported");
  // A line must hold the whole width; a smaller one is how damaged files try to overrun buffers.
  if (int64_t(bytesPerLine) * 8 < int64_t(width) * bitsPerPlane)
    return DecodeResult::fail("PCX line is shorter than the picture width");

  // Palette: black and white for 1 bit, the header's 16 colours for 2 to 4 bits, and for 8 bits
  // the 768 bytes after the marker 12 at the end of the file (all black without the marker).
  std::vector<uint32_t> palette(256, argb(0, 0, 0));
  const int bits = bitsPerPlane * planes;
  if (bits == 1) {
    palette[1] = argb(255, 255, 255);
  } else if (bits <= 4) {
    for (int i = 0; i < 16; ++i) palette[i] = argb(data[16 + i * 3], data[17 + i * 3], data[18 + i * 3]);
  } else if (indexed && data.size() >= 128 + 769 && data[data.size() - 769] == 12) {
    const uint8_t* p = data.data() + data.size() - 768;
    for (int i = 0; i < 256; ++i) palette[i] = argb(p[i * 3], p[i * 3 + 1], p[i * 3 + 2]);
  }

  const size_t lineBytes = size_t(bytesPerLine) * size_t(planes);
  std::vector<uint8_t> line(lineBytes);
  DecodedImage image(width, height);
  in.seek(128);
  for (int y = 0; y < height; ++y) {
    size_t stored = 0;
    while (stored < lineBytes) {
      uint8_t byte = in.u8();
      if (!in.ok()) break;
      size_t count = 1;
      if (encoding == 1 && (byte & 0xC0) == 0xC0) {
        count = byte & 0x3F;
        byte = in.u8();
        if (!in.ok()) break;
      }
      for (; count > 0 && stored < lineBytes; --count) line[stored++] = byte;
    }
    if (stored < lineBytes) return DecodeResult::fail("PCX pixel data is cut short");

    uint32_t* out = image.row(y);
    for (int x = 0; x < width; ++x) {
      if (trueColour) {
        out[x] = argb(line[x], line[bytesPerLine + x], line[2 * size_t(bytesPerLine) + x]);
      } else if (planar16) {
        uint32_t index = 0;
        for (int p = 0; p < planes; ++p)
          if (line[size_t(p) * bytesPerLine + x / 8] & (0x80 >> (x % 8))) index |= 1u << p;
        out[x] = palette[index];
      } else {
        const size_t bit = size_t(x) * bitsPerPlane;
        const uint32_t index = (line[bit / 8] >> (8 - bitsPerPlane - bit % 8)) & ((1u << bitsPerPlane) - 1);
        out[x] = palette[index];
      }
    }
  }
  return DecodeResult::done(std::move(image));
}

}  // namespace display::codecs
