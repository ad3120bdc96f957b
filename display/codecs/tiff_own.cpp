// Our own reader for the TIFF layouts the general image library refuses or gets wrong: strips or
// tiles, chunky or planar samples, 1 to 16 bits, no compression, LZW or PackBits, horizontal
// prediction, grey, RGB and palette pictures, associated (premultiplied) alpha undone.
#include "display/codecs/tiff_own.h"

#include "display/codecs/byte_reader.h"

namespace display::codecs {
namespace {

class TiffReader {
 public:
  explicit TiffReader(Bytes data) : data_(data), bigEndian_(data.size() >= 2 && data[0] == 'M') {}

  uint32_t u16(size_t at) const {
    if (at + 2 > data_.size()) return 0;
    return bigEndian_ ? (data_[at] << 8) | data_[at + 1] : data_[at] | (data_[at + 1] << 8);
  }
  uint32_t u32(size_t at) const {
    if (at + 4 > data_.size()) return 0;
    return bigEndian_ ? (u16(at) << 16) | u16(at + 2) : u16(at) | (u16(at + 2) << 16);
  }

  // The values of one directory entry (SHORT or LONG; BYTE for completeness).
  std::vector<uint32_t> values(size_t entry) const {
    const uint32_t type = u16(entry + 2), count = u32(entry + 4);
    const size_t size = type == 3 ? 2 : type == 4 ? 4 : type == 1 ? 1 : 0;
    std::vector<uint32_t> out;
    if (size == 0 || count > (1u << 24)) return out;
    size_t at = size_t(count) * size <= 4 ? entry + 8 : u32(entry + 8);
    if (at + size_t(count) * size > data_.size()) return out;
    out.reserve(count);
    for (uint32_t i = 0; i < count; ++i, at += size)
      out.push_back(size == 2 ? u16(at) : size == 4 ? u32(at) : data_[at]);
    return out;
  }

