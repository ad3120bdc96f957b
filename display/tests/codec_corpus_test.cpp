// Every image file of the shared test corpus that the codec's formats cover: valid files load with
// the size and sample pixels that independent tools measured, broken files give no picture, and
// none of them crashes, hangs or reads outside its buffer (run this under the sanitizer build).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "display/image_codec.h"
#include "display/tests/json_reader.h"

namespace display {
namespace {

using testing::Json;

const std::string kCorpus = ZV_TESTDATA_DIR;

std::optional<Json> loadFacts() {
  std::ifstream in(kCorpus + "/facts.json");
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  return testing::JsonParser(text.str()).parse();
}

int channelDistance(uint32_t a, uint32_t b, int shift) { return std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)); }

// Alpha is compared only where the tools agree that it is meaningful; the notes of these files say
// the decoders disagree about it (attribute bits, all-zero alpha, alpha in a plain RGB file).
bool alphaDisputed(const Json& entry) {
  const std::string note = entry["note"].text;
  return note.find("Disputed") != std::string::npos || note.find("alpha") != std::string::npos;
}

TEST(CodecCorpus, EveryFileLoadsAsMeasuredOrFailsCleanly) {
  auto facts = loadFacts();
  if (!facts) GTEST_SKIP() << "test corpus not found at " << kCorpus;
  ImageCodec codec;
  for (const Json& entry : (*facts)["images"].items) {
    const std::string file = entry["file"].text;
    const std::string path = kCorpus + "/" + file;
    if (imageFormatForName(file) == ImageFormat::kNone) continue;
    SCOPED_TRACE(file);
    const auto start = std::chrono::steady_clock::now();
    const auto result = codec.decodeFile(path);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0) << "decoding took too long";
    const std::string expect = entry["expect"].text;
    if (expect == "fail") {
      EXPECT_FALSE(result.ok()) << "a broken file gave a picture";
      continue;
    }
    if (expect != "ok") continue;  // questionable files: anything but a crash will do
    if (!result.ok()) {
      ADD_FAILURE() << "a valid file gave no picture: " << result.error;
      continue;
    }
    EXPECT_EQ(result.image.width, int(entry["width"].number));
    EXPECT_EQ(result.image.height, int(entry["height"].number));
    if (result.image.width != int(entry["width"].number) || result.image.height != int(entry["height"].number)) continue;
    const int tolerance = entry["tolerance"].isNull() ? 2 : int(entry["tolerance"].number);
    for (const Json& sample : entry["pixels"].items) {
      const int x = int(sample["x"].number), y = int(sample["y"].number);
      const uint32_t want = uint32_t(std::stoul(sample["rgb"].text, nullptr, 16));
      const uint32_t got = result.image.at(x, y);
      const int worst = std::max({channelDistance(got, want, 16), channelDistance(got, want, 8), channelDistance(got, want, 0)});
      EXPECT_LE(worst, tolerance) << "pixel (" << x << "," << y << ") is " << std::hex << (got & 0xFFFFFF)
                                  << ", measured " << sample["rgb"].text;
      if (!sample["a"].isNull() && !alphaDisputed(entry)) {
        EXPECT_LE(std::abs(int(got >> 24) - int(sample["a"].number)), tolerance)
            << "alpha at (" << x << "," << y << ") is " << (got >> 24);
      }
    }
  }
}

// Damaged copies of valid files: cut at many lengths and with bytes overwritten in the headers
// and the data. Any outcome but a crash or a read outside the buffer passes (the sanitizer build
// checks the latter).
TEST(CodecCorpus, DamagedFilesNeverCrash) {
  const char* samples[] = {
      "images/bmp/bmpsuite-g/pal4rle.bmp", "images/bmp/bmpsuite-g/pal8rle.bmp",  "images/bmp/bmpsuite-g/rgb16-565.bmp",
      "images/bmp/image-rs/Core_4_Bit.bmp", "images/bmp/bmpsuite-q/rgba32.bmp", "images/pcx/sample.pcx",
      "images/pcx/p_4_planes.pcx",          "images/psd/rgba.psd",              "images/psd/hopper.psd",
      "images/dds/dxt5-argb-8bbp-interpolatedalpha_MipMaps-1.dds",             "images/dds/hopper.dds",
      "images/tga/pillow-misc/rgb32rle.tga", "images/tga/truevision-suite/ccm8.tga", "images/tiff/hopper_lzw.tif",
      "images/tiff/tiff_tiled_planar_16bit_RGB.tiff", "images/png/pngsuite/basn3p08.png", "images/jpeg/image-rs/test.jpg",
  };
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  int detail = 0;
  for (const char* name : samples) {
    std::ifstream in(kCorpus + "/" + name, std::ios::binary);
    if (!in) GTEST_SKIP() << "test corpus not found at " << kCorpus;
    const std::string original((std::istreambuf_iterator<char>(in)), {});
    SCOPED_TRACE(name);
    const ImageFormat format = imageFormatForName(name);
    for (int round = 0; round < 60; ++round) {
      std::string damaged = original;
      if (round < 20) {
        damaged.resize(size_t(next()) % original.size());
      } else {
        const int changes = 1 + int(next() % 8);
        for (int k = 0; k < changes; ++k) {
          // Half of the changes hit the first 140 bytes, where the sizes and offsets live.
          const size_t at = (k & 1) ? next() % std::min<size_t>(140, damaged.size()) : next() % damaged.size();
          damaged[at] = char(next());
        }
      }
      const codecs::Bytes data(reinterpret_cast<const uint8_t*>(damaged.data()), damaged.size());
      switch (format) {
        case ImageFormat::kBmp: codecs::decodeBmp(data); break;
        case ImageFormat::kPcx: codecs::decodePcx(data); break;
        case ImageFormat::kPsd: codecs::decodePsd(data); break;
        case ImageFormat::kDds: codecs::decodeDds(data, detail); break;
        case ImageFormat::kTarga: codecs::decodeTga(data); break;
        case ImageFormat::kTiff: codecs::decodeTiff(data); break;
        case ImageFormat::kPng: codecs::decodePng(data); break;
        case ImageFormat::kJpeg: codecs::decodeJpeg(data); break;
        case ImageFormat::kNone: break;
      }
    }
  }
}

}  // namespace
}  // namespace display
