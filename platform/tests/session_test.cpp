// Headless input scripts, the virtual clock, and recording then replaying a run.
#include <gtest/gtest.h>

#include <vector>

#include "platform/files.h"
#include "platform/headless/input_script.h"
#include "platform/platform.h"
#include "platform/tests/temp_folder.h"

namespace platform {
namespace {

using testing::TempFolder;

std::unique_ptr<Platform> make(PlatformOptions options) {
    options.headless = true;
    std::string error;
    auto p = createPlatform(options, error);
    EXPECT_TRUE(p) << error;
    return p;
}

// Runs frames like the host does: take every waiting event, then present a frame.
std::vector<std::string> drive(Platform &p, int frames, std::vector<uint32_t> *clocks = nullptr) {
    std::vector<std::string> log;
    std::vector<uint32_t> black(kScreenWidth * kScreenHeight);
    for (int f = 0; f < frames; ++f) {
        Event e;
        while (p.pollEvent(e))
            log.push_back(std::to_string(p.framesPresented()) + " " + eventTypeName(e.type) + " " +
                          std::to_string(e.a) + " " + std::to_string(e.b));
        p.addInstructions(12345);
        if (clocks)
            clocks->push_back(p.millis());
        p.waitUntil(p.millis() + 25);
        p.present(black.data());
    }
    return log;
}

TEST(HeadlessInput, ScriptEventsArriveAtTheirFrameInOrder) {
    TempFolder dir;
    PlatformOptions o;
    o.inputScript = dir.write("in.txt", "# a remark\n"
                                        "frame 2 key 28\n"
                                        "frame 1 keydown 57\r\n"
                                        "frame 2 text Hi\n"
                                        "\n"
                                        "frame 3 mousemove 100 200\n"
                                        "frame 3 click 2\n"
                                        "frame 4 quit\n");
    auto p = make(o);
    auto log = drive(*p, 5);
    std::vector<std::string> expected = {
        "1 keydown 57 0",      "2 keydown 28 0",  "2 keyup 28 0",  "2 char 72 0", "3 char 105 0",
        "3 mousemove 100 200", "3 mousedown 2 0", "3 mouseup 2 0", "4 quit 0 0",
    };
    EXPECT_EQ(log, expected);
    EXPECT_TRUE(p->keyDown(57)); // still held: no keyup in the script
    EXPECT_FALSE(p->keyDown(28));
    EXPECT_EQ(p->mouseX(), 100);
    EXPECT_EQ(p->mouseY(), 200);
    EXPECT_EQ(p->mouseButtons(), 0);
}

TEST(HeadlessInput, BadScriptLinesAreReportedWithFileAndLine) {
    struct Case {
        const char *line;
        const char *message;
    } cases[] = {
        {"frame x keydown 1", "expected 'frame N <event>'"},
        {"frame 1 keydown 300", "scan code"},
        {"frame 1 keydown", "scan code"},
        {"frame 1 jump 3", "unknown event 'jump'"},
        {"frame 1 mousedown 9", "button"},
        {"frame 1 char abc", "not a number"},
        {"frame 1", "missing event"},
    };
    for (const auto &c : cases) {
        std::vector<headless::ScriptEvent> events;
        std::string error;
        EXPECT_FALSE(headless::parseInputScript(std::string("frame 0 key 1\n") + c.line, "in.txt", events, error));
        EXPECT_NE(error.find("in.txt:2: "), std::string::npos) << error;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.line << " -> " << error;
    }
}

TEST(HeadlessClock, VirtualTimeFollowsInstructionsAndPacingNotTheWallClock) {
    auto a = make({});
    auto b = make({});
    std::vector<uint32_t> first, second;
    drive(*a, 40, &first);
    drive(*b, 40, &second);
    EXPECT_EQ(first, second);
    // Each frame: 12345 instructions (1.2 ms) then pacing to 25 ms after the reading.
    EXPECT_GE(first.back() - first.front(), 39u * 25);
    EXPECT_LE(first.back() - first.front(), 39u * 27);
}

TEST(RecordReplay, AReplayRepeatsEventsAndClockReadingsExactly) {
    TempFolder dir;
    PlatformOptions live;
    live.realtime = true; // a wall-clock run: only the recording can repeat it
    live.inputScript = dir.write("in.txt", "frame 1 keydown 30\nframe 2 char 97\nframe 2 keyup 30\nframe 3 wheel -2\n");
    live.recordFile = dir.file("run.rec");
    std::vector<uint32_t> liveClocks, replayClocks;
    std::vector<std::string> liveEvents;
    {
        auto p = make(live);
        liveEvents = drive(*p, 4, &liveClocks);
    }
    std::string recording;
    ASSERT_TRUE(readFile(dir.file("run.rec"), recording));
    EXPECT_EQ(recording.rfind("zorvane-recording 1\n", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.file("run.rec.zvtmp")));

    PlatformOptions replay;
    replay.replayFile = dir.file("run.rec"); // no input script: the events come from the recording
    auto p = make(replay);
    EXPECT_EQ(drive(*p, 4, &replayClocks), liveEvents);
    EXPECT_EQ(replayClocks, liveClocks);
    EXPECT_EQ(liveEvents.size(), 4u);
}

TEST(RecordReplay, MalformedRecordingsAreRefused) {
    TempFolder dir;
    for (const char *text :
         {"", "not a recording\n", "zorvane-recording 1\nc abc 1\n", "zorvane-recording 1\ne keydown 999 0\n",
          "zorvane-recording 1\ne fly 1 2\n", "zorvane-recording 1\nx 1\n"}) {
        PlatformOptions o;
        o.headless = true;
        o.replayFile = dir.write("bad.rec", text);
        std::string error;
        EXPECT_FALSE(createPlatform(o, error)) << text;
        EXPECT_NE(error.find("bad.rec"), std::string::npos) << error;
    }
}

TEST(HeadlessFrames, DumpedFramesArePngFilesNumberedFromOne) {
    TempFolder dir;
    PlatformOptions o;
    o.dumpFramesDir = dir.file("frames/sub");
    auto p = make(o);
    drive(*p, 2);
    std::string png;
    ASSERT_TRUE(readFile(dir.file("frames/sub/frame-000002.png"), png));
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_FALSE(std::filesystem::exists(dir.file("frames/sub/frame-000000.png")));
}

TEST(Session, FocusLossReleasesHeldKeys) {
    TempFolder dir;
    PlatformOptions o;
    o.inputScript = dir.write("in.txt", "frame 0 keydown 42\nframe 0 mousedown 1\nframe 1 focuslost\n");
    auto p = make(o);
    drive(*p, 1);
    EXPECT_TRUE(p->keyDown(42));
    EXPECT_EQ(p->mouseButtons(), 1);
    drive(*p, 1);
    EXPECT_FALSE(p->keyDown(42));
    EXPECT_EQ(p->mouseButtons(), 0);
    EXPECT_FALSE(p->keyDown(-1));
    EXPECT_FALSE(p->keyDown(256));
}

} // namespace
} // namespace platform
