// Programs run headless through the host with the display attached: refresh modes and slices, the
// numbered errors of the mode, card and gamma commands, the screen queries, golden frames and the
// same frames from run to run.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "display/host_hookup.h"
#include "display/query_output.h"
#include "host/tests/host_fixture.h"

namespace display {
namespace {

uint64_t frameHash(const std::vector<uint32_t> &pixels) {
    uint64_t h = 1469598103934665603ull; // FNV-1a over the 0x00RRGGBB words, low byte first
    for (uint32_t p : pixels)
        for (int k = 0; k < 4; ++k)
            h = (h ^ ((p >> (8 * k)) & 0xFF)) * 1099511628211ull;
    return h;
}

class DisplayProgram : public host::testing::HostTest {
  protected:
    struct Outcome {
        host::RunResult result;
        std::vector<uint64_t> frames; // hash of every presented frame, in order
        std::shared_ptr<DisplayDevice> device;
        std::string console;
    };

    Outcome runProgram(const std::string &source, HookupOptions options = {}, uint64_t maxFrames = 200) {
        options.want3d = false; // the 3D device is tested on its own; these runs stay fast
        host::Host host(paths(), headless("", maxFrames));
        Outcome out;
        attachDisplay(host, options, &out.device);
        host.hooks().frameEnd.push_back([&out](host::Host &h) { out.frames.push_back(frameHash(h.frameBuffer())); });
        out.result = run(host, compile(source));
        out.console = console();
        return out;
    }

