// The display device without a host: colour packing, gamma ramps, blend caps, mode and card
// choice, surface placement, flip and copy presentation, and the frame's placement on screen.
#include <gtest/gtest.h>

#include <map>

#include "display/card_choice.h"
#include "display/display_device.h"
#include "display/surface.h"
#include "vm/machine.h"

namespace display {
namespace {

TEST(PixelLayout, PacksAndUnpacksColoursPerDepth) {
    struct Case {
        int depth;
        uint32_t rgb, packed, unpacked;
    } cases[] = {
        {16, 0xFFFFFF, 0xFFFF, 0xFFFFFF}, // full channels come back full, not 248/252
        {16, 0xFF0000, 0xF800, 0xFF0000},   {16, 0x00FF00, 0x07E0, 0x00FF00},
        {16, 0x0000FF, 0x001F, 0x0000FF},   {16, 0x808080, 0x7BEF, 0x7B7D7B}, // 128*31/255 = 15 -> 255/31*15 = 123.4
        {16, 0x070307, 0x0000, 0x000000},                                     // below one step truncates to 0
        {24, 0x123456, 0x123456, 0x123456}, {32, 0xABCDEF, 0xABCDEF, 0xABCDEF},
    };
    for (const auto &c : cases) {
        const PixelLayout layout = PixelLayout::forDepth(c.depth);
        EXPECT_EQ(layout.pack(c.rgb), c.packed) << c.depth << " " << std::hex << c.rgb;
        EXPECT_EQ(layout.unpack(c.packed), c.unpacked) << c.depth << " " << std::hex << c.rgb;
    }
    const PixelLayout rgb565 = PixelLayout::forDepth(16);
    EXPECT_EQ(rgb565.redBits, 5);
    EXPECT_EQ(rgb565.greenBits, 6);
    EXPECT_EQ(rgb565.redShift, 11);
    EXPECT_EQ(rgb565.greenShift, 5);
}

TEST(PixelLayout, FitsMasksItWasNotBuiltFor) {
    // 555 and 444 layouts as image files bring them: the bit lengths decide the split.
    const PixelLayout x555 = PixelLayout::fromMasks(0x7C00, 0x03E0, 0x001F);
    EXPECT_EQ(x555.redShift, 10);
    EXPECT_EQ(x555.greenMax, 31u);
    EXPECT_EQ(x555.pack(0xFFFFFF), 0x7FFFu);
    const PixelLayout none = PixelLayout::fromMasks(0, 0, 0);
    EXPECT_EQ(none.pack(0xFFFFFF), 0u);
    EXPECT_EQ(none.unpack(0xFFFF), 0u);
}

TEST(Surface, StoresPixelsLittleEndianAtEveryDepthAndKeysBlack) {
    for (int depth : {16, 24, 32}) {
        Surface s(3, 2, depth);
        EXPECT_EQ(s.pitch, 3 * depth / 8);
        s.setColour(2, 1, 0xFF8040);
        EXPECT_EQ(s.colour(2, 1), PixelLayout::forDepth(depth).unpack(PixelLayout::forDepth(depth).pack(0xFF8040)));
        EXPECT_EQ(s.pixel(0, 0), 0u);
        s.fillColour(0x0000FF);
        EXPECT_EQ(s.colour(2, 1), 0x0000FFu);
        s.setBlackKey();
        EXPECT_EQ(s.colourKey, 0u);
    }
}

TEST(Gamma, RampsFollowTheChannelValue) {
    DisplayEnvironment env;
    env.want3d = false;
    DisplayDevice device(env);
    device.setGamma(128, 256, 511);
    for (int i : {0, 1, 100, 255}) {
        EXPECT_EQ(device.gammaRamp(0)[i], 128 * i) << i; // red halves
        EXPECT_EQ(device.gammaRamp(1)[i], 256 * i) << i; // green is the identity
        EXPECT_EQ(device.gammaRamp(2)[i], 65280) << i;   // blue is constant
    }
    device.setGamma(0, 300, 257);
    EXPECT_EQ(device.gammaRamp(0)[255], 0);
    EXPECT_EQ(device.gammaRamp(1)[0], 44 * 256);
    EXPECT_EQ(device.gammaRamp(1)[255], 44 * 256 + 211 * 255);
    EXPECT_EQ(device.gammaRamp(2)[255], 256 + 254 * 255);
}

TEST(DeviceCaps, GhostBlendModeTakesTheLastMatchingTest) {
    struct Case {
        uint32_t s, d;
        int mode, pair;
    } cases[] = {
        {0, 0, 0, 0},
        {kBlendZero, kBlendInvSrcColour, 9, 0},
        {kBlendDestColour, kBlendZero | kBlendSrcColour, 5, 5},              // 6 then 5 overrides
        {kBlendZero | kBlendDestColour, kBlendSrcColour | kBlendZero, 7, 7}, // 6, 5, 7
        {kBlendOne | kBlendDestColour, kBlendOne | kBlendZero, 3, 6},        // pair stays from the 6 row
        {~0u, ~0u, 1, 7},
    };
    for (const auto &c : cases) {
        GhostBlend g = ghostBlendFor(c.s, c.d);
        EXPECT_EQ(g.mode, c.mode) << c.s << "/" << c.d;
        EXPECT_EQ(g.pair, c.pair) << c.s << "/" << c.d;
    }
}

Adapter hardwareCard(const std::string &name, bool identifier, uint64_t memory = 64u << 20) {
    return Adapter{name, identifier, true, true, memory, memory, false, false};
}
Adapter softwareCard(const std::string &name) {
    return Adapter{name, false, false, true, 1u << 30, 1u << 30, false, false};
}

struct Fixture {
    std::map<std::string, std::string> state;
    std::unique_ptr<vm::Machine> machine = vm::createMachine();
    std::unique_ptr<DisplayDevice> device;

