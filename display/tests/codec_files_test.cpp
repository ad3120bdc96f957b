// The codec's own behaviour beyond the corpus: format choice by name, writers and their round
// trips, atomic saving, DDS detail codes, and small hand-made PCX and PSD files that show how
// damaged or unusual data is handled.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "display/codecs/mip_chain.h"
#include "display/image_codec.h"

namespace display {
namespace {

namespace fs = std::filesystem;
using codecs::Bytes;
using codecs::DecodedImage;

class TempFolder {
 public:
  TempFolder() {
    path_ = fs::temp_directory_path() / ("zv-codec-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Bytes bytesOf(const std::vector<uint8_t>& v) { return Bytes(v.data(), v.size()); }

// A picture whose every pixel differs: red from x, green from y, blue from both.
DecodedImage gradient(int w, int h) {
  DecodedImage image(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.at(x, y) = codecs::argb(x * 255 / std::max(1, w - 1), y * 255 / std::max(1, h - 1), (x * 7 + y * 13) & 0xFF);
  return image;
}

TEST(ImageFormat, FollowsTheLastLettersOfTheNameInAnyCase) {
  const std::pair<const char*, ImageFormat> cases[] = {
      {"PICTURE.BMP", ImageFormat::kBmp}, {"a.rle", ImageFormat::kBmp},       {"a.Dib", ImageFormat::kBmp},
      {"photo.JpG", ImageFormat::kJpeg},  {"photo.jpeg", ImageFormat::kJpeg}, {"x.png", ImageFormat::kPng},
      {"x.tga", ImageFormat::kTarga},     {"x.TIF", ImageFormat::kTiff},      {"x.tiff", ImageFormat::kTiff},
      {"x.pcx", ImageFormat::kPcx},       {"x.psd", ImageFormat::kPsd},       {"x.dds", ImageFormat::kDds},
      {"x.gif", ImageFormat::kNone},      {"bmp", ImageFormat::kBmp},         {"x", ImageFormat::kNone},
      {"", ImageFormat::kNone},
  };
  for (const auto& [name, format] : cases) EXPECT_EQ(imageFormatForName(name), format) << name;
}

TEST(ImageWriters, LosslessFormatsReadBackExactly) {
  TempFolder folder;
  ImageCodec codec;
  const DecodedImage picture = gradient(13, 7);  // odd width: rows need padding in BMP
  for (const char* name : {"out.bmp", "OUT.TGA", "out.png"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(codec.writeImage(picture, folder.file(name))) << codec.lastError();
    const auto back = codec.decodeFile(folder.file(name));
    ASSERT_TRUE(back.ok()) << back.error;
    EXPECT_EQ(back.image.width, 13);
    EXPECT_EQ(back.image.height, 7);
    EXPECT_EQ(back.image.pixels, picture.pixels);
  }
}

TEST(ImageWriters, JpegIsCloseAtQualityOneHundred) {
  TempFolder folder;
  ImageCodec codec;
  DecodedImage flat(16, 16, 0xFF3080C0u);
  ASSERT_TRUE(codec.writeImage(flat, folder.file("flat.jpg")));
  const auto back = codec.decodeFile(folder.file("flat.jpg"));
  ASSERT_TRUE(back.ok()) << back.error;
  for (uint32_t p : back.image.pixels)
    for (int shift : {0, 8, 16}) EXPECT_NEAR(int((p >> shift) & 0xFF), int((0x3080C0u >> shift) & 0xFF), 2);
}

TEST(ImageWriters, TargaRowsArePackedBottomUpWithoutPadding) {
  TempFolder folder;
  ImageCodec codec;
  DecodedImage picture(3, 2);
  picture.at(0, 0) = 0xFF112233u;  // top-left
  picture.at(2, 1) = 0xFFAABBCCu;  // bottom-right
  ASSERT_TRUE(codec.writeImage(picture, folder.file("three.tga")));
  const std::string file = readAll(folder.file("three.tga"));
  ASSERT_EQ(file.size(), 18u + 2 * 9);  // rows of exactly 9 bytes
  EXPECT_EQ(file[2], 2);
  EXPECT_EQ(file[16], 24);
  EXPECT_EQ(file[17], 0);
  // First stored row is the bottom one; its last pixel is blue, green, red.
  EXPECT_EQ(file.substr(18 + 6, 3), std::string("\xCC\xBB\xAA"));
  EXPECT_EQ(file.substr(18 + 9, 3), std::string("\x33\x22\x11"));
}

TEST(ImageWriters, AFailedWriteReportsFailureAndLeavesNoFile) {
  TempFolder folder;
  ImageCodec codec;
  const DecodedImage picture = gradient(4, 4);
  for (const char* name : {"shot.pcx", "shot.psd", "shot.tif", "shot.gif"}) {
    EXPECT_FALSE(codec.writeImage(picture, folder.file(name))) << name;
    EXPECT_FALSE(codec.lastError().empty());
    EXPECT_FALSE(fs::exists(folder.file(name))) << name;
  }
  EXPECT_FALSE(codec.writeImage(picture, folder.file("missing/folder/shot.bmp")));
  EXPECT_FALSE(codec.writeImage(DecodedImage(), folder.file("empty.bmp")));
  EXPECT_FALSE(fs::exists(folder.file("empty.bmp")));
  EXPECT_TRUE(fs::is_empty(folder.file("")));  // no temporary files left behind
}

TEST(ImageWriters, OverwritingKeepsTheOldFileUntilTheNewOneIsComplete) {
  TempFolder folder;
  ImageCodec codec;
  const std::string path = folder.file("keep.png");
  ASSERT_TRUE(codec.writeImage(gradient(8, 8), path));
  const std::string before = readAll(path);
  EXPECT_FALSE(codec.writeImage(DecodedImage(), path));
  EXPECT_EQ(readAll(path), before);
  ASSERT_TRUE(codec.writeImage(gradient(5, 3), path));
  EXPECT_EQ(codec.decodeFile(path).image.width, 5);
}

TEST(DdsFiles, WrittenTexturesHavePowerOfTwoSidesAndAFullMipChain) {
  TempFolder folder;
  int detail = 0;
  ImageCodec codec(&detail);
  ASSERT_TRUE(codec.writeImage(DecodedImage(100, 60, 0xFF3366CCu), folder.file("tex.dds")));
  const std::string file = readAll(folder.file("tex.dds"));
  const auto u32 = [&](size_t at) { return uint32_t(uint8_t(file[at])) | uint32_t(uint8_t(file[at + 1])) << 8 |
                                            uint32_t(uint8_t(file[at + 2])) << 16 | uint32_t(uint8_t(file[at + 3])) << 24; };
  EXPECT_EQ(file.substr(0, 4), "DDS ");
  EXPECT_EQ(u32(12), 64u);   // height
  EXPECT_EQ(u32(16), 128u);  // width
  EXPECT_EQ(u32(28), 5u);    // levels 128, 64, 32, 16 and 8 wide
  EXPECT_EQ(file.substr(84, 4), "DXT1");
  // Levels of 32x16, 16x8, 8x4, 4x2 and 2x1 blocks of 8 bytes, then the top level once more.
  EXPECT_EQ(file.size(), 128u + (512 + 128 + 32 + 8 + 2) * 8 + 512 * 8);

  const auto back = codec.decodeFile(folder.file("tex.dds"));
  ASSERT_TRUE(back.ok()) << back.error;
  EXPECT_EQ(back.image.width, 128);
  EXPECT_EQ(back.image.height, 64);
  EXPECT_EQ(detail, 10006);
  for (int shift : {0, 8, 16}) EXPECT_NEAR(int((back.image.at(64, 32) >> shift) & 0xFF), int((0x3366CCu >> shift) & 0xFF), 8);
}

TEST(DdsFiles, EachFailingStepLeavesItsDetailCode) {
  TempFolder folder;
  int detail = 0;
  ImageCodec codec(&detail);
  EXPECT_FALSE(codec.decodeFile(folder.file("absent.dds")).ok());
  EXPECT_EQ(detail, 10001);

  std::ofstream(folder.file("text.dds"), std::ios::binary) << "not a texture at all";
  EXPECT_FALSE(codec.decodeFile(folder.file("text.dds")).ok());
  EXPECT_EQ(detail, 10002);

  ASSERT_TRUE(codec.writeImage(DecodedImage(8, 8, 0xFFFFFFFFu), folder.file("good.dds")));
  std::string file = readAll(folder.file("good.dds"));
  std::ofstream(folder.file("cut.dds"), std::ios::binary) << file.substr(0, 128 + 10);
  EXPECT_FALSE(codec.decodeFile(folder.file("cut.dds")).ok());
  EXPECT_EQ(detail, 10004);

  file.replace(84, 4, "ABCD");  // a four-character code no surface can be made of
  std::ofstream(folder.file("odd.dds"), std::ios::binary) << file;
  EXPECT_FALSE(codec.decodeFile(folder.file("odd.dds")).ok());
  EXPECT_EQ(detail, 10003);

  // Other formats leave the code alone: it is never cleared during a run.
  EXPECT_FALSE(codec.decodeFile(folder.file("absent.png")).ok());
  EXPECT_EQ(detail, 10003);
}

TEST(MipChains, LevelCountsAndAveraging) {
  const std::tuple<int, int, int> counts[] = {{256, 256, 7}, {64, 64, 5}, {3, 3, 1}, {2, 2, 0}, {128, 64, 5}, {1, 1, 0}};
  for (const auto& [w, h, n] : counts) EXPECT_EQ(codecs::mipLevelCount(w, h), n) << w << "x" << h;

  // A 3x3 picture: the right column and bottom row form blocks of their own (2 and 1 pixels).
  DecodedImage image(3, 3, 0xFF000000u);
  image.at(0, 0) = 0xFF040404u;
  image.at(1, 1) = 0xFF080808u;
  image.at(2, 0) = 0xFF0A0A0Au;
  image.at(2, 2) = 0xFF090909u;
  codecs::averageBlocks(image);
  EXPECT_EQ(image.at(1, 0), 0xFF030303u);  // (4 + 0 + 0 + 8) / 4
  EXPECT_EQ(image.at(2, 1), 0xFF050505u);  // (10 + 0) / 2
  EXPECT_EQ(image.at(0, 2), 0xFF000000u);
  EXPECT_EQ(image.at(2, 2), 0xFF090909u);
}

TEST(MipChains, TexturesHalveEachLevelAndCarryTheCompressionLetter) {
  ImageCodec codec;
  Surface surface(64, 32, 16);
  surface.fillColour(0xFF0000);
  const auto texture = codec.makeMipMappedTexture(surface, '1', true);
  ASSERT_TRUE(texture);
  EXPECT_EQ(texture->pixelFormat, "DXT1");
  ASSERT_EQ(texture->levels.size(), 4u);  // 64x32, 32x16, 16x8, 8x4
  EXPECT_EQ(texture->levels[3].width, 8);
  EXPECT_EQ(texture->levels[3].height, 4);
  EXPECT_EQ(texture->levels[3].colour(7, 3), 0xFF0000u);
  EXPECT_EQ(codec.makeMipMappedTexture(surface, '1', false)->pixelFormat, "");
}

TEST(Surfaces, PicturesArePackedForTheSurfaceLayout) {
  DecodedImage image(2, 1);
  image.at(0, 0) = 0x80FFFFFFu;  // alpha is dropped
  image.at(1, 0) = 0xFF123456u;
  const Surface s16 = surfaceFromImage(image, 16), s32 = surfaceFromImage(image, 32);
  EXPECT_EQ(s16.pixel(0, 0), 0xFFFFu);
  EXPECT_EQ(s16.pixel(1, 0), PixelLayout::forDepth(16).pack(0x123456));
  EXPECT_EQ(s32.colour(1, 0), 0x123456u);
  EXPECT_FALSE(s32.colourKey.has_value());
  EXPECT_EQ(imageFromSurface(s32).at(1, 0), 0xFF123456u);
}

// PCX fixtures: a 128-byte header followed by run-length lines.
std::vector<uint8_t> pcxHeader(int width, int height, int bitsPerPlane, int planes, int bytesPerLine) {
  std::vector<uint8_t> h(128, 0);
  h[0] = 10, h[1] = 5, h[2] = 1, h[3] = uint8_t(bitsPerPlane);
  h[8] = uint8_t(width - 1), h[10] = uint8_t(height - 1);
  h[65] = uint8_t(planes), h[66] = uint8_t(bytesPerLine);
  return h;
}

TEST(PcxFiles, SixteenColoursFromFourPlanesUseTheHeaderPalette) {
  auto file = pcxHeader(8, 1, 1, 4, 1);
  for (int i = 0; i < 16; ++i) file[16 + i * 3] = uint8_t(i * 16), file[17 + i * 3] = uint8_t(i), file[18 + i * 3] = 7;
  // Pixel 0 has planes 0 and 3 set (index 9); pixel 7 has plane 1 (index 2).
  for (uint8_t b : {0x80, 0x01, 0x00, 0x80}) file.push_back(b);
  const auto r = codecs::decodePcx(bytesOf(file));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.image.at(0, 0), codecs::argb(9 * 16, 9, 7));
  EXPECT_EQ(r.image.at(7, 0), codecs::argb(32, 2, 7));
  EXPECT_EQ(r.image.at(3, 0), codecs::argb(0, 0, 7));
}

TEST(PcxFiles, TrueColourAndPaletteMarker) {
  auto rgb = pcxHeader(2, 1, 8, 3, 2);
  for (uint8_t b : {10, 20, 30, 40, 50, 60}) rgb.push_back(b);
  auto r = codecs::decodePcx(bytesOf(rgb));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.image.at(0, 0), codecs::argb(10, 30, 50));
  EXPECT_EQ(r.image.at(1, 0), codecs::argb(20, 40, 60));

  auto indexed = pcxHeader(2, 2, 8, 1, 2);
  for (uint8_t b : {1, 1, 1, 1}) indexed.push_back(b);
  std::vector<uint8_t> palette(768, 0);
  palette[3] = 200;  // entry 1 is red
  auto withMarker = indexed;
  withMarker.push_back(12);
  withMarker.insert(withMarker.end(), palette.begin(), palette.end());
  r = codecs::decodePcx(bytesOf(withMarker));
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.image.at(1, 1), codecs::argb(200, 0, 0));

  auto withoutMarker = indexed;
  withoutMarker.push_back(0);
  withoutMarker.insert(withoutMarker.end(), palette.begin(), palette.end());
  r = codecs::decodePcx(bytesOf(withoutMarker));
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.image.width, 2);
  for (uint32_t p : r.image.pixels) EXPECT_EQ(p, codecs::argb(0, 0, 0));
}

TEST(PcxFiles, ARunNeverCarriesIntoTheNextLine) {
  auto file = pcxHeader(2, 2, 8, 1, 2);
  // Line 0: a run of 5 (3 dropped); line 1: two literals.
  for (uint8_t b : {0xC5, 7, 8, 9}) file.push_back(b);
  file.push_back(12);
  std::vector<uint8_t> palette(768);
  for (int i = 0; i < 768; ++i) palette[i] = uint8_t(i / 3);
  file.insert(file.end(), palette.begin(), palette.end());
  const auto r = codecs::decodePcx(bytesOf(file));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.image.at(1, 0), codecs::argb(7, 7, 7));
  EXPECT_EQ(r.image.at(0, 1), codecs::argb(8, 8, 8));
  EXPECT_EQ(r.image.at(1, 1), codecs::argb(9, 9, 9));
}

// PSD fixtures: header, three empty sections, compression, channel data.
std::vector<uint8_t> psd(uint16_t channels, uint16_t depth, uint16_t mode, uint16_t compression, std::vector<uint8_t> body) {
  std::vector<uint8_t> f = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
  auto be16 = [&](uint32_t v) { f.push_back(uint8_t(v >> 8)), f.push_back(uint8_t(v)); };
  auto be32 = [&](uint32_t v) { be16(v >> 16), be16(v & 0xFFFF); };
  be16(channels), be32(1), be32(2), be16(depth), be16(mode);  // 2 wide, 1 high
  be32(0), be32(0), be32(0);
  be16(compression);
  f.insert(f.end(), body.begin(), body.end());
  return f;
}

TEST(PsdFiles, OnlyEightBitRgbReadsAndMissingAlphaIsOpaque) {
  const std::vector<uint8_t> raw = {1, 2, 3, 4, 5, 6};
  const auto r = codecs::decodePsd(bytesOf(psd(3, 8, 3, 0, raw)));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.image.at(0, 0), codecs::argb(1, 3, 5, 255));
  EXPECT_EQ(r.image.at(1, 0), codecs::argb(2, 4, 6, 255));