    void writeSettings(const std::string &lines) { dir.write("bin/SETUP.INI", "[SETTINGS]\r\n" + lines); }
};

HookupOptions twoDOnly() {
    HookupOptions options;
    options.want3d = false;
    return options;
}

Adapter hardwareCard() {
    return Adapter{"Test GPU", false, true, true, 64u << 20, 32u << 20, false, false};
}

TEST_F(DisplayProgram, BadInputGivesTheNumberedErrorAndChangesNothing) {
    struct Case {
        const char *line;
        int error;
    } cases[] = {
        {"set frame rate -1", 112},
        {"set frame rate 1001", 112},
        {"set display mode 800,600,15", 1502},
        {"set display mode 800,600,8", 1502},
        {"set display mode 0,600,16", 1501},
        {"set display mode 800,-1,16", 1501},
        {"set display mode 801,600,16", 1503},
        {"a = check display mode(640,480,8)", 1502},
        {"a = check display mode(640,0,16)", 1501},
        {"set gamma 512,256,256", 1014},
        {"set gamma 256,-1,256", 1014},
        {"set display card \"No Such Card\"", 9011},
    };
    for (const auto &c : cases) {
        const std::string program = std::string(c.line) + "\r\nprint \"not reached\"\r\n";
        Outcome out = runProgram(program);
        EXPECT_EQ(out.result.errorCode, c.error) << c.line;
        EXPECT_FALSE(out.result.message.empty()) << c.line;
        EXPECT_EQ(out.console, "") << c.line;
        ASSERT_TRUE(out.device) << c.line;
        EXPECT_EQ(out.device->requestedWidth, 640) << c.line;
        EXPECT_EQ(out.device->requestedDepth, 16) << c.line;
        EXPECT_EQ(out.device->screenWidth, 640) << c.line;
        EXPECT_EQ(out.device->gammaRamp(1)[255], 255 * 256) << c.line;
    }
}

TEST_F(DisplayProgram, FrameRateSetsTheIntervalAndFpsFollowsIt) {
    // 50 frames a second is 20 ms a frame on the run's own clock; 3 seconds of frames measure it.
    Outcome out = runProgram(
        "set frame rate 50\r\nmanual refresh\r\nfor i = 1 to 150\r\nrefresh\r\nnext i\r\nprint screen fps()\r\n", {},
        400);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    const int fps = std::stoi(out.console);
    EXPECT_GE(fps, 45);
    EXPECT_LE(fps, 50);

    struct Case {
        const char *rate;
        int interval;
    } cases[] = {{"0", 0}, {"1000", 1}, {"3", 333}, {"40", 25}};
    for (const auto &c : cases) {
        host::Host host(paths(), headless("", 5));
        int seen = -1;
        attachDisplay(host, twoDOnly());
        host.hooks().frameEnd.push_back([&seen](host::Host &h) { seen = h.machine().frameIntervalMs; });
        run(host, compile(std::string("set frame rate ") + c.rate + "\r\ndo\r\nrefresh\r\nloop\r\n"));
        EXPECT_EQ(seen, c.interval) << c.rate;
    }
}

TEST_F(DisplayProgram, ManualRefreshRunsALoopInOneSliceAutomaticYieldsFrames) {
    const std::string loop = "for i = 1 to 3000000\r\na = a + 1\r\nnext i\r\nprint a\r\n";
    Outcome automatic = runProgram(loop, {}, 5000);
    Outcome manual = runProgram("manual refresh\r\n" + loop, {}, 5000);
    ASSERT_EQ(automatic.console, "3000000\n");
    ASSERT_EQ(manual.console, "3000000\n");
    EXPECT_GT(automatic.frames.size(), 10u); // a frame every 33 ms of the run's clock
    EXPECT_LE(manual.frames.size(), 3u);     // the refresh-less loop never yields

    // Each refresh in manual mode is one frame; switching back to automatic ends the slice too.
    Outcome counted =
        runProgram("manual refresh\r\nfor i = 1 to 20\r\nrefresh\r\nnext i\r\nautomatic refresh\r\nend\r\n");
    // The first slice after the reset runs nothing, then: manual refresh, 20 refreshes, automatic
    // refresh, and the frame in which the program ends.
    EXPECT_EQ(counted.frames.size(), 24u);
}

TEST_F(DisplayProgram, ScreenQueriesReportTheModeCardAndInvalidation) {
    HookupOptions options;
    options.adapters = {hardwareCard()};
    Outcome out = runProgram("print screen invalid()\r\n"
                             "set display mode 800,600,32\r\n"
                             "print screen width();\" \";screen height();\" \";screen depth();\" \";screen type()\r\n"
                             "print screen invalid()\r\nprint screen invalid()\r\n"
                             "print display card$();\"/\";hardware transform();\"/\";software 3d()\r\n"
                             "software 3d on\r\nprint software 3d();\" \";hardware transform();\" \";screen type()\r\n"
                             "print texture memory();\" \";video memory()\r\n"
                             "list display modes\r\n",
                             options);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    EXPECT_EQ(out.console, "0\n800 600 32 1\n1\n0\nPrimary Display Driver/1/0\n1 0 0\n" + std::to_string(64 << 20) +
                               " " + std::to_string(32 << 20) + "\n");
}

TEST_F(DisplayProgram, ModeListHoldsNoModeBelow16Bits) {
    HookupOptions options;
    options.modes = {{640, 480, 8}, {640, 480, 15}, {640, 480, 16}, {1024, 768, 32}};
    host::Host host(paths(), headless("", 20));
    std::vector<std::string> texts;
    attachDisplay(host, options);
    host.hooks().frameEnd.push_back([&texts](host::Host &h) {
        texts.clear();
        for (const auto &e : lastQueryResult(h.machine()).entries)
            texts.push_back(e.text);
    });
    run(host, compile("list display modes\r\nrefresh\r\na = check display mode(640,480,16)\r\n"
                      "b = check display mode(800,600,16)\r\nprint a;b\r\n"));
    EXPECT_EQ(texts, (std::vector<std::string>{"640x480x16", "1024x768x32"}));
    EXPECT_EQ(console(), "10\n");
}

TEST_F(DisplayProgram, FlipChainReplaysOnTwoPagesAndCopyOnOne) {
    for (bool blit : {false, true}) {
        writeSettings(blit ? "BLITFLIPMODE=1\r\n" : "BLITFLIPMODE=0\r\n");
        HookupOptions options;
        options.adapters = {hardwareCard()};
        Outcome out = runProgram("for i = 1 to 7\r\nrefresh\r\nnext i\r\nend\r\n", options);
        ASSERT_TRUE(out.device);
        EXPECT_EQ(out.device->replayCount, blit ? 1 : 2);
        EXPECT_EQ(out.device->flipChain, !blit);
        // Every presented frame toggles the page of a flip chain: two at set-up, one per frame.
        EXPECT_EQ(out.device->page, blit ? 0 : int((out.device->frameCounter) % 2));
        EXPECT_EQ(out.device->frameCounter, int(out.frames.size()) + 2);
    }
}

// Golden frames: tests/golden/display_frames.txt holds "name frame hash" lines; run with
// ZV_UPDATE_GOLDEN=1 to write them anew after a deliberate change.
std::map<std::string, std::string> readGoldens(const std::string &path) {
    std::map<std::string, std::string> out;
    std::ifstream in(path);
    std::string name, hash;
    while (in >> name >> hash)
        out[name] = hash;
    return out;
}

TEST_F(DisplayProgram, FramesMatchTheGoldensAndRepeatFromRunToRun) {
    struct Case {
        const char *name;
        const char *settings;
        const char *program;
    } cases[] = {
        {"black", "", "refresh\r\nrefresh\r\nend\r\n"},
        {"windowed-320x240-red-gamma", "WINDOWMODE=1\r\n",
         "set display mode 320,240,16\r\nset gamma 511,256,256\r\nrefresh\r\nrefresh\r\nend\r\n"},
        {"fullscreen-320x200-blue-gamma", "",
         "set display mode 320,200,32\r\nset gamma 256,256,400\r\nrefresh\r\nend\r\n"},
    };
    const std::string goldenPath = std::string(ZV_SOURCE_DIR) + "/tests/golden/display_frames.txt";
    auto goldens = readGoldens(goldenPath);
    const bool update = std::getenv("ZV_UPDATE_GOLDEN") != nullptr;
    for (const auto &c : cases) {
        writeSettings(c.settings);
        Outcome first = runProgram(c.program);
        Outcome second = runProgram(c.program);
        ASSERT_EQ(first.result.errorCode, 0) << c.name << ": " << first.result.message;
        ASSERT_FALSE(first.frames.empty()) << c.name;
        EXPECT_EQ(first.frames, second.frames) << c.name;
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(first.frames.back()));
        if (update)
            goldens[c.name] = hex;
        else
            EXPECT_EQ(goldens[c.name], hex) << c.name << " (ZV_UPDATE_GOLDEN=1 rewrites " << goldenPath << ")";
    }
    if (update) {
        std::ofstream out(goldenPath + ".tmp");
        for (const auto &[name, hash] : goldens)
            out << name << " " << hash << "\n";
        out.close();
        std::rename((goldenPath + ".tmp").c_str(), goldenPath.c_str());
    }
}

TEST_F(DisplayProgram, GammaAndPlacementShowInTheFrame) {
    writeSettings("WINDOWMODE=1\r\n");
    host::Host host(paths(), headless("", 20));
    std::vector<uint32_t> frame;
    attachDisplay(host, twoDOnly());
    host.hooks().frameEnd.push_back([&frame](host::Host &h) { frame = h.frameBuffer(); });
    run(host, compile("set display mode 320,240,16\r\nset gamma 511,256,256\r\nrefresh\r\nend\r\n"));
    ASSERT_EQ(frame.size(), 640u * 480u);
    EXPECT_EQ(frame[120 * 640 + 160], 0xFF0000u); // black with the red ramp at full: red
    EXPECT_EQ(frame[359 * 640 + 479], 0xFF0000u);
    EXPECT_EQ(frame[119 * 640 + 160], 0u); // the border stays black
    EXPECT_EQ(frame[240 * 640 + 100], 0u);
}

} // namespace
} // namespace display

