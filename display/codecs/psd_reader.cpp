// PSD files: the merged picture of an 8-bit RGB document, raw or PackBits-compressed. Layers are
// skipped; the fourth channel, when present, is alpha.
#include "display/codecs/byte_reader.h"
#include "display/codecs/decoded_image.h"

namespace display::codecs {

DecodeResult decodePsd(Bytes data) {
  ByteReader in(data);
  in.skip(4);  // signature: not examined
  const uint16_t version = in.u16be();
  in.skip(6);
  const uint16_t channels = in.u16be();
  const uint32_t height = in.u32be(), width = in.u32be();
  const uint16_t depth = in.u16be(), mode = in.u16be();
  if (!in.ok()) return DecodeResult::fail("PSD header is cut short");
  if (version != 1) return DecodeResult::fail("PSD version is not 1");
  if (channels < 3 || channels > 16) return DecodeResult::fail("PSD channel count is not 3 to 16");
  if (depth != 8) return DecodeResult::fail("PSD channels are not 8 bits");
  if (mode != 3) return DecodeResult::fail("PSD colour mode is not RGB");
  if (!sizeAllowed(width, height)) return DecodeResult::fail("PSD picture size is zero or too large");
  for (int section = 0; section < 3; ++section) in.skip(in.u32be());  // mode data, resources, layers
  const uint16_t compression = in.u16be();
  if (!in.ok()) return DecodeResult::fail("PSD file is cut short before the picture");
  if (compression > 1) return DecodeResult::fail("PSD compression " + std::to_string(compression) + " is not supported");

  const size_t plane = size_t(width) * height;
  const int used = channels >= 4 ? 4 : 3;
  if (compression == 1) in.skip(uint64_t(2) * height * channels);  // row byte counts
  std::vector<uint8_t> channel(plane);
  DecodedImage image{int(width), int(height)};
  static constexpr int kShift[4] = {16, 8, 0, 24};
  for (int c = 0; c < used; ++c) {
    if (compression == 0) {
      auto raw = in.take(plane);
      if (!in.ok()) return DecodeResult::fail("PSD picture data is cut short");
      std::copy(raw.begin(), raw.end(), channel.begin());
    } else {
      size_t stored = 0;
      while (stored < plane) {
        const uint8_t n = in.u8();
        if (!in.ok()) return DecodeResult::fail("PSD picture data is cut short");
        if (n < 128) {
          auto literal = in.take(size_t(n) + 1);
          if (!in.ok()) return DecodeResult::fail("PSD picture data is cut short");
          for (uint8_t b : literal) {
            if (stored == plane) break;  // a run past the channel's end is cut
            channel[stored++] = b;
          }
        } else if (n > 128) {
          const uint8_t b = in.u8();
          for (int i = 0; i < 257 - n && stored < plane; ++i) channel[stored++] = b;
        }
      }
    }
    const uint32_t clear = ~(0xFFu << kShift[c]);
    for (size_t i = 0; i < plane; ++i) image.pixels[i] = (image.pixels[i] & clear) | (uint32_t(channel[i]) << kShift[c]);
  }
  return DecodeResult::done(std::move(image));
}

}  // namespace display::codecs
