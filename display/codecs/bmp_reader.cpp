// BMP, RLE and DIB files: core (OS/2 1.x) headers, OS/2 2.x headers and Windows headers of every
// version; 1, 2, 4, 8, 16, 24 and 32 bits; RLE4, RLE8, bit fields with and without alpha; bottom-up
// and top-down rows; embedded JPEG and PNG streams.
#include <array>
#include <bit>

#include "display/codecs/byte_reader.h"
#include "display/codecs/decoded_image.h"

namespace display::codecs {
namespace {

enum Compression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kJpeg = 4, kPng = 5, kAlphaBitFields = 6 };

struct BmpHeader {
  uint32_t headerSize = 0;
  int64_t width = 0, height = 0;
  bool topDown = false;
  uint32_t bitCount = 0;
  uint32_t compression = kRgb;
  uint32_t coloursUsed = 0;
  uint32_t redMask = 0, greenMask = 0, blueMask = 0, alphaMask = 0;
  size_t paletteStart = 0;
  int paletteEntrySize = 4;
  uint32_t pixelOffset = 0;
};

struct Channel {
  uint32_t mask = 0, shift = 0, max = 0;
  explicit Channel(uint32_t m = 0) : mask(m), shift(maskShift(m)), max(m ? m >> maskShift(m) : 0) {}
  uint32_t read(uint32_t word) const { return mask ? widenChannel((word & mask) >> shift, max) : 0; }
};

bool readHeader(Bytes data, BmpHeader& h, std::string& error) {
  ByteReader in(data);
  if (in.u8() != 'B' || in.u8() != 'M') {
    error = "not a BMP file (no \"BM\" signature)";
    return false;
  }
  in.seek(10);
  h.pixelOffset = in.u32le();
  h.headerSize = in.u32le();
  if (!in.ok()) {
    error = "BMP header is cut short";
    return false;
  }
  const bool os2v2 = h.headerSize == 64 || h.headerSize == 16;
  if (h.headerSize == 12) {
    h.width = in.u16le();
    h.height = in.u16le();
    in.u16le();  // planes: not examined, like every reader that accepts such files
    h.bitCount = in.u16le();
    h.paletteEntrySize = 3;
  } else if (h.headerSize >= 16 && h.headerSize <= 4096) {
    h.width = in.i32le();
    int32_t height = in.i32le();
    in.u16le();
    h.bitCount = in.u16le();
    if (h.headerSize >= 20) h.compression = in.u32le();
    if (h.headerSize >= 36) {
      in.skip(12);  // image size (often wrong), resolution
      h.coloursUsed = in.u32le();
    }
    h.topDown = height < 0;
    h.height = height < 0 ? -int64_t(height) : height;
    if (os2v2 && (h.compression == 3 || h.compression == 4)) {
      error = "OS/2 Huffman and RLE24 BMP compression are not supported";
      return false;
    }
  } else {
    error = "BMP information header has an impossible size";
    return false;
  }
  if (!in.ok()) {
    error = "BMP header is cut short";
    return false;
  }
  const size_t headerEnd = 14 + size_t(h.headerSize);
  // Channel masks: inside V2+ headers, or just after a 40-byte header for the bit-field kinds.
  ByteReader masks(data, 14 + 40);
  const bool masksInHeader = h.headerSize >= 52 && !os2v2;
  const bool bitFields = h.compression == kBitFields || h.compression == kAlphaBitFields;
  h.paletteStart = headerEnd;
  if (masksInHeader || (bitFields && h.headerSize == 40)) {
    h.redMask = masks.u32le();
    h.greenMask = masks.u32le();
    h.blueMask = masks.u32le();
    if (h.headerSize >= 56 || h.compression == kAlphaBitFields) h.alphaMask = masks.u32le();
    if (h.headerSize == 40) h.paletteStart = masks.position();
    if (!masks.ok()) {
      error = "BMP channel masks are cut short";
      return false;
    }
  }
  if (h.width <= 0 || h.height <= 0) {
    error = "BMP width or height is zero or negative";
    return false;
  }
  if (!sizeAllowed(h.width, h.height)) {
    error = "BMP picture is larger than the system accepts";
    return false;
  }
  return true;
}

std::vector<uint32_t> readPalette(Bytes data, const BmpHeader& h) {
  std::vector<uint32_t> palette(256, argb(0, 0, 0));
  if (h.bitCount > 8) return palette;
  size_t count = h.coloursUsed ? h.coloursUsed : (size_t(1) << h.bitCount);
  if (h.paletteEntrySize == 3 && h.pixelOffset > h.paletteStart)  // core files size it by the gap
    count = std::min(count, size_t(h.pixelOffset - h.paletteStart) / 3);
  count = std::min<size_t>(count, 256);
  ByteReader in(data, h.paletteStart);
  for (size_t i = 0; i < count; ++i) {
    uint32_t b = in.u8(), g = in.u8(), r = in.u8();
    if (h.paletteEntrySize == 4) in.u8();
    if (!in.ok()) break;
    palette[i] = argb(r, g, b);
  }
  return palette;
}

size_t rowBytes(int64_t width, uint32_t bits) { return size_t((uint64_t(width) * bits + 31) / 32 * 4); }

DecodeResult decodeIndexedRows(Bytes data, const BmpHeader& h, const std::vector<uint32_t>& palette) {
  const int w = int(h.width), hh = int(h.height);
  const size_t stride = rowBytes(w, h.bitCount);
  if (h.pixelOffset > data.size() || stride * size_t(hh) > data.size() - h.pixelOffset)
    return DecodeResult::fail("BMP pixel data is cut short");
  DecodedImage image(w, hh);
  const uint32_t bits = h.bitCount, mask = (1u << bits) - 1;
  for (int y = 0; y < hh; ++y) {
    const uint8_t* src = data.data() + h.pixelOffset + stride * size_t(y);
    uint32_t* out = image.row(h.topDown ? y : hh - 1 - y);
    for (int x = 0; x < w; ++x) {
      size_t bit = size_t(x) * bits;
      uint32_t index = (src[bit / 8] >> (8 - bits - bit % 8)) & mask;
      out[x] = palette[index];
    }
  }
  return DecodeResult::done(std::move(image));
}

DecodeResult decodeDirectRows(Bytes data, const BmpHeader& h) {
  const int w = int(h.width), hh = int(h.height);
  const uint32_t bytesPerPixel = h.bitCount / 8;
  const size_t stride = rowBytes(w, h.bitCount);
  if (h.pixelOffset > data.size() || stride * size_t(hh) > data.size() - h.pixelOffset)
    return DecodeResult::fail("BMP pixel data is cut short");

  uint32_t rm = h.redMask, gm = h.greenMask, bm = h.blueMask, am = h.alphaMask;
  const bool bitFields = h.compression == kBitFields || h.compression == kAlphaBitFields;
  if (!bitFields) {
    // Plain RGB: fixed layouts. The fourth byte of a 32-bit pixel is padding, except that a V4/V5
    // header with an alpha mask says it is alpha.
    if (h.bitCount == 16) rm = 0x7C00, gm = 0x03E0, bm = 0x001F;
    else rm = 0xFF0000, gm = 0x00FF00, bm = 0x0000FF;
    if (!(h.bitCount == 32 && h.headerSize >= 56 && h.alphaMask == 0xFF000000u)) am = 0;
  } else if (h.bitCount == 24 || (rm | gm | bm) == 0) {
    return DecodeResult::fail("BMP bit fields are missing or do not fit the pixel size");
  }
  const Channel red(rm), green(gm), blue(bm), alpha(am);
  DecodedImage image(w, hh);
  for (int y = 0; y < hh; ++y) {
    const uint8_t* src = data.data() + h.pixelOffset + stride * size_t(y);
    uint32_t* out = image.row(h.topDown ? y : hh - 1 - y);
    for (int x = 0; x < w; ++x, src += bytesPerPixel) {
      uint32_t word = src[0] | (uint32_t(src[1]) << 8);
      if (bytesPerPixel >= 3) word |= uint32_t(src[2]) << 16;
      if (bytesPerPixel == 4) word |= uint32_t(src[3]) << 24;
      out[x] = argb(red.read(word), green.read(word), blue.read(word), am ? alpha.read(word) : 255);
    }
  }
  return DecodeResult::done(std::move(image));
}

// RLE8 and RLE4: runs, literal groups, end of line, end of picture and deltas. Pixels a delta
// skips keep palette entry 0. Runs that reach past the right edge or the last line are cut.
DecodeResult decodeRle(Bytes data, const BmpHeader& h, const std::vector<uint32_t>& palette) {
  const int w = int(h.width), hh = int(h.height);
  const bool four = h.compression == kRle4;
  if ((four && h.bitCount != 4) || (!four && h.bitCount != 8))
    return DecodeResult::fail("BMP RLE compression does not match the pixel size");
  if (h.pixelOffset >= data.size()) return DecodeResult::fail("BMP pixel data is missing");
  DecodedImage image(w, hh, palette[0]);
  ByteReader in(data, h.pixelOffset);
  int x = 0, line = 0;  // line counts from the first row stored in the file
  auto put = [&](uint32_t index) {
    if (x < w && line < hh) image.at(x, h.topDown ? line : hh - 1 - line) = palette[index & 0xFF];
    ++x;
  };
  while (line < hh) {
    uint8_t count = in.u8(), value = in.u8();
    if (!in.ok()) return DecodeResult::fail("BMP RLE data ends before the end-of-picture code");
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(four ? ((i & 1) ? value & 0x0F : value >> 4) : value);
    } else if (value == 0) {
      x = 0;
      ++line;
    } else if (value == 1) {
      break;
    } else if (value == 2) {
      x += in.u8();
      line += in.u8();
    } else {
      const int n = value;
      const int bytes = four ? (n + 1) / 2 : n;
      auto literal = in.take(size_t(bytes + (bytes & 1)));
      if (!in.ok()) return DecodeResult::fail("BMP RLE literal run is cut short");
      for (int i = 0; i < n; ++i) put(four ? ((i & 1) ? literal[i / 2] & 0x0F : literal[i / 2] >> 4) : literal[i]);
    }
  }
  return DecodeResult::done(std::move(image));
}

}  // namespace