namespace display {
namespace {

TEST_F(DisplayProgram, LosingFocusInFullScreenPausesTheProgramAndInvalidatesTheScreen) {
    const std::string program =
        "manual refresh\r\nfor i = 1 to 10\r\nrefresh\r\nnext i\r\nprint screen invalid()\r\nend\r\n";
    struct Case {
        const char *script;
        const char *printed;
        size_t frames; // see ManualRefresh...: 1 + 1 + 10 + 1, plus the frames spent inactive
    } cases[] = {
        {"", "0\n", 13},
        {"frame 4 focuslost\r\nframe 9 focusgained\r\n", "1\n", 18},
    };
    for (const auto &c : cases) {
        host::Host host(paths(), headless(c.script, 100));
        size_t frames = 0;
        attachDisplay(host, twoDOnly());
        host.hooks().frameEnd.push_back([&frames](host::Host &) { ++frames; });
        host::RunResult r = run(host, compile(program));
        EXPECT_EQ(r.errorCode, 0) << c.script;
        EXPECT_EQ(console(), c.printed) << c.script;
        EXPECT_EQ(frames, c.frames) << c.script;
    }
}

TEST_F(DisplayProgram, AStartUpModeTheDisplayRefusesIsSystemError10004WithTheEngineDetail) {
    HookupOptions options = twoDOnly();
    options.modes = {{800, 600, 16}};
    host::Host host(paths(), headless());
    attachDisplay(host, options);
    host::RunResult r = run(host, compile("print \"never\"\r\n"));
    EXPECT_EQ(r.errorCode, 10004);
    EXPECT_NE(r.message.find("Could not set a display mode of 640x480x16"), std::string::npos) << r.message;
    EXPECT_EQ(console(), "");
}

TEST_F(DisplayProgram, TheThreeDDeviceIsWhatTheMachineReallyHas) {
    host::Host host(paths(), headless("", 20));
    std::shared_ptr<DisplayDevice> device;
    std::string label;
    bool systemMemory = false, flipChain = true;
    attachDisplay(host, HookupOptions{}, &device);
    host.hooks().frameEnd.push_back([&](host::Host &) {
        label = deviceLabel(device->kind);
        systemMemory = device->systemMemory;
        flipChain = device->flipChain;
    });
    run(host, compile("print alpha blending available();texture filtering available();fog available();"
                      "display created()\r\nprint hardware transform()\r\nend\r\n"));
    ASSERT_TRUE(device);
    if (device->adapters()[0].description == "Primary Display Driver")
        GTEST_SKIP() << "no OpenGL context on this machine: " << device->engineDetail;
    const Adapter &card = device->adapters()[0];
    EXPECT_TRUE(card.has3d);
    EXPECT_EQ(console(), "1111\n" + std::string(card.hardware ? "1" : "0") + "\n");
    // A software rasteriser gives the software device kind and system-memory buffers.
    if (!card.hardware) {
        EXPECT_EQ(label, "RGB");
        EXPECT_TRUE(systemMemory);
        EXPECT_FALSE(flipChain);
    } else {
        EXPECT_TRUE(label == "T&L" || label == "HAL") << label;
    }
}

} // namespace
} // namespace display