    explicit Fixture(std::vector<Adapter> adapters, bool blit = false, bool windowed = false,
                     std::vector<int> typed = {}) {
        DisplayEnvironment env;
        env.want3d = false;
        env.adapters = std::move(adapters);
        env.blitFlipMode = blit;
        env.windowMode = windowed;
        env.readState = [this](const std::string &k, const std::string &fallback) {
            auto it = state.find(k);
            return it == state.end() ? fallback : it->second;
        };
        env.writeState = [this](const std::string &k, const std::string &v) { state[k] = v; };
        env.pumpMessages = [typed, n = size_t(0)](bool &) mutable { return n < typed.size() ? typed[n++] : -1; };
        device = std::make_unique<DisplayDevice>(env);
        device->machine = machine.get();
    }
};

TEST(DisplaySetUp, PlacesSurfacesAndPicksTheDeviceKind) {
    struct Case {
        const char *name;
        std::vector<Adapter> adapters;
        bool blit, windowed;
        bool systemMemory, flipChain;
        int replay;
        const char *label;
    } cases[] = {
        {"hardware card, flip chain", {hardwareCard("GPU", false)}, false, false, false, true, 2, "T&L"},
        {"blit flip mode copies", {hardwareCard("GPU", false)}, true, false, false, false, 1, "T&L"},
        {"window mode copies", {hardwareCard("GPU", false)}, false, true, false, false, 1, "T&L"},
        // 640 x 480 x 2 bytes x 3 buffers does not fit in 1 MB: system memory and a software device.
        {"too little memory", {hardwareCard("GPU", false, 1u << 20)}, false, false, true, false, 1, "RGB"},
        {"software rasteriser", {softwareCard("llvmpipe")}, false, false, true, false, 1, "RGB"},
        {"no 3D at all", {Adapter{"plain", false, false, false, 0, 0, false, false}}, false, false, true, false, 1, ""},
    };
    for (const auto &c : cases) {
        Fixture f(c.adapters, c.blit, c.windowed);
        ASSERT_EQ(f.device->createAtStartUp(), 0) << c.name;
        EXPECT_EQ(f.device->systemMemory, c.systemMemory) << c.name;
        EXPECT_EQ(f.device->flipChain, c.flipChain) << c.name;
        EXPECT_EQ(f.device->replayCount, c.replay) << c.name;
        EXPECT_STREQ(deviceLabel(f.device->kind), c.label) << c.name;
        EXPECT_EQ(f.device->backBuffer().width, 640) << c.name;
        EXPECT_EQ(f.device->backBuffer().bitsPerPixel(), 16) << c.name;
        EXPECT_EQ(f.device->backBuffer().colourKey, 0u) << c.name;
    }
}

TEST(DisplaySetUp, SoftwareEmulationAndTheTnLSwitchSelectTheKind) {
    Fixture f({hardwareCard("GPU", false)});
    ASSERT_EQ(f.device->createAtStartUp(), 0);
    f.device->tnlAllowed = false;
    EXPECT_TRUE(f.device->recreate(*f.machine, 640, 480, 16));
    EXPECT_STREQ(deviceLabel(f.device->kind), "HAL");
    EXPECT_TRUE(f.device->hardwareDevice);
    f.device->emulation = true;
    EXPECT_TRUE(f.device->recreate(*f.machine, 640, 480, 16));
    EXPECT_STREQ(deviceLabel(f.device->kind), "RGB");
    EXPECT_TRUE(f.device->systemMemory);
    EXPECT_FALSE(f.device->hardwareDevice);
    EXPECT_EQ(f.machine->errorCode, 0);
}

TEST(DisplaySetUp, ChoosesTheCardByName) {
    struct Case {
        const char *chosen;
        const char *cardName;
        size_t adapterInUse;
    } cases[] = {
        {"", "Second Card", 1}, // empty: the first adapter that has an identifier
        {"Third Card", "Third Card", 2},
        {"third card", "Primary Display Driver", 0}, // exact names only at this step
        {"Nothing Like It", "Primary Display Driver", 0},
        {"Primary Display Driver", "Primary Display Driver", 0},
    };
    for (const auto &c : cases) {
        Fixture f(
            {hardwareCard("Main Card", false), hardwareCard("Second Card", true), hardwareCard("Third Card", true)});
        f.state["BEST3DCARD"] = c.chosen;
        ASSERT_EQ(f.device->createAtStartUp(), 0) << c.chosen;
        EXPECT_EQ(f.device->cardName, c.cardName) << c.chosen;
        EXPECT_EQ(size_t(f.device->adapterInUse), c.adapterInUse) << c.chosen;
    }
}

TEST(CardChoice, RemembersOrAsksOnce) {
    { // a listed card in other letter case: the depth is read, nothing is shown or written
        Fixture f({hardwareCard("Main Card", false), hardwareCard("Second Card", true)});
        f.state = {{"BEST3DCARD", "SECOND CARD"}, {"BEST3DDEPTH", "32"}};
        runCardChoice(*f.device);
        EXPECT_EQ(f.device->depth3d, 32);
        EXPECT_EQ(f.device->screenShown, DisplayDevice::StartScreen::None);
        EXPECT_EQ(f.state.size(), 2u);
    }
    { // "ask" with three cards: keys outside 1..3 are ignored, "2" picks the second
        Fixture f({hardwareCard("A", false), hardwareCard("B", true), hardwareCard("C", true)}, false, false,
                  {'4', '0', 'x', '2', ' '});
        f.state["BEST3DCARD"] = "Ask";
        runCardChoice(*f.device);
        EXPECT_EQ(f.state["BEST3DCARD"], "B");
        EXPECT_EQ(f.state["BEST3DDEPTH"], "16");
        EXPECT_TRUE(f.device->probe.supported3d);
        EXPECT_EQ(f.device->screenShown, DisplayDevice::StartScreen::Capabilities);
        const auto lines = f.device->startScreenLines();
        EXPECT_EQ(lines.front(), "B");
        EXPECT_EQ(lines[1], "Supports 3D at 640x480x16: Yes");
        EXPECT_EQ(lines.back(), "PRESS ANY KEY");
    }
    { // "ask" with one software card: no choice screen, the probe finds no hardware device
        Fixture f({softwareCard("llvmpipe")});
        f.state["BEST3DCARD"] = "ask";
        f.state["BEST3DDEPTH"] = "24";
        runCardChoice(*f.device);
        EXPECT_EQ(f.state["BEST3DCARD"], "llvmpipe");
        EXPECT_EQ(f.state["BEST3DDEPTH"], "16");
        EXPECT_EQ(f.device->depth3d, 16);
        const auto lines = f.device->startScreenLines();
        EXPECT_EQ(lines[1], "Supports 3D at 640x480x16: No");
        EXPECT_EQ(lines[5], "YOUR GRAPHICS CARD IS NOT");
        EXPECT_EQ(lines[6], "RECOMMENDED FOR HIGH-CONTENT 3D");
    }
}

TEST(CardChoice, ARememberedDepthOutsideTheModesStartsAt16) {
    for (const char *text : {"15", "99", "abc", ""}) {
        Fixture f({hardwareCard("Main Card", false)});
        f.state = {{"BEST3DCARD", "Main Card"}, {"BEST3DDEPTH", text}};
        ASSERT_EQ(f.device->createAtStartUp(), 0) << text;
        EXPECT_EQ(f.device->requestedDepth, 16) << text;
    }
}

TEST(Recreate, ARefusedModeBringsThePreviousOneBack) {
    Fixture f({hardwareCard("GPU", false)});
    ASSERT_EQ(f.device->createAtStartUp(), 0);
    int released = 0;
    f.device->onRelease.push_back([&] { ++released; });
    EXPECT_TRUE(f.device->recreate(*f.machine, 800, 600, 32));
    EXPECT_EQ(f.device->backBuffer().width, 800);
    EXPECT_EQ(f.device->backBuffer().bitsPerPixel(), 32);
    EXPECT_EQ(f.device->requestedDepth, 32);

    f.device->screenInvalid = false;
    EXPECT_FALSE(f.device->recreate(*f.machine, 801, 600, 16));
    EXPECT_EQ(f.machine->errorCode, 1503);
    EXPECT_EQ(f.device->engineDetail, "Could not set a display mode of 801x600x16");
    EXPECT_EQ(released, 2); // the bitmaps are gone either way
    EXPECT_TRUE(f.device->screenInvalid);
    EXPECT_EQ(f.device->requestedWidth, 800);
    EXPECT_EQ(f.device->backBuffer().width, 800); // the previous mode works again
    EXPECT_EQ(f.device->backBuffer().bitsPerPixel(), 32);
}

TEST(Recreate, AWindowTakesAnySizeUpToTheLargestSurface) {
    Fixture f({hardwareCard("GPU", false)}, false, true);
    ASSERT_EQ(f.device->createAtStartUp(), 0);
    EXPECT_TRUE(f.device->recreate(*f.machine, 333, 77, 24));
    EXPECT_EQ(f.device->backBuffer().width, 333);
    EXPECT_FALSE(f.device->recreate(*f.machine, 100000, 100000, 16));
    EXPECT_EQ(f.machine->errorCode, 1503);
    EXPECT_EQ(f.device->backBuffer().width, 333);
    EXPECT_EQ(f.device->backBuffer().height, 77);
}

TEST(Presentation, FlipChainTogglesPagesAndCopyKeepsTheBackBuffer) {
    Fixture flip({hardwareCard("GPU", false)});
    ASSERT_EQ(flip.device->createAtStartUp(), 0);
    EXPECT_EQ(flip.device->page, 0); // two presents at set-up
    flip.device->backBuffer().fillColour(0xFF0000);
    flip.device->present();
    EXPECT_EQ(flip.device->page, 1);
    EXPECT_EQ(flip.device->primarySurface().colour(0, 0), 0xFF0000u);
    EXPECT_EQ(flip.device->backBuffer().colour(0, 0), 0u); // the other page, not yet drawn on

    Fixture copy({hardwareCard("GPU", false)}, true);
    ASSERT_EQ(copy.device->createAtStartUp(), 0);
    copy.device->backBuffer().fillColour(0x00FF00);
    copy.device->present();
    EXPECT_EQ(copy.device->page, 0);
    EXPECT_EQ(copy.device->primarySurface().colour(5, 5), 0x00FF00u);
    EXPECT_EQ(copy.device->backBuffer().colour(5, 5), 0x00FF00u);
}

TEST(Presentation, UnseenPresentationsCatchUpWhenThePrimaryIsRead) {
    // Nobody looks at the presented pictures: presentations leave the copy, and the primary is
    // brought up to date, with every row written in between, before it is read.
    Fixture f({hardwareCard("GPU", false)}, true);
    ASSERT_EQ(f.device->createAtStartUp(), 0);
    Surface &back = f.device->backBuffer();
    const Surface &primary = f.device->primarySurface();
    f.device->primaryShown = false;
    back.setColour(3, 7, 0xFF0000);
    f.device->present();
    back.setColour(4, 200, 0x00FF00);
    f.device->present();
    EXPECT_EQ(primary.colour(3, 7), 0u) << "copied although nobody looks";
    f.device->bringPrimaryUpToDate();
    EXPECT_EQ(primary.colour(3, 7), 0xFF0000u);
    EXPECT_EQ(primary.colour(4, 200), 0x00FF00u);
    EXPECT_EQ(primary.pixels, back.pixels);
    // Shown again: each presentation copies at once.
    f.device->primaryShown = true;
    back.setColour(3, 7, 0);
    f.device->present();
    EXPECT_EQ(primary.colour(3, 7), 0u);
    EXPECT_EQ(primary.pixels, back.pixels);
}

TEST(Presentation, CopyModeKeepsThePrimaryEqualToTheBackBufferRowByRow) {
    // Presentation copies only rows written since the last copy: every change must still arrive,
    // including rows going back to black and a clear after a blank screen.
    Fixture f({hardwareCard("GPU", false)}, true);
    ASSERT_EQ(f.device->createAtStartUp(), 0);
    Surface &back = f.device->backBuffer();
    const Surface &primary = f.device->primarySurface();
    auto samePictures = [&] { return primary.pixels == back.pixels; };
    back.setColour(3, 7, 0xFF0000);
    f.device->present();
    EXPECT_EQ(primary.colour(3, 7), 0xFF0000u);
    EXPECT_TRUE(samePictures());
    back.setColour(3, 7, 0);
    back.setColour(4, 9, 0x00FF00);
    f.device->present();
    EXPECT_EQ(primary.colour(3, 7), 0u);
    EXPECT_EQ(primary.colour(4, 9), 0x00FF00u);
    EXPECT_TRUE(samePictures());
    back.fillColour(0);
    f.device->present();
    EXPECT_TRUE(samePictures());
    back.fillColour(0x0000FF);
    f.device->present();
    back.fillColour(0);
    f.device->present();
    EXPECT_EQ(primary.colour(639, 479), 0u);
    EXPECT_TRUE(samePictures());
}

TEST(Presentation, WindowModeCentresThePictureWithBlackBorders) {
    Fixture f({hardwareCard("GPU", false)}, false, true);
    ASSERT_EQ(f.device->createAtStartUp(), 0);
    ASSERT_TRUE(f.device->recreate(*f.machine, 320, 240, 16));
    f.device->backBuffer().fillColour(0xFFFFFF);
    f.device->present();
    EXPECT_EQ(f.device->presentOriginX, 160);
    EXPECT_EQ(f.device->presentOriginY, 120);
    std::vector<uint32_t> frame(640 * 480);
    f.device->composeFrame(frame.data(), 640, 480);
    EXPECT_EQ(frame[120 * 640 + 160], 0xFFFFFFu);
    EXPECT_EQ(frame[359 * 640 + 479], 0xFFFFFFu);
    EXPECT_EQ(frame[119 * 640 + 160], 0u);
    EXPECT_EQ(frame[120 * 640 + 159], 0u);
    EXPECT_EQ(frame[360 * 640 + 480], 0u);

    // Full screen scales the picture to the whole frame, the aspect kept.
    Fixture full({hardwareCard("GPU", false)});
    ASSERT_EQ(full.device->createAtStartUp(), 0);
    ASSERT_TRUE(full.device->recreate(*full.machine, 1280, 1024, 16));
    full.device->backBuffer().fillColour(0xFFFFFF);
    full.device->present();
    full.device->composeFrame(frame.data(), 640, 480);
    EXPECT_EQ(frame[0], 0u); // 1280 x 1024 is 600 x 480 here: borders left and right
    EXPECT_EQ(frame[240 * 640 + 20], 0xFFFFFFu);
    EXPECT_EQ(frame[240 * 640 + 619], 0xFFFFFFu);
    EXPECT_EQ(frame[240 * 640 + 620], 0u);
}

TEST(Presentation, ComposedFrameFollowsEveryChangeOfItsInputs) {
    // Composing again with unchanged inputs keeps the output: what changes must still show.
    Fixture f({hardwareCard("GPU", false)});
    Fixture other({hardwareCard("GPU", false)});
    ASSERT_EQ(f.device->createAtStartUp(), 0);
    ASSERT_EQ(other.device->createAtStartUp(), 0);
    std::vector<uint32_t> frame(640 * 480, 0x123456);
    f.device->backBuffer().fillColour(0xFFFFFF);
    f.device->present();
    f.device->composeFrame(frame.data(), 640, 480);
    EXPECT_EQ(frame[0], 0xFFFFFFu);
    f.device->composeFrame(frame.data(), 640, 480);
    EXPECT_EQ(frame[0], 0xFFFFFFu);

    f.device->backBuffer().setColour(10, 10, 0xFF0000);
    f.device->present();
    f.device->composeFrame(frame.data(), 640, 480);
    EXPECT_EQ(frame[10 * 640 + 10], 0xFF0000u) << "a changed pixel";

    f.device->setGamma(128, 128, 128);
    f.device->composeFrame(frame.data(), 640, 480);
    EXPECT_NE(frame[0], 0xFFFFFFu) << "a changed gamma ramp";
    const uint32_t dimmed = frame[0];

    other.device->backBuffer().fillColour(0x0000FF);
    other.device->present();
    other.device->composeFrame(frame.data(), 640, 480);
    EXPECT_EQ(frame[0], 0x0000FFu);
    f.device->composeFrame(frame.data(), 640, 480);
    EXPECT_EQ(frame[0], dimmed) << "another device composed into the same output in between";

    std::vector<uint32_t> elsewhere(640 * 480, 0x123456);
    f.device->composeFrame(elsewhere.data(), 640, 480);
    EXPECT_EQ(elsewhere[0], dimmed) << "another output";
}

TEST(Presentation, ClearingTheDepthBufferUndoesWhatWasDrawnIntoIt) {
    Fixture f({hardwareCard("GPU", false)});
    ASSERT_EQ(f.device->createAtStartUp(), 0);
    f.device->clearDepthBuffer();
    f.device->depthBufferToDraw()[7] = 0.25f;
    f.device->clearDepthBuffer();
    EXPECT_EQ(f.device->depthBuffer()[7], 1.0f);
    f.device->clearDepthBuffer();
    EXPECT_EQ(f.device->depthBuffer()[7], 1.0f);
    f.device->depthBufferToDraw()[7] = 0.5f;
    f.device->preFrame(*f.machine);
    EXPECT_EQ(f.device->depthBuffer()[7], 1.0f) << "the frame cycle clears it";
}

} // namespace
} // namespace display

