// Saves a frame as an 8-bit RGB PNG file (through a temporary file and a rename).
#pragma once

#include <cstdint>
#include <string>

namespace platform::headless {

// `pixels` are 0x00RRGGBB, `width` x `height`, row after row.
bool writePng(const std::string &path, const uint32_t *pixels, int width, int height, std::string *error = nullptr);

} // namespace platform::headless
