// Start-up and shutdown order, error reports, and the window procedure of a headless run.
#include <gtest/gtest.h>

#include "builder/payload.h"
#include "host/tests/host_fixture.h"
#include "platform/profile.h"
#include "vm/machine.h"

namespace host {
namespace {

using testing::HostTest;

const std::vector<std::string> kStartUp = {
    "keep command line", "register window class", "fix paths",   "read settings", "fill error texts",  "create window",
    "set title",         "read payload",          "start input", "start sound",   "allocate 3d store", "load program",
    "set up display",    "enter run loop",        "run loop",
};
const std::vector<std::string> kShutdownFromStep1 = {
    "release payload",
    "release program resources",
    "unload program",
    "change to run directory",
};
const std::vector<std::string> kShutdownFromStep2 = {
    "release devices", "report", "destroy window", "change to start directory", "free error texts",
};

std::vector<std::string> join(std::vector<std::string> a, const std::vector<std::string> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(HostTest, ANormalRunTakesEveryStepInOrder) {
    Host host(paths(), headless());
    RunResult r = run(host, compile("print \"hi\"\r\nend\r\n"));
    EXPECT_EQ(r.errorCode, 0);
    EXPECT_EQ(r.exitCode(), 0);
    EXPECT_EQ(host.steps(), join(join(kStartUp, kShutdownFromStep1), kShutdownFromStep2));
    EXPECT_EQ(console(), "hi\n");
    EXPECT_EQ(stderrText, "");
}

TEST_F(HostTest, AFailedStartUpStepSkipsTheLaterOnesAndShutsDownFromStep2) {
    struct Case {
        const char *name;
        std::function<void(Host &)> breakIt;
        std::vector<uint8_t> image;
        const char *lastStartUpStep;
        int errorCode;
    } cases[] = {
        {"image not loadable", [](Host &) {}, {1, 2, 3}, "load program", 0},
        {"no program", [](Host &) {}, {}, "load program", 0},
        {"input fails",
         [](Host &h) { h.hooks().startInput.push_back([](Host &) { return false; }); },
         {},
         "start input",
         10007},
        {"display fails",
         [](Host &h) { h.hooks().setUpDisplay.push_back([](Host &) { return 10004; }); },
         {},
         "set up display",
         10004},
    };
    std::vector<uint8_t> good = compile("print \"never\"\r\n");
    for (auto &c : cases) {
        Host host(paths(), headless());
        c.breakIt(host);
        bool released = false;
        host.hooks().releaseDevices.push_back([&](Host &) { released = true; });
        std::string name = c.name;
        RunResult r = run(host, c.errorCode ? good : c.image);
        std::vector<std::string> expected(kStartUp.begin(),
                                          std::find(kStartUp.begin(), kStartUp.end(), c.lastStartUpStep) + 1);
        EXPECT_EQ(host.steps(), join(expected, kShutdownFromStep2)) << name;
        EXPECT_TRUE(released) << name;
        EXPECT_EQ(r.errorCode, c.errorCode) << name;
        EXPECT_EQ(console(), "") << name;
        if (c.errorCode)
            EXPECT_NE(stderrText.find("Error In Program: System Error"), std::string::npos) << stderrText;
        else
            EXPECT_FALSE(r.startupProblem.empty()) << name;
    }
}

TEST_F(HostTest, TheErrorBoxComesBeforeTheExitMessage) {
    Host host(paths(), headless());
    host.hooks().frameEnd.push_back([](Host &h) { h.exitMessage() = ExitMessage{true, "Bye", "Thanks for playing"}; });
    RunResult r = run(host, compile("print \"start\"\r\nx = 1 / 0\r\nprint \"not reached\"\r\n"));
    EXPECT_EQ(r.errorCode, 111);
    EXPECT_TRUE(r.warning); // outside a standalone run division by zero stops the program as a warning
    EXPECT_EQ(r.exitCode(), 1);
    EXPECT_EQ(stderrText, "Error In Program: " + r.message + "\nBye: Thanks for playing\n");
    EXPECT_EQ(r.message.rfind("Runtime Warning : ", 0), 0u) << r.message;
    EXPECT_EQ(console(), "start\n");
}

// The texts are read when a run ends with an error, from the language folder beside the executable.
TEST_F(HostTest, ErrorMessagesUseTheInterfaceLanguageTexts) {
    const std::string slot = std::to_string(vm::errorSlot(111));
    struct Case {
        const char *name;
        const char *wordsFile; // nullptr = no language file
        std::string expected;
    } cases[] = {
        {"language file", "[GENERAL]\r\nA=b\r\n[ERRORS]\r\n0=Zero\r\n%s=Division by zero\r\n",
         "Runtime Warning : Division by zero. "},
        {"slot missing from the file", "[ERRORS]\r\n0=Zero\r\n", "Runtime Warning : ERROR " + slot + ". "},
        {"no language file", nullptr, "Runtime Warning : ERROR " + slot + ". "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir.file("bin/LANG"));
        if (c.wordsFile) {
            std::string text = c.wordsFile;
            if (auto at = text.find("%s"); at != std::string::npos)
                text.replace(at, 2, slot);
            std::filesystem::create_directories(dir.file("bin/LANG/ENGLISH"));
            dir.write("bin/LANG/ENGLISH/WORDS.TXT", text);
        }
        Host host(paths(), headless());
        RunResult r = run(host, compile("print \"a\"\r\nx = 1 / 0\r\n"));
        EXPECT_EQ(r.errorCode, 111);
        EXPECT_EQ(r.message, c.expected);
        EXPECT_EQ(console(), "a\n");
    }
}

TEST_F(HostTest, DebugModeLogsTheErrorAndTheTraceInTheExecutableFolder) {
    dir.write("bin/SETUP.INI", "[SETTINGS]\r\nDEBUGMODE=1\r\n");
    Host host(paths(), headless());
    RunResult r = run(host, compile("x = 2\r\ny = x / 0\r\n"));
    ASSERT_EQ(r.errorCode, 111);
    platform::ProfileFile log(dir.file("bin/QX.LOG"));
    ASSERT_EQ(log.load(), platform::ProfileFile::LoadStatus::Ok);
    auto errors = log.keys("ERRORLOG");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("RUNTIMEERROR ON ", 0), 0u) << errors[0];
    // Profile values lose their outer blanks when read, as on Windows.
    EXPECT_EQ(log.get("ERRORLOG", errors[0]) + " ", r.message);
    EXPECT_NE(log.get("ZORVANELOOPMIDDLE", "PC0"), ""); // the first instruction was traced
}

TEST_F(HostTest, RuntimeTestModeShowsTheDumpWithTheMessageInTheCaption) {
    dir.write("start/SETUP.INI", "[SETTINGS]\r\nRUNTIMETEST=1\r\n");
    Host host(paths(), headless());
    RunResult r = run(host, compile("dim a(5)\r\na(10) = 1\r\n"));
    ASSERT_EQ(r.errorCode, 102);
    EXPECT_EQ(stderrText.rfind("ERRORINFO: " + r.message + ": Line Number:2\nCommand Number:", 0), 0u) << stderrText;
    EXPECT_EQ(host.platform(), nullptr); // the window is gone after shutdown
}

TEST_F(HostTest, EscapeEndsTheProgramOnlyWhileEscapeQuits) {
    // A program that never ends by itself: only Escape (or the frame limit) stops it.
    auto image = compile("do\r\nloop\r\n");
    {
        Host host(paths(), headless("frame 5 keydown 1\nframe 6 keyup 1\n", 1000));
        RunResult r = run(host, image);
        EXPECT_EQ(r.errorCode, 0);
        EXPECT_EQ(host.machine().lastKey, 0);
    }
    {
        Host host(paths(), headless("frame 5 keydown 1\nframe 6 keyup 1\n", 20));
        host.hooks().frameStart.push_back([](Host &h) { h.machine().escapeQuits = false; });
        size_t frames = 0;
        host.hooks().frameEnd.push_back([&](Host &) { ++frames; });
        run(host, image);
        EXPECT_EQ(frames, 20u); // ran until the frame limit
    }
}

TEST_F(HostTest, TheRunEndsEvenWhileABreakKeyStaysDown) {
    Host host(paths(), headless("frame 3 keydown 88\nframe 4 quit\n", 1000));
    RunResult r = run(host, compile("do\r\nloop\r\n"));
    EXPECT_EQ(r.errorCode, 0);
    EXPECT_EQ(host.steps().back(), "free error texts");
}

TEST_F(HostTest, TheWindowProcedure) {
    Host host(paths(), headless("", 0));
    std::vector<bool> activations;
    host.hooks().activation.push_back([&](Host &, bool active) { activations.push_back(active); });
    // Drive the window procedure from inside the run, then let the program end.
    host.hooks().frameStart.push_back([&](Host &h) {
        using platform::Event;
        using platform::EventType;
        vm::Machine &m = h.machine();
        if (h.platform()->framesPresented() != 1)
            return;
        h.handleEvent(Event{EventType::Character, 'A'});
        EXPECT_EQ(m.lastKey, 'A');
        h.handleEvent(Event{EventType::MouseMove, 5, 6}); // any message clears the last key
        EXPECT_EQ(m.lastKey, 0);
        h.handleEvent(Event{EventType::Character, 0xE9});
        EXPECT_EQ(h.entryBuffer().text(), "A\xE9");
        h.handleEvent(Event{EventType::MouseDown, 2});
        EXPECT_EQ(h.anyClick(), 2);
        h.handleEvent(Event{EventType::MouseUp, 2});
        EXPECT_EQ(h.anyClick(), 0);
        // Full screen: losing the focus pauses, regaining it resumes.
        h.handleEvent(Event{EventType::FocusLost});
        EXPECT_FALSE(m.windowActive);
        h.handleEvent(Event{EventType::FocusGained});
        EXPECT_TRUE(m.windowActive);
        h.handleEvent(Event{EventType::KeyDown, platform::kScanSpace});
        EXPECT_FALSE(h.platform()->quitPosted());
        h.handleEvent(Event{EventType::Quit});
        EXPECT_TRUE(h.platform()->quitPosted());
    });
    run(host, compile("do\r\nloop\r\n"));
    EXPECT_EQ(activations, (std::vector<bool>{false, true}));
}

TEST_F(HostTest, AFramedWindowKeepsRunningWithoutFocus) {
    RunOptions o = headless("frame 2 focuslost\n", 10);
    o.fullScreenByDefault = false; // a development run: a window
    Host host(paths(), o);
    int activations = 0;
    host.hooks().activation.push_back([&](Host &, bool) { ++activations; });
    run(host, compile("do\r\nloop\r\n"));
    EXPECT_TRUE(host.framedWindow());
    EXPECT_EQ(activations, 0);
    EXPECT_TRUE(host.machine().windowActive);
}

TEST(EntryBuffer, DoublesBeforeItRunsOutAndStaysZeroTerminated) {
    EntryBuffer buffer;
    struct Step {
        size_t length;   // after appending up to this length
        size_t capacity; // expected room
    } steps[] = {{1, 256}, {252, 256}, {253, 512}, {508, 512}, {509, 1024}};
    size_t length = 0;
    for (const auto &s : steps) {
        while (length < s.length)
            buffer.append(static_cast<char>('a' + length++ % 26));
        EXPECT_EQ(buffer.capacity(), s.capacity) << "length " << s.length;
        EXPECT_EQ(buffer.terminator(), 0);
        EXPECT_EQ(buffer.length(), s.length);
    }
    EXPECT_EQ(buffer.text().substr(0, 3), "abc");
    buffer.clear();
    EXPECT_EQ(buffer.text(), "");
}

} // namespace
} // namespace host

