// Image and sprite programs run headless through the host with the display attached: the
// numbered errors, the queries, collision (bounding box and pixels, transparent pixels, scale and
// mirror), hit, background restore on both pages, and golden frames (tests/golden/sprite_frames.txt,
// exact hashes; ZV_UPDATE_GOLDEN=1 rewrites them).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "builder/payload.h"
#include "display/host_hookup.h"
#include "display/image_codec.h"
#include "host/tests/host_fixture.h"
#include "platform/platform.h"

namespace display {
namespace {

uint64_t frameHash(const std::vector<uint32_t>& pixels) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a over the 0x00RRGGBB words, low byte first
  for (uint32_t p : pixels)
    for (int k = 0; k < 4; ++k) h = (h ^ ((p >> (8 * k)) & 0xFF)) * 1099511628211ull;
  return h;
}

std::string lines(std::initializer_list<std::string> program) {
  std::string out;
  for (const std::string& line : program) out += line + "\r\n";
  return out;
}

class SpriteProgram : public host::testing::HostTest {
 protected:
  struct Outcome {
    host::RunResult result;
    std::string console;
    std::vector<std::vector<uint32_t>> frames;  // every presented frame, 0x00RRGGBB
    uint32_t at(size_t frame, int x, int y) const { return frames[frame][size_t(y) * platform::kScreenWidth + size_t(x)]; }
    uint32_t last(int x, int y) const { return at(frames.size() - 1, x, y); }
  };

  Outcome runProgram(const std::string& source, uint64_t maxFrames = 200) {
    HookupOptions options;
    options.want3d = false;
    host::Host host(paths(), headless("", maxFrames));
    attachDisplay(host, options);
    Outcome out;
    host.hooks().frameEnd.push_back([&out](host::Host& h) { out.frames.push_back(h.frameBuffer()); });
    out.result = run(host, compile(source));
    out.console = console();
    return out;
  }