  Bytes data_;
  bool bigEndian_;
};

bool lzwDecode(Bytes in, std::vector<uint8_t>& out, size_t wanted) {
  struct Entry {
    int32_t prefix;
    uint8_t first, last;
    uint32_t length;
  };
  std::vector<Entry> table(4096);
  for (int i = 0; i < 256; ++i) table[i] = {-1, uint8_t(i), uint8_t(i), 1};
  int next = 258, width = 9;
  int32_t previous = -1;
  uint32_t bitBuffer = 0;
  int bitCount = 0;
  size_t pos = 0;
  std::vector<uint8_t> scratch;
  auto emit = [&](int32_t code) {
    scratch.resize(table[code].length);
    for (int32_t c = code, i = int32_t(table[code].length) - 1; c >= 0 && i >= 0; c = table[c].prefix, --i)
      scratch[size_t(i)] = table[c].last;
    for (uint8_t b : scratch) {
      if (out.size() >= wanted) return;
      out.push_back(b);
    }
  };
  while (out.size() < wanted) {
    while (bitCount < width) {
      if (pos >= in.size()) return true;  // a short chunk leaves the rest zero
      bitBuffer = (bitBuffer << 8) | in[pos++];
      bitCount += 8;
    }
    const int32_t code = int32_t((bitBuffer >> (bitCount - width)) & ((1u << width) - 1));
    bitCount -= width;
    if (code == 257) break;
    if (code == 256) {
      next = 258, width = 9, previous = -1;
      continue;
    }
    if (previous < 0) {
      if (code > 255) return false;
      emit(code);
      previous = code;
      continue;
    }
    if (code < next) {
      emit(code);
      if (next < 4096) table[next] = {previous, table[previous].first, table[code].first, table[previous].length + 1}, ++next;
    } else if (code == next && next < 4096) {
      table[next] = {previous, table[previous].first, table[previous].first, table[previous].length + 1};
      ++next;
      emit(code);
    } else {
      return false;
    }
    previous = code;
    if (next + 1 >= (1 << width) && width < 12) ++width;  // the early change of the TIFF variant
  }
  return true;
}

bool packBitsDecode(Bytes in, std::vector<uint8_t>& out, size_t wanted) {
  size_t pos = 0;
  while (out.size() < wanted && pos < in.size()) {
    const int8_t n = int8_t(in[pos++]);
    if (n >= 0) {
      for (int i = 0; i <= n && pos < in.size() && out.size() < wanted; ++i) out.push_back(in[pos++]);
    } else if (n != -128 && pos < in.size()) {
      const uint8_t b = in[pos++];
      for (int i = 0; i < 1 - n && out.size() < wanted; ++i) out.push_back(b);
    }
  }
  return true;
}

}  // namespace

DecodeResult decodeTiffOwn(Bytes data, TiffFacts* facts) {
  TiffReader t(data);
  if (data.size() < 8 || t.u16(2) != 42) return DecodeResult::fail("not a TIFF file");
  const size_t ifd = t.u32(4);
  const uint32_t entries = t.u16(ifd);
  if (ifd + 2 + size_t(entries) * 12 > data.size()) return DecodeResult::fail("TIFF directory is cut short");
  uint32_t width = 0, height = 0, compression = 1, photometric = 1, spp = 1, rowsPerStrip = 0, planar = 1,
           predictor = 1, tileWidth = 0, tileHeight = 0;
  std::vector<uint32_t> bits{1}, offsets, counts, colourMap, extra, sampleFormat;
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t e = ifd + 2 + size_t(i) * 12;
    const auto v = t.values(e);
    const uint32_t first = v.empty() ? 0 : v[0];
    switch (t.u16(e)) {
      case 256: width = first; break;
      case 257: height = first; break;
      case 258: bits = v; break;
      case 259: compression = first; break;
      case 262: photometric = first; break;
      case 273: case 324: offsets = v; break;
      case 277: spp = first; break;
      case 278: rowsPerStrip = first; break;
      case 279: case 325: counts = v; break;
      case 284: planar = first; break;
      case 317: predictor = first; break;
      case 320: colourMap = v; break;
      case 322: tileWidth = first; break;
      case 323: tileHeight = first; break;
      case 338: extra = v; break;
      case 339: sampleFormat = v; break;
      default: break;
    }
  }
  if (facts) facts->associatedAlpha = !extra.empty() && extra[0] == 1;
  if (!sizeAllowed(width, height)) return DecodeResult::fail("TIFF picture size is zero or too large");
  const uint32_t depth = bits.empty() ? 1 : bits[0];
  for (uint32_t b : bits)
    if (b != depth) return DecodeResult::fail("TIFF samples of different sizes are not supported");
  if (spp < 1 || spp > 8 || (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16))
    return DecodeResult::fail("TIFF sample layout is not supported");
  for (uint32_t f : sampleFormat)
    if (f != 1) return DecodeResult::fail("TIFF sample format is not supported");
  if (compression != 1 && compression != 5 && compression != 32773)
    return DecodeResult::fail("TIFF compression is not supported by the built-in reader");
  if (photometric > 3 || (photometric == 2 && spp < 3) || (photometric == 3 && colourMap.size() < (3u << depth)))
    return DecodeResult::fail("TIFF colour model is not supported");

  // Chunks: strips across the full width, or tiles; planar files repeat them per sample.
  const bool tiled = tileWidth > 0 && tileHeight > 0;
  const uint32_t chunkW = tiled ? tileWidth : width;
  const uint32_t chunkH = tiled ? tileHeight : (rowsPerStrip && rowsPerStrip < height ? rowsPerStrip : height);
  if (!sizeAllowed(chunkW, chunkH)) return DecodeResult::fail("TIFF tile size is not supported");
  const uint32_t across = (width + chunkW - 1) / chunkW, down = (height + chunkH - 1) / chunkH;
  const uint32_t planes = planar == 2 ? spp : 1, perPixel = planar == 2 ? 1 : spp;
  if (offsets.size() < size_t(across) * down * planes || counts.size() < offsets.size())
    return DecodeResult::fail("TIFF chunk table is cut short");
  const size_t rowBytes = (size_t(chunkW) * perPixel * depth + 7) / 8;
  const size_t chunkBytes = rowBytes * chunkH;

