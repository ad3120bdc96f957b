// Golden pictures: a test's picture against tests/golden/<name> (PNG), pixel for pixel. Run the tests
// with ZV_UPDATE_GOLDEN=1 to write the pictures anew after a deliberate change (and look at them).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "display/codecs/decoded_image.h"

namespace display::testing {

// A presented frame (0x00RRGGBB pixels) as an opaque picture.
inline codecs::DecodedImage opaquePicture(const std::vector<uint32_t>& pixels, int width, int height) {
    codecs::DecodedImage picture(width, height);
    for (size_t i = 0; i < picture.pixels.size() && i < pixels.size(); ++i)
        picture.pixels[i] = 0xFF000000u | pixels[i];
    return picture;
}

inline void expectGoldenPicture(const codecs::DecodedImage& picture, const std::string& name) {
    const std::string path = std::string(ZV_SOURCE_DIR) + "/tests/golden/" + name;
    if (std::getenv("ZV_UPDATE_GOLDEN")) {
        std::string png, error;
        ASSERT_TRUE(codecs::encodePng(picture, png, error)) << error;
        std::ofstream(path, std::ios::binary) << png;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    const std::string stored((std::istreambuf_iterator<char>(in)), {});
    ASSERT_FALSE(stored.empty()) << "no golden picture " << path << " (ZV_UPDATE_GOLDEN=1 writes it)";
    const auto golden =
        codecs::decodePng(codecs::Bytes(reinterpret_cast<const uint8_t*>(stored.data()), stored.size()));
    ASSERT_TRUE(golden.ok()) << golden.error;
    ASSERT_EQ(golden.image.pixels.size(), picture.pixels.size()) << path;
    size_t differing = 0;
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        differing += golden.image.pixels[i] != picture.pixels[i];
    EXPECT_EQ(differing, 0u) << "pixels differ from " << path;
}

}  // namespace display::testing
