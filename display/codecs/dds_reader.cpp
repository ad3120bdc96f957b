// DDS files: DXT1 to DXT5 (also behind a DX10 header as BC1 to BC3), 8-bit RGBA behind a DX10
// header, and uncompressed RGB, RGBA and luminance pixels described by channel masks. The top
// level becomes the picture. Every step records the internal detail code the error dump shows.
#include "display/codecs/byte_reader.h"
#include "display/codecs/decoded_image.h"
#include "display/codecs/dxt.h"

namespace display::codecs {
namespace {

constexpr uint32_t kAlphaPixels = 0x1, kFourCc = 0x4, kRgb = 0x40, kLuminance = 0x20000;

constexpr uint32_t fourCc(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) | (uint32_t(uint8_t(s[1])) << 8) | (uint32_t(uint8_t(s[2])) << 16) |
         (uint32_t(uint8_t(s[3])) << 24);
}

enum class Kind { kUnknown, kDxt1, kDxt3, kDxt5, kMasked, kRgba8, kBgra8, kBgrx8 };

struct Format {
  Kind kind = Kind::kUnknown;
  uint32_t bits = 0;
  uint32_t red = 0, green = 0, blue = 0, alpha = 0;
  bool luminance = false;
};

Format fromDxgi(uint32_t dxgi) {
  Format f;
  switch (dxgi) {
    case 71: case 72: f.kind = Kind::kDxt1; break;
    case 74: case 75: f.kind = Kind::kDxt3; break;
    case 77: case 78: f.kind = Kind::kDxt5; break;
    case 28: case 29: f.kind = Kind::kRgba8; f.bits = 32; break;
    case 87: case 91: f.kind = Kind::kBgra8; f.bits = 32; break;
    case 88: case 93: f.kind = Kind::kBgrx8; f.bits = 32; break;
    default: break;
  }
  return f;
}

uint32_t channel(uint32_t word, uint32_t mask) {
  return mask ? widenChannel((word & mask) >> maskShift(mask), mask >> maskShift(mask)) : 0;
}

}  // namespace

DecodeResult decodeDds(Bytes data, int& detailCode) {
  if (data.size() < 4 || data[0] != 'D' || data[1] != 'D' || data[2] != 'S' || data[3] != ' ') {
    detailCode = 10002;
    return DecodeResult::fail("not a DDS file (no \"DDS \" signature)");
  }
  ByteReader in(data, 4);
  in.skip(8);  // description size, flags
  const uint32_t height = in.u32le(), width = in.u32le();
  in.seek(4 + 72);
  in.skip(4);  // pixel format size
  const uint32_t pfFlags = in.u32le(), code = in.u32le();
  Format f;
  f.bits = in.u32le();
  f.red = in.u32le();
  f.green = in.u32le();
  f.blue = in.u32le();
  f.alpha = in.u32le();
  in.seek(4 + 124);
  if (!in.ok()) {
    detailCode = 10003;
    return DecodeResult::fail("DDS description is cut short");
  }
  if (pfFlags & kFourCc) {
    if (code == fourCc("DXT1")) f.kind = Kind::kDxt1;
    else if (code == fourCc("DXT2") || code == fourCc("DXT3")) f.kind = Kind::kDxt3;
    else if (code == fourCc("DXT4") || code == fourCc("DXT5")) f.kind = Kind::kDxt5;
    else if (code == fourCc("DX10")) {
      f = fromDxgi(in.u32le());
      in.skip(16);
    }
  } else if ((pfFlags & (kRgb | kLuminance)) && (f.bits == 8 || f.bits == 16 || f.bits == 24 || f.bits == 32)) {
    f.luminance = (pfFlags & kLuminance) != 0;
    if (!(pfFlags & kAlphaPixels)) f.alpha = 0;
    const uint64_t fits = (uint64_t(1) << f.bits) - 1;
    if (f.luminance) {  // one grey channel; writers fill the other masks with anything
      if (f.red == 0 || f.red > fits) f.red = 0xFF;
      f.green = f.blue = 0;
    }
    const bool masksFit = f.red <= fits && f.green <= fits && f.blue <= fits && f.alpha <= fits;
    if (masksFit && f.red != 0 && (f.luminance || (f.green != 0 && f.blue != 0))) f.kind = Kind::kMasked;
  }
  if (f.kind == Kind::kUnknown || !sizeAllowed(width, height)) {
    detailCode = 10003;
    return DecodeResult::fail("DDS pixel format or size cannot be made into a surface");
  }

  DecodedImage image{int(width), int(height)};
  const bool compressed = f.kind == Kind::kDxt1 || f.kind == Kind::kDxt3 || f.kind == Kind::kDxt5;
  if (compressed) {
    const size_t blocksWide = (width + 3) / 4, blocksHigh = (height + 3) / 4;
    const size_t blockBytes = f.kind == Kind::kDxt1 ? 8 : 16;
    auto blocks = in.take(blocksWide * blocksHigh * blockBytes);
    if (!in.ok()) {
      detailCode = 10004;
      return DecodeResult::fail("DDS top level is cut short");
    }
    uint32_t texels[16];
    for (size_t by = 0; by < blocksHigh; ++by)
      for (size_t bx = 0; bx < blocksWide; ++bx) {
        const uint8_t* block = blocks.data() + (by * blocksWide + bx) * blockBytes;
        if (f.kind == Kind::kDxt1) decodeDxt1Block(block, texels);
        else if (f.kind == Kind::kDxt3) decodeDxt3Block(block, texels);
        else decodeDxt5Block(block, texels);
        for (int i = 0; i < 16; ++i) {
          const size_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
          if (x < width && y < height) image.at(int(x), int(y)) = texels[i];
        }
      }
  } else {
    const size_t bytesPerPixel = f.bits / 8;
    auto rows = in.take(size_t(width) * height * bytesPerPixel);
    if (!in.ok()) {
      detailCode = 10004;
      return DecodeResult::fail("DDS top level is cut short");
    }
    const uint8_t* p = rows.data();
    for (uint32_t i = 0; i < width * height; ++i, p += bytesPerPixel) {
      uint32_t word = 0;
      for (size_t b = 0; b < bytesPerPixel; ++b) word |= uint32_t(p[b]) << (8 * b);
      uint32_t r, g, b, a = 255;
      switch (f.kind) {
        case Kind::kRgba8: r = p[0], g = p[1], b = p[2], a = p[3]; break;
        case Kind::kBgra8: b = p[0], g = p[1], r = p[2], a = p[3]; break;
        case Kind::kBgrx8: b = p[0], g = p[1], r = p[2]; break;
        default:
          r = channel(word, f.red);
          if (f.luminance) g = b = r;
          else g = channel(word, f.green), b = channel(word, f.blue);
          if (f.alpha) a = channel(word, f.alpha);
          break;
      }
      image.pixels[i] = argb(r, g, b, a);
    }
  }
  detailCode = 10006;  // the top level is read; the smaller levels are rebuilt when needed
  return DecodeResult::done(std::move(image));
}

}  // namespace display::codecs