  EXPECT_FALSE(codecs::decodePsd(bytesOf(psd(3, 8, 1, 0, raw))).ok());  // grey
  EXPECT_FALSE(codecs::decodePsd(bytesOf(psd(4, 8, 4, 0, raw))).ok());  // CMYK
  EXPECT_FALSE(codecs::decodePsd(bytesOf(psd(3, 16, 3, 0, raw))).ok());
  EXPECT_FALSE(codecs::decodePsd(bytesOf(psd(3, 8, 3, 2, raw))).ok());
  EXPECT_FALSE(codecs::decodePsd(bytesOf(psd(3, 8, 3, 0, {1, 2, 3}))).ok());  // cut short
}

TEST(PsdFiles, PackBitsRunsStopAtTheChannelEnd) {
  // Row-count table (3 channels x 1 row x 2 bytes), then per channel: a run of 9 (only 2 fit),
  // a literal pair, and a literal whose second byte would overrun.
  std::vector<uint8_t> body(6, 0);
  for (uint8_t b : {uint8_t(0xF8), uint8_t(40), uint8_t(1), uint8_t(50), uint8_t(51), uint8_t(1), uint8_t(60), uint8_t(61)})
    body.push_back(b);
  const auto r = codecs::decodePsd(bytesOf(psd(3, 8, 3, 1, body)));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.image.at(0, 0), codecs::argb(40, 50, 60));
  EXPECT_EQ(r.image.at(1, 0), codecs::argb(40, 51, 61));
}

}  // namespace
}  // namespace display
