// The engine-drawn mouse pointer, seen in the frames of programs run headless through the host with
// a scripted mouse: it follows the mouse in full screen and leaves no trail on either page, hide and
// show mouse take it away and bring it back, a framed window never draws it, sprite queries and
// collision do not see it, it survives a display re-creation, and its look matches a golden picture
// (tests/golden/pointer_arrow.png; ZV_UPDATE_GOLDEN=1 writes it anew).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "display/codecs/decoded_image.h"
#include "display/tests/golden_picture.h"
#include "display/host_hookup.h"
#include "display/input_state.h"
#include "display/pointer_art.h"
#include "display/pointer_sprites.h"
#include "host/tests/host_fixture.h"
#include "platform/platform.h"

namespace display {
namespace {

std::string lines(std::initializer_list<const char *> program) {
    std::string out;
    for (const char *line : program)
        out += std::string(line) + "\r\n";
    return out;
}

constexpr uint32_t kBackground = 0x000080; // the programs clear the screen to dark blue

class PointerProgram : public host::testing::HostTest {
  protected:
    // One presented frame with where the program's mouse was and whether the pointer was enabled.
    struct Frame {
        std::vector<uint32_t> pixels;
        int mouseX = 0, mouseY = 0;
        bool pointerEnabled = false;
        uint32_t at(int x, int y) const { return pixels[size_t(y) * platform::kScreenWidth + size_t(x)]; }
    };
    struct Outcome {
        host::RunResult result;
        std::string console;
        std::vector<Frame> frames;
        bool flipChain = false;
    };

