// Drawing programs run headless through the host with the display attached: the numbered errors
// of the bitmap commands (raised when the queue runs), the bitmap queries, saving and loading,
// exact pixels read back with point, and golden frames (PNG files in tests/golden) of each
// drawing family.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "display/codecs/decoded_image.h"
#include "display/tests/golden_picture.h"
#include "display/host_hookup.h"
#include "host/tests/host_fixture.h"
#include "platform/platform.h"

namespace display {
namespace {

class DrawingProgram : public host::testing::HostTest {
 protected:
  struct Outcome {
    host::RunResult result;
    std::string console;
    std::vector<uint32_t> lastFrame;  // 0x00RRGGBB, kScreenWidth x kScreenHeight
    std::vector<uint32_t> probes;     // the pixel at (5, 5) of every presented frame
  };

  Outcome runProgram(const std::string& source, uint64_t maxFrames = 200, HookupOptions options = {},
                     bool framesUnseen = false) {
    options.want3d = false;
    host::RunOptions runOptions = headless("", maxFrames);
    runOptions.skipUnseenFrames = framesUnseen;
    host::Host host(paths(), runOptions);
    attachDisplay(host, options);
    Outcome out;
    host.hooks().frameEnd.push_back([&out](host::Host& h) {
      out.lastFrame = h.frameBuffer();
      out.probes.push_back(out.lastFrame[5 * platform::kScreenWidth + 5]);
    });
    out.result = run(host, compile(source));
    out.console = console();
    return out;
  }
};

std::string lines(std::initializer_list<const char*> program) {
  std::string out;
  for (const char* line : program) out += std::string(line) + "\r\n";
  return out;
}

TEST_F(DrawingProgram, BitmapErrorsAreRaisedWhenTheQueueRuns) {
  struct Case {
    const char* program;
    int error;
  } cases[] = {
      {"create bitmap 0, 10, 10", 1009},
      {"create bitmap 32, 10, 10", 1001},
      {"create bitmap 3, 0, 10", 1005},
      {"delete bitmap 0", 1006},
      {"delete bitmap 4", 1002},
      {"set current bitmap 40", 1001},
      {"set current bitmap 7", 1002},
      {"create bitmap 1, 10, 10\r\ncopy bitmap 1, 1", 1007},
      {"create bitmap 1, 100, 100\r\ncreate bitmap 2, 50, 200\r\ncopy bitmap 1, 2", 1008},
      {"create bitmap 1, 10, 10\r\ncopy bitmap 1, 0, 0, 10, 9, 0, 0, 0, 9, 9", 1010},
      {"create bitmap 1, 10, 10\r\ncopy bitmap 1, 5, 0, 2, 9, 0, 0, 0, 9, 9", 1011},
      {"create bitmap 1, 10, 10\r\ncopy bitmap 1, 0, 0, 9, 9, 0, 0, 0, 640, 9", 1010},
      {"blur bitmap 0, 9", 1012},
      {"fade bitmap 0, 101", 1013},
      {"mirror bitmap 5", 1002},
      {"load bitmap \"missing.bmp\", 1", 105},
      {"x = bitmap width(3)", 1002},
      {"x = bitmap exist(33)", 1001},
  };
  for (const auto& c : cases) {
    const Outcome out = runProgram(std::string(c.program) + "\r\nrefresh\r\nprint \"after\"\r\nend\r\n");
    EXPECT_EQ(out.result.errorCode, c.error) << c.program << ": " << out.result.message;
  }
}

TEST_F(DrawingProgram, QueriesFollowCreateDeleteMirrorAndFlip) {
  const Outcome out = runProgram(lines({
      "create bitmap 1, 30, 20",
      "print current bitmap(); bitmap exist(1); bitmap exist(2); bitmap exist(0)",
      "print bitmap width(); bitmap height(); bitmap depth()",
      "mirror bitmap 1",
      "mirror bitmap 1",
      "flip bitmap 1",
      "print bitmap mirrored(1); bitmap flipped(1); bitmap width(0); bitmap height(0)",
      "delete bitmap 1",
      "print current bitmap(); bitmap exist(1)",
      "end",
  }));
  ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
  EXPECT_EQ(out.console, "1101\n302016\n01640480\n00\n");
}

TEST_F(DrawingProgram, PointReadsWhatTheDrawingCommandsDrew) {
  const Outcome out = runProgram(lines({
      "ink rgb(255, 0, 0), 0",
      "box 10, 10, 20, 20",
      "ink rgb(0, 255, 0), 0",
      "line 0, 30, 5, 30",
      "dot 50, 50",
      "box 30, 30, 20, 20",
      "a = point(15, 15) : b = point(21, 15) : c = point(5, 30) : d = point(6, 30) : e = point(50, 50)",
      "f = point(25, 25)",
      "print a; \" \"; b; \" \"; c; \" \"; d; \" \"; e; \" \"; f",
      "cls rgb(0, 0, 255)",
      "g = point(15, 15)",
      "print g",
      "end",
  }));
  ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
  // The 16-bit screen keeps 5 and 6 bits per channel; full channels read back as 255.
  EXPECT_EQ(out.console, "16711680 0 65280 0 65280 0\n255\n");
}

TEST_F(DrawingProgram, BitmapsSaveLoadAndCopyIntoOthers) {
  const Outcome out = runProgram(lines({
      "create bitmap 1, 40, 30",
      "ink rgb(255, 255, 0), 0",
      "box 0, 0, 9, 9",
      "save bitmap \"picture.bmp\", 1",
      "load bitmap \"picture.bmp\", 2",
      "set current bitmap 2",
      "print bitmap width(); bitmap height(); point(5, 5); point(20, 20)",
      "create bitmap 3, 20, 15",
      "load bitmap \"picture.bmp\", 3",
      "print bitmap width(3); bitmap height(3); point(4, 4)",
      "copy bitmap 1, 0, 0, 9, 9, 0, 100, 100, 139, 139",
      "set current bitmap 0",
      "print point(100, 100); point(139, 139); point(140, 140)",
      "end",
  }));
  ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
  // Bitmap 3 keeps its size: the 40 x 30 picture is scaled down into it. Bitmap 1's yellow box
  // is copied to the screen scaled four times.
  EXPECT_EQ(out.console, "4030167769600\n201516776960\n16776960167769600\n");
  EXPECT_TRUE(std::filesystem::exists(dir.file("start/picture.bmp")));
}

TEST_F(DrawingProgram, TheScreenSavedInARunNobodyWatchesHoldsWhatWasDrawn) {
  // Frames nobody sees are not copied to the visible page; a screen save still gets the picture.
  const Outcome out = runProgram(lines({
                                     "ink rgb(255, 255, 0), 0",
                                     "box 0, 0, 9, 9",
                                     "save bitmap \"screen.bmp\"",
                                     "refresh",
                                     "load bitmap \"screen.bmp\", 1",
                                     "set current bitmap 1",
                                     "print point(5, 5); point(20, 20)",
                                     "end",
                                 }),
                                 200, {}, true);
  ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
  EXPECT_EQ(out.console, "167769600\n");
}

TEST_F(DrawingProgram, ASaveThatWritesNothingIsAnErrorAndKeepsTheOldFile) {
  dir.write("start/keep.pcx", "old contents");
  const Outcome out = runProgram(lines({"create bitmap 1, 8, 8", "save bitmap \"keep.pcx\", 1", "refresh", "end"}));
  EXPECT_EQ(out.result.errorCode, 1004);
  EXPECT_NE(out.result.message.find("keep.pcx"), std::string::npos) << out.result.message;
  EXPECT_EQ(dir.read("start/keep.pcx"), "old contents");
}

TEST_F(DrawingProgram, AnUnreadablePictureIsTheRecoverableError1003) {
  dir.write("start/broken.png", "not a picture");
  const Outcome out = runProgram(lines({"load bitmap \"broken.png\", 1", "refresh", "end"}));
  EXPECT_EQ(out.result.errorCode, 1003);
  EXPECT_TRUE(out.result.warning);
}

TEST_F(DrawingProgram, ExtremeCoordinatesDrawWhatFitsAndNeverFail) {
  const Outcome out = runProgram(lines({
      "ink rgb(255, 255, 255), 0",
      "dot 2147483647, 2147483647 : dot -2147483648, 5",
      "box -2147483648, 0, 2147483647, 10 : box 0, 0, 2147483647, 2147483647",
      "line 5, 5, 2147483647, 2147483647 : line -2147483648, -2147483648, 5, 5",
      "circle 0, 0, 2147483647 : ellipse 2147483647, 0, 5, 2147483647",
      "print point(5, 5); \" \"; point(6, 6); \" \"; point(0, 0)",
      "create bitmap 1, 10, 10",
      "copy bitmap 1, 0, 0, 2147483647, 2147483647, 0, 0, 0, 9, 9",
      "end",
  }));
  EXPECT_EQ(out.result.errorCode, 1010) << out.result.message;
  EXPECT_EQ(out.console, "16777215 16777215 0\n");
}

TEST_F(DrawingProgram, ScreenDrawingReachesBothPagesOfAFlipChain) {
  dir.write("bin/SETUP.INI", "[SETTINGS]\r\nBLITFLIPMODE=0\r\n");
  HookupOptions options;
  options.adapters = {Adapter{"Test GPU", false, true, true, 64u << 20, 32u << 20, false, false}};
  const Outcome out = runProgram(lines({"refresh", "box 0, 0, 9, 9", "refresh", "refresh", "refresh", "end"}), 200, options);
  ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
  // Once the box has been presented, every later page shows it: the item ran on both pages.
  auto first = std::find(out.probes.begin(), out.probes.end(), 0xFFFFFFu);
  ASSERT_NE(first, out.probes.end());
  EXPECT_GE(out.probes.end() - first, 3);
  for (auto it = first; it != out.probes.end(); ++it) EXPECT_EQ(*it, 0xFFFFFFu) << "frame " << (it - out.probes.begin());
}

// The colours set between screen drawings replay with them, so the second page of a flip chain
// shows every box in its own colour, like the first.
TEST_F(DrawingProgram, BothPagesOfAFlipChainDrawInTheSameColours) {
  dir.write("bin/SETUP.INI", "[SETTINGS]\r\nBLITFLIPMODE=0\r\n");
  HookupOptions options;
  options.adapters = {Adapter{"Test GPU", false, true, true, 64u << 20, 32u << 20, false, false}};
  const Outcome out = runProgram(lines({"manual refresh", "ink rgb(255, 0, 0), 0", "box 0, 0, 9, 9",
                                        "ink rgb(0, 0, 255), 0", "box 20, 0, 29, 9", "refresh : refresh : refresh",
                                        "end"}),
                                 200, options);
  ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
  ASSERT_GE(out.probes.size(), 3u);
  for (size_t k = out.probes.size() - 2; k < out.probes.size(); ++k)
    EXPECT_EQ(out.probes[k], 0xFF0000u) << "frame " << k;
}

// Golden frames: the last frame of each program against tests/golden/draw_<name>.png; run with
// ZV_UPDATE_GOLDEN=1 to write them anew after a deliberate change.
TEST_F(DrawingProgram, FramesMatchTheGoldenPictures) {
  struct Case {
    const char* name;
    std::string program;
  } cases[] = {
      {"dots-boxes", lines({"cls rgb(0, 0, 64)", "for i = 0 to 63", "ink rgb(i * 4, 255 - i * 4, 128), 0",
                            "box i * 9, i * 7, i * 9 + 30, i * 7 + 20", "dot 600 - i, 20 + i * 2", "next i",
                            "box 630, 470, 650, 490", "refresh", "end"})},
      {"lines", lines({"for i = 0 to 40", "ink rgb(255, i * 6, 0), 0", "line 320, 240, i * 16, 0",
                       "line 320, 240, 639 - i * 16, 479", "next i", "line 10, 470, 10, 470", "refresh", "end"})},
      {"circles-ellipses", lines({"for r = 0 to 200 step 20", "ink rgb(r, 255, 255 - r), 0", "circle 320, 240, r",
                                  "ellipse 320, 240, r + 40, r / 2", "next r", "circle 0, 0, 50", "refresh", "end"})},
      {"bitmap-effects", lines({"create bitmap 1, 64, 64", "cls rgb(255, 255, 255)", "ink rgb(255, 0, 0), 0",
                                "box 0, 0, 31, 31", "ink rgb(0, 0, 255), 0", "line 0, 63, 63, 0",
                                "set current bitmap 0", "copy bitmap 1, 0", "copy bitmap 1, 0, 0, 63, 63, 0, 100, 0, 227, 127",
                                "mirror bitmap 1", "copy bitmap 1, 0, 0, 63, 63, 0, 240, 0, 303, 63",
                                "flip bitmap 1", "copy bitmap 1, 0, 0, 63, 63, 0, 320, 0, 383, 63",
                                "blur bitmap 1, 4", "copy bitmap 1, 0, 0, 63, 63, 0, 400, 0, 463, 63",
                                "fade bitmap 1, 50", "copy bitmap 1, 0, 0, 63, 63, 0, 480, 0, 543, 63", "refresh", "end"})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome first = runProgram(c.program);
    ASSERT_EQ(first.result.errorCode, 0) << first.result.message;
    ASSERT_EQ(first.lastFrame.size(), size_t(platform::kScreenWidth) * platform::kScreenHeight);
    EXPECT_EQ(runProgram(c.program).lastFrame, first.lastFrame) << "not the same from run to run";
    testing::expectGoldenPicture(
        testing::opaquePicture(first.lastFrame, platform::kScreenWidth, platform::kScreenHeight),
        std::string("draw_") + c.name + ".png");
  }
}

}  // namespace
}  // namespace display