namespace host {
namespace {

TEST_F(HostTest, AStandaloneRunOffersItsPayloadToTheCommands) {
    builder::PayloadWriter writer;
    writer.addFile("_exefile.dat", compile("do\r\nloop\r\n"));
    writer.addFile("Gfx\\Logo.BMP", {'B', 'M'});
    std::string game = dir.file("bin/zorvane");
    std::string why;
    ASSERT_TRUE(writer.writeWithRuntime({'E', 'L', 'F'}, game, &why)) << why;

    Host host(paths(), headless("", 3));
    std::string found;
    bool standalone = false;
    host.hooks().frameStart.push_back([&](Host &h) {
        standalone = h.machine().standaloneRun;
        std::string name = "gfx/logo.bmp";
        if (h.payload() && h.payload()->lookUpByPath(name, "bmp"))
            found = name;
    });
    auto source = payloadSource(game);
    ::testing::internal::CaptureStderr();
    RunResult r = host.run(*source);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(r.errorCode, 0);
    EXPECT_TRUE(standalone);
    EXPECT_EQ(found, dir.file("tmp/_virtual.bmp"));
    EXPECT_EQ(host.payload(), nullptr);                                  // only while running
    EXPECT_FALSE(std::filesystem::exists(dir.file("tmp/_virtual.dat"))); // released at shutdown
}

} // namespace
} // namespace host