  std::vector<uint16_t> samples(size_t(width) * height * spp);
  std::vector<uint8_t> chunk;
  for (uint32_t plane = 0; plane < planes; ++plane)
    for (uint32_t cy = 0; cy < down; ++cy)
      for (uint32_t cx = 0; cx < across; ++cx) {
        const size_t index = (size_t(plane) * down + cy) * across + cx;
        const uint32_t offset = offsets[index], count = counts[index];
        if (offset > data.size() || count > data.size() - offset) return DecodeResult::fail("TIFF chunk lies outside the file");
        const Bytes stored = data.subspan(offset, count);
        chunk.clear();
        chunk.reserve(chunkBytes);
        if (compression == 1) chunk.assign(stored.begin(), stored.begin() + std::min(stored.size(), chunkBytes));
        else if (compression == 5 && !lzwDecode(stored, chunk, chunkBytes)) return DecodeResult::fail("TIFF LZW data is damaged");
        else if (compression == 32773) packBitsDecode(stored, chunk, chunkBytes);
        chunk.resize(chunkBytes, 0);
        for (uint32_t y = 0; y < chunkH; ++y) {
          uint8_t* row = chunk.data() + y * rowBytes;
          auto sampleAt = [&](size_t i) -> uint32_t {
            if (depth == 16) return bigEndianSample(row, i, t.bigEndian_);
            if (depth == 8) return row[i];
            const size_t bit = i * depth;
            return (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
          };
          const size_t count = size_t(chunkW) * perPixel;
          std::vector<uint32_t> line(count);
          for (size_t i = 0; i < count; ++i) line[i] = sampleAt(i);
          if (predictor == 2)
            for (size_t i = perPixel; i < count; ++i) line[i] = (line[i] + line[i - perPixel]) & ((1u << depth) - 1);
          const uint32_t py = cy * chunkH + y;
          if (py >= height) break;
          for (uint32_t x = 0; x < chunkW; ++x) {
            const uint32_t px = cx * chunkW + x;
            if (px >= width) break;
            uint16_t* out = samples.data() + (size_t(py) * width + px) * spp;
            if (planar == 2) out[plane] = uint16_t(line[x]);
            else for (uint32_t s = 0; s < spp; ++s) out[s] = uint16_t(line[size_t(x) * spp + s]);
          }
        }
      }

  const uint32_t max = (1u << depth) - 1;
  const bool alpha = photometric == 2 ? spp >= 4 && !extra.empty() : spp >= 2 && !extra.empty() && photometric < 2;
  const bool premultiplied = alpha && extra[0] == 1;
  DecodedImage image{int(width), int(height)};
  for (size_t i = 0; i < size_t(width) * height; ++i) {
    const uint16_t* s = samples.data() + i * spp;
    uint32_t r, g, b, a = 255;
    if (photometric == 3) {
      const size_t entries = size_t(1) << depth;
      r = colourMap[s[0]] >> 8, g = colourMap[entries + s[0]] >> 8, b = colourMap[2 * entries + s[0]] >> 8;
    } else if (photometric == 2) {
      r = widenChannel(s[0], max), g = widenChannel(s[1], max), b = widenChannel(s[2], max);
      if (alpha) a = widenChannel(s[3], max);
    } else {
      uint32_t v = widenChannel(s[0], max);
      if (photometric == 0) v = 255 - v;
      r = g = b = v;
      if (alpha) a = widenChannel(s[1], max);
    }
    if (premultiplied && a > 0 && a < 255) {
      r = std::min(255u, (r * 255 + a / 2) / a), g = std::min(255u, (g * 255 + a / 2) / a), b = std::min(255u, (b * 255 + a / 2) / a);
    }
    image.pixels[i] = argb(r, g, b, a);
  }
  return DecodeResult::done(std::move(image));
}

}  // namespace display::codecs