DecodeResult decodeBmp(Bytes data) {
  BmpHeader h;
  std::string error;
  if (!readHeader(data, h, error)) return DecodeResult::fail(error);
  if (h.compression == kJpeg || h.compression == kPng) {
    if (h.pixelOffset >= data.size()) return DecodeResult::fail("BMP embedded stream is missing");
    auto stream = data.subspan(h.pixelOffset);
    return h.compression == kJpeg ? decodeJpeg(stream) : decodePng(stream);
  }
  if (h.compression == kRle8 || h.compression == kRle4) return decodeRle(data, h, readPalette(data, h));
  if (h.compression != kRgb && h.compression != kBitFields && h.compression != kAlphaBitFields)
    return DecodeResult::fail("BMP compression " + std::to_string(h.compression) + " is not supported");
  switch (h.bitCount) {
    case 1: case 2: case 4: case 8:
      if (h.compression != kRgb) return DecodeResult::fail("BMP bit fields need 16 or 32 bits per pixel");
      return decodeIndexedRows(data, h, readPalette(data, h));
    case 16: case 24: case 32:
      return decodeDirectRows(data, h);
    default:
      return DecodeResult::fail("BMP pixel size of " + std::to_string(h.bitCount) + " bits is not supported");
  }
}

}  // namespace display::codecs