namespace display {
namespace {

TEST(FrameCycle, RunsTheStepsInTheirOrderAndMoves3DAfter2DOnRequest) {
    Fixture f({hardwareCard("GPU", false)});
    ASSERT_EQ(f.device->createAtStartUp(), 0);
    std::string order;
    const std::pair<FrameStep, char> steps[] = {
        {FrameStep::UpdatePointer, 'p'},   {FrameStep::RestoreSpriteBackgrounds, 'r'},
        {FrameStep::Backdrop, 'b'},        {FrameStep::Render3D, '3'},
        {FrameStep::DrawQueue, 'q'},       {FrameStep::DeferredDeletions, 'd'},
        {FrameStep::Animations, 'a'},      {FrameStep::SaveSpriteBackgrounds, 's'},
        {FrameStep::Render3DAfter2D, 'L'}, {FrameStep::DrawSprites, 'S'},
        {FrameStep::SoundUpdate, 'm'},     {FrameStep::Animate3D, 'A'},
        {FrameStep::ScreenSave, 'v'},
    };
    for (auto [step, letter] : steps)
        f.device->addFrameStep(step, [&order, c = letter] { order += c; });
    const int pageBefore = f.device->page;
    f.device->preFrame(*f.machine);
    f.device->postFrame(*f.machine);
    EXPECT_EQ(order, "prb3qdasSmAv");
    EXPECT_EQ(f.device->page, 1 - pageBefore); // presented between the 3D animation and the screen save

    order.clear();
    f.device->draw3dAfter2d = true;
    f.device->preFrame(*f.machine);
    f.device->postFrame(*f.machine);
    EXPECT_EQ(order, "prbqdasLSmAv");

    // An inactive display skips everything but the deferred deletions, and presents nothing.
    order.clear();
    f.machine->windowActive = false;
    f.device->setActive(false);
    const int frames = f.device->frameCounter;
    f.device->preFrame(*f.machine);
    f.device->postFrame(*f.machine);
    EXPECT_EQ(order, "d");
    EXPECT_EQ(f.device->frameCounter, frames);
    EXPECT_TRUE(f.device->screenInvalid);
}

TEST(Window, FramedAndFullScreenLayouts) {
    Fixture f({hardwareCard("GPU", false)});
    ASSERT_EQ(f.device->createAtStartUp(), 0);
    f.device->setFramedLayout();
    const WindowLayout &framed = f.device->layout();
    EXPECT_TRUE(framed.windowMode);
    EXPECT_FALSE(framed.borderPainting);
    EXPECT_EQ(framed.title, "");
    // The 640 x 480 client area starts at (4, 23) on the desktop; the window itself at (0, 0).
    EXPECT_EQ(framed.outer(), (WindowLayout::Rect{0, 0, 648, 507}));
    f.device->setFullScreenLayout();
    EXPECT_EQ(f.device->layout().title, "Zorvane");
    EXPECT_EQ(f.device->layout().outer(), (WindowLayout::Rect{0, 0, 640, 480}));
}

} // namespace
} // namespace display
