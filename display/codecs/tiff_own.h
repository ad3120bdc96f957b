#pragma once

#include "display/codecs/decoded_image.h"

namespace display::codecs {

struct TiffFacts {
  bool associatedAlpha = false;  // colour samples are premultiplied by alpha
};

// The built-in TIFF reader (first page only). `facts`, when given, receives what the directory
// says even when the pixels cannot be read here.
DecodeResult decodeTiffOwn(Bytes data, TiffFacts* facts = nullptr);

inline uint32_t bigEndianSample(const uint8_t* row, size_t index, bool bigEndian) {
  const uint8_t* p = row + index * 2;
  return bigEndian ? uint32_t(p[0] << 8 | p[1]) : uint32_t(p[0] | p[1] << 8);
}

}  // namespace display::codecs