  void writeSettings(const std::string& text) { dir.write("bin/SETUP.INI", "[SETTINGS]\r\n" + text); }
};

// Pictures the tests grab: 1 red 10 x 10, 2 blue 10 x 10, 3 red left half and black (transparent)
// right half, 4 a 10 x 20 red bar, 5 a green 8 x 8 with a white top-left pixel.
const std::string kPictures = lines({
    "ink rgb(255, 0, 0), 0", "box 0, 0, 9, 9", "get image 1, 0, 0, 10, 10",
    "ink rgb(0, 0, 255), 0", "box 20, 0, 29, 9", "get image 2, 20, 0, 30, 10",
    "ink rgb(255, 0, 0), 0", "box 40, 0, 44, 9", "get image 3, 40, 0, 50, 10",
    "box 60, 0, 69, 19", "get image 4, 60, 0, 70, 20",
    "ink rgb(0, 255, 0), 0", "box 80, 0, 87, 7", "ink rgb(255, 255, 255), 0", "dot 80, 0", "get image 5, 80, 0, 88, 8",
    "cls", "refresh",
});

TEST_F(SpriteProgram, BadNumbersAndMissingThingsGiveTheNumberedErrors) {
  dir.write("start/exists.bmp", "x");
  dir.write("start/broken.png", "not a picture");
  struct Case {
    const char* program;
    int error;
  } cases[] = {
      {"get image 0, 0, 0, 10, 10", 501},
      {"get image 65536, 0, 0, 10, 10", 501},
      {"get image 1, 5, 5, 5, 10", 504},
      {"get image 1, 5, 5, 10, 2", 504},
      {"get image 1, 0, 0, 641, 10", 503},
      {"get image 1, -1, 0, 10, 10", 503},
      {"create bitmap 1, 20, 20\r\nget image 1, 0, 0, 21, 10", 503},
      {"load image 1, \"missing.bmp\"", 105},
      {"load image 0, \"exists.bmp\"", 501},
      {"load image 1, \"missing.png\", 1", 105},
      {"paste image 3, 0, 0", 502},
      {"paste image 0, 0, 0, 1", 501},
      {"delete image 2", 502},
      {"get image 2, 0, 0, 4, 4\r\ndelete image 2\r\ndelete image 2", 502},
      {"rotate image 2, 90", 502},
      {"save image 2, \"x.bmp\"", 502},
      {"get image 2, 0, 0, 4, 4\r\nsave image 2, \"exists.bmp\"", 106},
      {"x = image exist(70000)", 501},
      {"sprite 0, 1, 1, 1", 301},
      {"sprite 65536, 1, 1, 1", 301},
      {"scale sprite 1, 50", 302},
      {"set sprite 1, 2, 1", 303},
      {"set sprite 1, 1, -1", 304},
      {"set sprite 0, 1, 1", 301},
      {"sprite 1, 0, 0, 0\r\nscale sprite 1, 250001", 311},
      {"sprite 1, 0, 0, 0\r\nscale sprite 1, 100, -1", 311},
      {"sprite 1, 0, 0, 0\r\nsize sprite 1, -1, 5", 312},
      {"x = sprite x(5)", 302},
      {"x = sprite exist(0)", 301},
      {"sprite 1, 0, 0, 0\r\nx = sprite collision(1, 9)", 302},
      {"sprite 1, 0, 0, 0\r\nx = sprite hit(2, 0)", 302},
      {"mirror sprite 3", 302},
      {"paste sprite 4, 0, 0", 302},
      {"sprite 1, 0, 0, 0\r\nset sprite 1, 0, 1\r\ndelete sprite 1\r\ndelete sprite 1", 302},
  };
  for (const auto& c : cases) {
    const Outcome out = runProgram(std::string(c.program) + "\r\nrefresh\r\nprint \"after\"\r\nend\r\n");
    EXPECT_EQ(out.result.errorCode, c.error) << c.program << ": " << out.result.message;
    EXPECT_EQ(out.console, "") << c.program;
  }
  const Outcome unreadable = runProgram("load image 1, \"broken.png\"\r\nend\r\n");
  EXPECT_EQ(unreadable.result.errorCode, 1003);
  EXPECT_TRUE(unreadable.result.warning);
}

TEST_F(SpriteProgram, QueriesFollowTheSpriteCommands) {
  const Outcome out = runProgram(kPictures + lines({
      "sprite 1, 30, 40, 4",
      "print sprite exist(1); sprite exist(2); sprite x(1); \" \"; sprite y(1); \" \"; sprite image(1)",
      "print sprite width(1); \" \"; sprite height(1); \" \"; sprite scale x(1); \" \"; sprite scale y(1)",
      "scale sprite 1, 250 : offset sprite 1, 3, 4 : mirror sprite 1 : flip sprite 1 : flip sprite 1",
      "print sprite width(1); \" \"; sprite height(1); \" \"; sprite offset x(1); sprite offset y(1); sprite mirrored(1); sprite flipped(1)",
      "scale sprite 1, 50, 300 : print sprite width(1); \" \"; sprite height(1); \" \"; sprite scale y(1)",
      "size sprite 1, 33, 7 : print sprite width(1); \" \"; sprite height(1); \" \"; sprite scale x(1); \" \"; sprite scale y(1)",
      "sprite 2, 0, 0, 99 : print sprite width(2); sprite height(2); sprite image(2)",
      "print image exist(4); image exist(99)",
      "rotate image 4, 90 : refresh : sprite 1, 30, 40, 4 : scale sprite 1, 100",
      "print sprite width(1); \" \"; sprite height(1)",
      "rotate image 4, 45 : refresh : print sprite width(1); \" \"; sprite height(1)",
      "rotate image 4, 450 : refresh : print sprite width(1); \" \"; sprite height(1)",
      "rotate image 4, 360 : refresh : print sprite width(1); \" \"; sprite height(1)",
      "delete image 4 : print image exist(4); sprite width(1)",
      "delete sprite 2 : print sprite exist(2)",
      "offset sprite 1, 5, 5 : delete sprite 1 : sprite 1, 7, 8, 5",
      "print sprite exist(1); sprite mirrored(1); sprite offset x(1); sprite x(1); sprite width(1)",
      "refresh : refresh : refresh : print sprite exist(1)",
      "end",
  }));
  ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
  EXPECT_EQ(out.console,
            "1030 40 4\n"
            "10 20 100 100\n"
            "25 50 3410\n"
            "5 60 300\n"
            "33 7 330 35\n"
            "0099\n"
            "10\n"
            "20 10\n"
            "20 10\n"
            "10 20\n"
            "10 20\n"
            "00\n"
            "0\n"
            "10078\n"
            "1\n");
}

// Collision cases: sprite 1 and sprite 2 placed, then collision(1, 2) and collision(1, any).
TEST_F(SpriteProgram, CollisionIsPixelExactWithTransparentPixelsLeftOut) {
  struct Case {
    const char* setup;
    int expected;
  } cases[] = {
      {"sprite 1, 100, 100, 1 : sprite 2, 105, 105, 1", 1},   // overlapping
      {"sprite 1, 100, 100, 1 : sprite 2, 110, 100, 1", 0},   // touching at the right edge
      {"sprite 1, 100, 100, 1 : sprite 2, 100, 110, 1", 0},   // touching at the bottom edge
      {"sprite 1, 100, 100, 1 : sprite 2, 90, 90, 1", 0},     // touching at the top-left corner
      {"sprite 1, 100, 100, 1 : sprite 2, 109, 109, 1", 1},   // one pixel in common
      {"sprite 1, 100, 100, 1 : sprite 2, 200, 200, 1", 0},   // apart
      {"sprite 1, 100, 100, 1 : sprite 2, 105, 105, 2", 0},   // red over blue: no bit in common
      {"sprite 1, 100, 100, 2 : sprite 2, 105, 105, 2", 1},   // blue over blue
      {"sprite 1, 100, 100, 3 : sprite 2, 106, 100, 1", 0},   // only the transparent half is covered
      {"sprite 1, 100, 100, 3 : sprite 2, 104, 100, 1", 1},   // the last red column is covered
      {"sprite 1, 100, 100, 3 : mirror sprite 1 : sprite 2, 106, 100, 1", 1},  // mirrored: red on the right
      {"sprite 1, 100, 100, 3 : mirror sprite 1 : sprite 2, 95, 100, 1", 0},
      {"sprite 1, 100, 100, 1 : scale sprite 1, 200 : sprite 2, 118, 118, 1", 1},  // scaled to 20 x 20
      {"sprite 1, 100, 100, 1 : scale sprite 1, 50 : sprite 2, 106, 106, 1", 0},   // scaled to 5 x 5
      {"sprite 1, 100, 100, 1 : offset sprite 1, 10, 10 : sprite 2, 91, 91, 1", 1},  // hot spot moves the box
      {"sprite 1, 100, 100, 1 : sprite 2, 105, 105, 77", 0},  // no image
      {"sprite 1, 100, 100, 1 : sprite 2, 105, 105, 1 : hide sprite 2", 1},  // hidden sprites still collide
      // Scaled 2500 times and covering each other only where one of them is transparent.
      {"sprite 1, 0, 0, 3 : scale sprite 1, 250000 : sprite 2, 0, 0, 3 : scale sprite 2, 250000 : mirror sprite 2", 0},
  };
  std::string program = kPictures;
  for (const auto& c : cases) {
    program += std::string(c.setup) + "\r\n";
    program += "print sprite collision(1, 2); \" \"; sprite collision(1, 0)\r\n";
    program += "delete sprite 1 : delete sprite 2 : refresh : refresh : refresh\r\n";
  }
  program += "end\r\n";
  const Outcome out = runProgram(program, 2000);
  ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
  std::istringstream printed(out.console);
  for (const auto& c : cases) {
    int specific = -1, any = -1;
    printed >> specific >> any;
    EXPECT_EQ(specific, c.expected) << c.setup;
    EXPECT_EQ(any, c.expected ? 2 : 0) << c.setup;
  }
}

TEST_F(SpriteProgram, HitReportsACollisionOnlyWhereItStarts) {
  const Outcome out = runProgram(kPictures + lines({
      "sprite 1, 100, 100, 1 : sprite 2, 300, 100, 1 : sprite 3, 105, 105, 1",
      "print sprite hit(1, 0); sprite hit(1, 0); sprite hit(1, 0)",
      "sprite 3, 400, 400, 1 : print sprite hit(1, 0)",
      "sprite 2, 103, 103, 1 : print sprite hit(1, 2); sprite hit(1, 2)",
      "end",
  }));
  ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
  EXPECT_EQ(out.console, "300\n0\n10\n");
}

// Red sprite over a blue backdrop, with a flip chain (two pages) and without (BLITFLIPMODE).
TEST_F(SpriteProgram, MovedAndDeletedSpritesLeaveNoTrailOnEitherPage) {
  for (const char* settings : {"", "BLITFLIPMODE=1\r\n"}) {
    SCOPED_TRACE(settings);
    writeSettings(settings);
    const Outcome out = runProgram(kPictures + lines({
        "cls rgb(0, 0, 255)",
        "sprite 1, 100, 100, 1 : refresh : refresh",
        "sprite 1, 300, 100, 1 : refresh : refresh",
        "sprite 2, 200, 200, 1 : refresh : refresh : delete sprite 2 : refresh : refresh : refresh",
        "end",
    }));
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    ASSERT_GE(out.frames.size(), 4u);
    for (size_t f = out.frames.size() - 2; f < out.frames.size(); ++f) {
      EXPECT_EQ(out.at(f, 105, 105), 0x0000FFu) << "frame " << f;  // where sprite 1 was
      EXPECT_EQ(out.at(f, 305, 105), 0xFF0000u) << "frame " << f;  // where it is
      EXPECT_EQ(out.at(f, 205, 205), 0x0000FFu) << "frame " << f;  // where sprite 2 was deleted
    }
  }
}

TEST_F(SpriteProgram, ReloadedImagesShowInTheirSpritesAndSavedImagesReadBack) {
  const Outcome out = runProgram(kPictures + lines({
      "save image 2, \"blue.bmp\"",
      "refresh",
      "sprite 1, 50, 50, 1 : refresh",
      "load image 1, \"blue.bmp\"",
      "print image exist(1); sprite width(1)",
      "refresh : refresh",
      "end",
  }));
  ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
  EXPECT_EQ(out.console, "110\n");
  EXPECT_TRUE(std::filesystem::exists(dir.file("start/blue.bmp")));
  EXPECT_EQ(out.last(55, 55), 0x0000FFu);
}

TEST_F(SpriteProgram, PastedImagesAndSpritesKeepOrLeaveOutBlack) {
  const Outcome out = runProgram(kPictures + lines({
      "cls rgb(255, 255, 0)",
      "paste image 3, 10, 10",        // black right half drawn
      "paste image 3, 30, 10, 1",     // black right half left out
      "sprite 1, 0, 0, 3 : hide sprite 1",
      "paste sprite 1, 50, 10",       // the sprite's look: transparent by default
      "set sprite 1, 1, 0 : paste sprite 1, 70, 10",
      "refresh : refresh",
      "end",
  }));
  ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
  EXPECT_EQ(out.last(12, 12), 0xFF0000u);
  EXPECT_EQ(out.last(17, 12), 0x000000u);
  EXPECT_EQ(out.last(37, 12), 0xFFFF00u);
  EXPECT_EQ(out.last(57, 12), 0xFFFF00u);
  EXPECT_EQ(out.last(77, 12), 0x000000u);
  EXPECT_EQ(out.last(2, 2), 0xFFFF00u) << "a hidden sprite is not drawn";
}

TEST_F(SpriteProgram, ANewDisplayEmptiesImagesAndSpritesKeepTheirSettings) {
  const Outcome out = runProgram(kPictures + lines({
      "sprite 1, 30, 40, 4 : scale sprite 1, 200 : mirror sprite 1",
      "set display mode 320, 240, 16",
      "print image exist(4); sprite exist(1); sprite x(1); sprite mirrored(1); \" \"; sprite width(1); sprite scale x(1)",
      "cls rgb(0, 0, 255) : ink rgb(255, 255, 0), 0 : box 0, 0, 9, 19 : get image 4, 0, 0, 10, 20 : cls rgb(0, 0, 255)",
      "refresh : refresh",
      "print sprite width(1)",
      "end",
  }));
  ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
  EXPECT_EQ(out.console, "11301 0200\n20\n");
}

TEST_F(SpriteProgram, AStandaloneGameLoadsImagesFromItsPackedMedia) {
  Surface blue(10, 10, 16);
  blue.fillColour(0x0000FF);
  ImageCodec codec;
  const std::string picture = dir.file("start/made.bmp");
  ASSERT_TRUE(codec.write(blue, picture)) << codec.lastError();
  std::ifstream in(picture, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  std::filesystem::remove(picture);

  builder::PayloadWriter writer;
  writer.addFile("_exefile.dat", compile(lines({"load image 1, \"gfx/blue.bmp\"", "sprite 1, 50, 50, 1",
                                                "refresh : refresh", "end"})));
  writer.addFile("Gfx\\Blue.BMP", bytes);
  const std::string game = dir.file("bin/zorvane");
  std::string why;
  ASSERT_TRUE(writer.writeWithRuntime({'E', 'L', 'F'}, game, &why)) << why;

  HookupOptions options;
  options.want3d = false;
  host::Host host(paths(), headless("", 50));
  attachDisplay(host, options);
  std::vector<uint32_t> lastFrame;
  host.hooks().frameEnd.push_back([&](host::Host& h) { lastFrame = h.frameBuffer(); });
  auto source = host::payloadSource(game);
  ::testing::internal::CaptureStderr();
  const host::RunResult r = host.run(*source);
  ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(r.errorCode, 0) << r.message;
  ASSERT_FALSE(lastFrame.empty());
  EXPECT_EQ(lastFrame[55 * platform::kScreenWidth + 55], 0x0000FFu);
}

// Golden frames: tests/golden/sprite_frames.txt holds "name hash" lines of each program's last frame.
std::map<std::string, std::string> readGoldens(const std::string& path) {
  std::map<std::string, std::string> out;
  std::ifstream in(path);
  std::string name, hash;
  while (in >> name >> hash) out[name] = hash;
  return out;
}

TEST_F(SpriteProgram, FramesMatchTheGoldens) {
  struct Case {
    const char* name;
    std::string program;
  } cases[] = {
      {"priorities-mirror-flip", kPictures + lines({
           "cls rgb(40, 40, 40)",
           "for i = 1 to 8 : sprite i, 40 + i * 12, 40 + i * 12, 5 : scale sprite i, 300 : next i",
           "sprite 20, 300, 50, 5 : scale sprite 20, 400 : mirror sprite 20",
           "sprite 21, 350, 50, 5 : scale sprite 21, 400 : flip sprite 21",
           "sprite 22, 400, 50, 5 : scale sprite 22, 400 : mirror sprite 22 : flip sprite 22",
           "sprite 23, 460, 50, 4 : offset sprite 23, 5, 10 : scale sprite 23, 150, 400 : set sprite 23, 1, 0",
           "refresh : refresh", "end"})},
      {"clipped-at-edges", kPictures + lines({
           "cls rgb(0, 60, 0)",
           "sprite 1, -7, 100, 5 : scale sprite 1, 200",
           "sprite 2, 630, 100, 5 : scale sprite 2, 300 : mirror sprite 2",
           "sprite 3, 300, -10, 5 : scale sprite 3, 250 : flip sprite 3",
           "sprite 4, 300, 470, 4 : scale sprite 4, 200",
           "refresh : refresh", "end"})},
      {"moving-over-moving-backdrop", kPictures + lines({
           "for f = 0 to 30",
           "ink rgb(f * 8, 100, 255 - f * 8), 0 : box f * 20, 0, f * 20 + 19, 479",
           "for i = 1 to 6 : sprite i, f * 15 + i * 20, 100 + i * 40, 5 : scale sprite i, 200 + i * 50 : next i",
           "refresh", "next f", "end"})},
  };
  const std::string goldenPath = std::string(ZV_SOURCE_DIR) + "/tests/golden/sprite_frames.txt";
  auto goldens = readGoldens(goldenPath);
  const bool update = std::getenv("ZV_UPDATE_GOLDEN") != nullptr;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome first = runProgram(c.program, 500);
    ASSERT_EQ(first.result.errorCode, 0) << first.result.message;
    ASSERT_FALSE(first.frames.empty());
    const Outcome second = runProgram(c.program, 500);
    EXPECT_EQ(frameHash(second.frames.back()), frameHash(first.frames.back())) << "not the same from run to run";
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(frameHash(first.frames.back())));
    if (update) goldens[c.name] = hex;
    else EXPECT_EQ(goldens[c.name], hex) << "ZV_UPDATE_GOLDEN=1 rewrites " << goldenPath;
  }
  if (update) {
    std::ofstream out(goldenPath + ".tmp");
    for (const auto& [name, hash] : goldens) out << name << " " << hash << "\n";
    out.close();
    std::rename((goldenPath + ".tmp").c_str(), goldenPath.c_str());
  }
}

}  // namespace
}  // namespace display