namespace display {
namespace {

TEST_F(DisplayProgram, WindowCommandsChangeTheLayoutAndTheCooperation) {
    struct Case {
        const char *program;
        bool exclusive, windowMode;
        int border, caption, x, y, show;
        const char *title;
    } cases[] = {
        {"window mode\r\n", false, true, 8, 19, 4, 23, 10, ""},
        {"window mode\r\nset window layout 0,0,0\r\nset window position 100,50\r\nset window title \"Game\"\r\n", false,
         true, 0, 0, 100, 50, 10, "Game"},
        {"window mode\r\nset window layout 0,1,1\r\nminimize window\r\n", false, true, 8, 19, 4, 23, 6, ""},
        {"window mode\r\nfullscreen mode\r\nhide window\r\n", true, false, 0, 0, 0, 0, 0, "Zorvane"},
    };
    for (const auto &c : cases) {
        Outcome out = runProgram(std::string(c.program) + "print screen invalid()\r\nend\r\n");
        ASSERT_EQ(out.result.errorCode, 0) << c.program << out.result.message;
        EXPECT_EQ(out.console, "1\n") << c.program; // every switch re-creates the display
        const WindowLayout &l = out.device->layout();
        EXPECT_EQ(out.device->exclusive, c.exclusive) << c.program;
        EXPECT_EQ(l.windowMode, c.windowMode) << c.program;
        EXPECT_EQ(l.border, c.border) << c.program;
        EXPECT_EQ(l.caption, c.caption) << c.program;
        EXPECT_EQ(l.x, c.x) << c.program;
        EXPECT_EQ(l.y, c.y) << c.program;
        EXPECT_EQ(l.showCommand, c.show) << c.program;
        EXPECT_EQ(l.title, c.title) << c.program;
    }
}

} // namespace
} // namespace display
