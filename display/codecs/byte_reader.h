// Bounds-checked reading of little- and big-endian numbers from a file held in memory. A read past
// the end gives zero and marks the reader as short, so a parser checks `ok()` once per step
// instead of guarding every field.
#pragma once

#include <cstdint>
#include <span>

namespace display::codecs {

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> data, size_t position = 0) : data_(data), pos_(position) {}

  bool ok() const { return !short_; }
  size_t position() const { return pos_; }
  size_t size() const { return data_.size(); }
  size_t remaining() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
  bool atEnd() const { return pos_ >= data_.size(); }

  void seek(size_t position) {
    pos_ = position;
    if (pos_ > data_.size()) short_ = true;
  }
  void skip(uint64_t count) {
    if (count > remaining()) {
      pos_ = data_.size();
      short_ = true;
    } else {
      pos_ += size_t(count);
    }
  }

  uint8_t u8() {
    if (pos_ >= data_.size()) {
      short_ = true;
      return 0;
    }
    return data_[pos_++];
  }
  uint16_t u16le() { uint16_t a = u8(); return uint16_t(a | (u8() << 8)); }
  uint32_t u32le() { uint32_t a = u16le(); return a | (uint32_t(u16le()) << 16); }
  int32_t i32le() { return int32_t(u32le()); }
  uint16_t u16be() { uint16_t a = u8(); return uint16_t((a << 8) | u8()); }
  uint32_t u32be() { uint32_t a = u16be(); return (a << 16) | u16be(); }

  // A view of the next `count` bytes (empty and short when fewer remain).
  std::span<const uint8_t> take(size_t count) {
    if (count > remaining()) {
      short_ = true;
      pos_ = data_.size();
      return {};
    }
    auto view = data_.subspan(pos_, count);
    pos_ += count;
    return view;
  }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  bool short_ = false;
};

// Position of a channel mask's lowest bit.
inline uint32_t maskShift(uint32_t mask) { return mask ? uint32_t(__builtin_ctz(mask)) : 0; }

// Widens a masked channel to 0..255 with rounding, so 4-bit 0xF gives 255 and 2-bit 1 gives 85.
inline uint32_t widenChannel(uint32_t value, uint32_t max) {
  if (max == 0) return 0;
  if (max == 255) return value;
  return (value * 255 + max / 2) / max;
}

}  // namespace display::codecs