    Outcome runProgram(const std::string &source, const std::string &script, bool fullScreen,
                       uint64_t maxFrames = 200) {
        host::RunOptions options = headless(script, maxFrames);
        options.fullScreenByDefault = false;
        options.platform.fullScreen = fullScreen;
        host::Host host(paths(), options);
        HookupOptions display;
        display.want3d = false;
        // A card with video memory: full screen presents through a flip chain of two pages.
        display.adapters = {Adapter{"Test GPU", false, true, true, 64u << 20, 32u << 20, false, false}};
        std::shared_ptr<DisplayDevice> device;
        attachDisplay(host, display, &device);
        Outcome out;
        host.hooks().frameEnd.push_back([&out, &device](host::Host &h) {
            Frame f;
            f.pixels = h.frameBuffer();
            if (const InputState *s = inputOf(h.machine())) {
                f.mouseX = s->mouseX;
                f.mouseY = s->mouseY;
            }
            const PointerSprites *p = pointerOf(h.machine());
            f.pointerEnabled = p && p->enabled;
            out.frames.push_back(std::move(f));
            out.flipChain = device && device->flipChain;
        });
        out.result = run(host, compile(source));
        out.console = console();
        return out;
    }
};

// The frame shows the background everywhere except the arrow with its tip at (tipX, tipY); without
// a tip, nothing but the background. Rows above `fromRow` (printed text) are not looked at.
// Returns the first difference, empty when there is none.
std::string differenceFromArrow(const std::vector<uint32_t> &pixels, bool withArrow, int tipX, int tipY,
                                int fromRow = 0) {
    for (int y = fromRow; y < platform::kScreenHeight; ++y)
        for (int x = 0; x < platform::kScreenWidth; ++x) {
            uint32_t expected = kBackground;
            if (withArrow) {
                const uint32_t art = pointerArtColour(x - tipX, y - tipY);
                if (art != 0)
                    expected = art;
            }
            const uint32_t seen = pixels[size_t(y) * platform::kScreenWidth + size_t(x)];
            if (seen != expected) {
                char text[96];
                std::snprintf(text, sizeof text, "(%d, %d) is %06x, expected %06x", x, y, seen, expected);
                return text;
            }
        }
    return {};
}

// A full-screen run of 16 bits per pixel switches to 32 (the display is made anew), clears to the
// background and keeps presenting while the scripted mouse moves.
const std::string kIdle = lines({
    "set display mode 640, 480, 32",
    "cls rgb(0, 0, 128)",
    "for i = 1 to 40 : refresh : next i",
});

TEST_F(PointerProgram, FollowsTheMouseInFullScreenWithoutATrailOnEitherPage) {
    const std::string script = "frame 6 mousemove 100 50\nframe 12 mousemove 400 300\n"
                               "frame 13 mousemove 410 310\nframe 20 mousemove 639 479\n";
    Outcome out = runProgram(kIdle, script, true);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    ASSERT_GT(out.frames.size(), 30u);
    EXPECT_TRUE(out.flipChain) << "a full-screen display should present through a flip chain";
    int positions = 0, lastX = -1, lastY = -1;
    // From the third frame on the screen has been cleared on both pages.
    for (size_t i = 3; i < out.frames.size(); ++i) {
        const Frame &f = out.frames[i];
        EXPECT_TRUE(f.pointerEnabled);
        const std::string difference = differenceFromArrow(f.pixels, true, f.mouseX - 1, f.mouseY - 1);
        EXPECT_EQ(difference, "") << "frame " << i << ", mouse at " << f.mouseX << ", " << f.mouseY;
        if (f.mouseX != lastX || f.mouseY != lastY)
            ++positions;
        lastX = f.mouseX;
        lastY = f.mouseY;
    }
    EXPECT_GE(positions, 4) << "the script should have moved the mouse several times";
    // The last move pushes the mouse into the bottom-right corner, where the arrow is clipped.
    EXPECT_EQ(out.frames.back().mouseX, 639);
    EXPECT_EQ(out.frames.back().mouseY, 479);
}

TEST_F(PointerProgram, HideAndShowMouseTakeThePointerAwayAndBringItBackWhereTheMouseIs) {
    const std::string program = lines({
        "set display mode 640, 480, 32",
        "cls rgb(0, 0, 128)",
        "for i = 1 to 8 : refresh : next i",
        "hide mouse",
        "for i = 1 to 8 : refresh : next i",
        "hide mouse",
        "show mouse",
        "for i = 1 to 8 : refresh : next i",
        "show mouse",
        "for i = 1 to 4 : refresh : next i",
    });
    // The mouse moves while the pointer is hidden: it comes back where the mouse is now.
    Outcome out = runProgram(program, "frame 4 mousemove 200 100\nframe 13 mousemove 300 200\n", true);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    int shown = 0, hidden = 0, shownAgain = 0;
    for (size_t i = 3; i < out.frames.size(); ++i) {
        const Frame &f = out.frames[i];
        EXPECT_EQ(differenceFromArrow(f.pixels, f.pointerEnabled, f.mouseX - 1, f.mouseY - 1), "")
            << "frame " << i << (f.pointerEnabled ? ", pointer shown" : ", pointer hidden");
        if (!f.pointerEnabled)
            ++hidden;
        else if (hidden == 0)
            ++shown;
        else
            ++shownAgain;
    }
    EXPECT_GT(shown, 0);
    EXPECT_GE(hidden, 4);
    EXPECT_GT(shownAgain, 4);
}

TEST_F(PointerProgram, AFramedWindowDrawsNoEnginePointer) {
    const std::string program = kIdle + lines({"hide mouse", "refresh", "show mouse", "refresh : refresh"});
    Outcome out = runProgram(program, "frame 6 mousemove 100 50\nframe 12 mousemove 400 300\n", false);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    ASSERT_GT(out.frames.size(), 30u);
    for (size_t i = 3; i < out.frames.size(); ++i) {
        EXPECT_FALSE(out.frames[i].pointerEnabled) << "frame " << i;
        EXPECT_EQ(differenceFromArrow(out.frames[i].pixels, false, 0, 0), "") << "frame " << i;
    }
}

TEST_F(PointerProgram, SpriteNumbersImagesAndCollisionDoNotSeeThePointer) {
    // A red sprite under the pointer's start (the mouse starts at 320, 240): the pointer is drawn on
    // top of it, is never "any sprite" it collides with, and stays when every sprite is hidden.
    const std::string program = lines({
        "set display mode 640, 480, 32",
        "ink rgb(255, 0, 0), 0",
        "box 0, 0, 39, 39",
        "get image 1, 0, 0, 40, 40",
        "cls rgb(0, 0, 128)",
        "sprite 1, 300, 220, 1",
        "sprite 2, 500, 400, 1",
        "for i = 1 to 4 : refresh : next i",
        "print sprite collision(1, 0); \" \"; sprite collision(2, 0); \" \"; sprite image(1); \" \"; sprite exist(3)",
        "sprite 3, 310, 230, 1",
        "print sprite collision(1, 0)",
        "hide all sprites",
        "for i = 1 to 4 : refresh : next i",
    });
    Outcome out = runProgram(program, "", true);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    EXPECT_EQ(out.console, "0 0 1 0\n3\n");
    ASSERT_GT(out.frames.size(), 6u);
    const Frame &withSprites = out.frames[4];
    EXPECT_EQ(withSprites.at(319, 239), pointerArtColour(0, 0)) << "the pointer is drawn above the sprite";
    EXPECT_EQ(withSprites.at(320, 242), pointerArtColour(1, 3));
    EXPECT_EQ(withSprites.at(330, 230), 0xFF0000u);
    EXPECT_EQ(differenceFromArrow(out.frames.back().pixels, true, 319, 239, 40), "") << "below the printed lines";
}

TEST_F(PointerProgram, TheArrowMatchesTheGoldenPicture) {
    const std::string program = lines({
        "set display mode 640, 480, 32",
        "cls rgb(96, 96, 96)",
        "ink rgb(255, 255, 255), 0",
        "box 330, 250, 349, 269",
        "for i = 1 to 6 : refresh : next i",
    });
    Outcome out = runProgram(program, "", true);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    ASSERT_FALSE(out.frames.empty());
    // The 40 x 40 square around the mouse at (320, 240): the arrow over grey and over white.
    constexpr int kLeft = 310, kTop = 230, kSize = 40;
    codecs::DecodedImage picture(kSize, kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            picture.pixels[size_t(y) * kSize + size_t(x)] = 0xFF000000u | out.frames.back().at(kLeft + x, kTop + y);
    testing::expectGoldenPicture(picture, "pointer_arrow.png");
}

} // namespace
} // namespace display
