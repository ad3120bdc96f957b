// Programs run headless through the host with scripted keyboard, mouse and game controllers: the
// console transcript shows what the input commands saw; the scripted controllers' log shows what
// the force-feedback commands did.
#include <gtest/gtest.h>

#include "display/host_hookup.h"
#include "display/input_state.h"
#include "host/tests/host_fixture.h"
#include "platform/files.h"
#include "platform/headless/headless_backend.h"
#include "platform/session.h"

namespace display {
namespace {

std::string lines(std::initializer_list<const char *> program) {
    std::string out;
    for (const char *line : program)
        out += std::string(line) + "\r\n";
    return out;
}

class InputProgram : public host::testing::HostTest {
  protected:
    struct Outcome {
        host::RunResult result;
        std::string console;
        std::vector<std::string> effects; // the scripted controllers' force-feedback log
        std::string controlAtEnd;         // the control device's name when the program ended
    };

    Outcome runProgram(const std::string &source, const std::string &script, bool fullScreen = false,
                       uint64_t maxFrames = 200) {
        host::RunOptions options = headless(script, maxFrames);
        options.fullScreenByDefault = false;
        options.platform.fullScreen = fullScreen;
        platform::headless::HeadlessBackend *backend = nullptr;
        options.platformFactory = [&backend](const platform::PlatformOptions &o, std::string &error)
            -> std::unique_ptr<platform::Platform> {
            std::vector<platform::headless::ScriptEvent> events;
            std::vector<platform::headless::ControllerStep> steps;
            std::string text;
            if (!o.inputScript.empty() &&
                (!platform::readFile(o.inputScript, text) ||
                 !platform::headless::parseInputScript(text, o.inputScript, events, error, &steps)))
                return nullptr;
            auto owned = std::make_unique<platform::headless::HeadlessBackend>(false, std::move(events), "",
                                                                              std::move(steps));
            backend = owned.get();
            return std::make_unique<platform::Session>(std::move(owned), nullptr, nullptr);
        };
        host::Host host(paths(), options);
        HookupOptions display;
        display.want3d = false;
        attachDisplay(host, display);
        Outcome out;
        // Runs before the input family's own release, which lets go of the control device (and
        // before the platform goes).
        host.hooks().releaseProgramResources.push_back([&out, &backend](host::Host &h) {
            if (const InputState *s = inputOf(h.machine()))
                out.controlAtEnd = s->controlName;
            if (backend)
                out.effects = backend->scriptedControllers().effectLog();
        });
        out.result = run(host, compile(source));
        out.console = console();
        return out;
    }
};

TEST_F(InputProgram, KeyQueriesFollowTheHeldKeys) {
    // Right Ctrl, right Shift, Up, Return and Space held; then A and S, where the scan code is A's.
    const std::string script = "frame 4 keydown 157\nframe 4 keydown 54\nframe 4 keydown 200\n"
                               "frame 4 keydown 28\nframe 4 keydown 57\n"
                               "frame 6 keyup 157\nframe 6 keyup 54\nframe 6 keyup 200\nframe 6 keyup 28\n"
                               "frame 6 keyup 57\nframe 6 keydown 31\nframe 6 keydown 30\n";
    Outcome out = runProgram(lines({
                                 "manual refresh",
                                 "repeat : refresh : until space key()",
                                 "print up key(); down key(); left key(); right key(); control key(); shift key()",
                                 "print return key(); space key(); escape key(); key state(57); key state(58)",
                                 "print key state(-1); key state(256); scan code()",
                                 "repeat : refresh : until scan code() > 0 and space key() = 0",
                                 "print scan code(); key state(30); key state(31)",
                             }),
                             script);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    EXPECT_EQ(out.console, "100011\n11010\n0028\n3011\n");
}

TEST_F(InputProgram, TypedCharactersAndTheEntryBuffer) {
    // 300 characters: the buffer keeps them all, a string value takes the first 255.
    std::string typed;
    for (int i = 0; i < 300; ++i)
        typed += static_cast<char>('a' + i % 26);
    const std::string script = "frame 4 text " + typed + "\nframe 400 char 66\nframe 401 keydown 20\n";
    Outcome out = runProgram(lines({
                                 "manual refresh",
                                 "repeat : refresh : until inkey$() = \"B\"",
                                 "e$ = entry$()",
                                 "print len(e$); \" \"; left$(e$, 3); \" \"; right$(e$, 3)",
                                 "clear entry buffer",
                                 "print len(entry$()); \" \"; inkey$()",
                                 "refresh : refresh",
                                 "print \"[\"; inkey$(); \"]\"",
                             }),
                             script, false, 600);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    EXPECT_EQ(out.console, "255 abc stu\n0 B\n[]\n");
}

TEST_F(InputProgram, WaitForKeyEndsOnlyAfterTheNextMessage) {
    const std::string program = lines({"wait for key", "print \"key\"", "wait for mouse", "print \"mouse\""});
    struct Case {
        const char *script;
        const char *transcript;
    } cases[] = {
        // The character, then another message; the button down over a few frames, then up.
        {"frame 5 char 65\nframe 8 keyup 30\nframe 10 mousedown 1\nframe 14 mouseup 1\n", "key\nmouse\n"},
        // No message after the character: the wait goes on until the run is stopped.
        {"frame 5 char 65\n", ""},
        // A button held and never let go keeps the mouse wait waiting.
        {"frame 5 char 65\nframe 8 keyup 30\nframe 10 mousedown 2\n", "key\n"},
    };
    for (const auto &c : cases) {
        Outcome out = runProgram(program, c.script, false, 60);
        EXPECT_EQ(out.result.errorCode, 0) << c.script << out.result.message;
        EXPECT_EQ(out.console, c.transcript) << c.script;
    }
}

TEST_F(InputProgram, FramedWindowMouseFollowsThePointerAndButtonMessages) {
    const std::string script = "frame 4 mousemove 100 200\nframe 4 mousedown 2\nframe 4 wheel 3\n"
                               "frame 8 mouseup 2\nframe 8 wheel -100\n";
    Outcome out = runProgram(lines({
                                 "manual refresh",
                                 "print mouse x(); \" \"; mouse y(); \" \"; mouse z(); \" \"; mouse click()",
                                 "repeat : refresh : until mouse click() = 2",
                                 "print mouse x(); \" \"; mouse y(); \" \"; mouse z(); \" \"; mouse move z()",
                                 "repeat : refresh : until mouse click() = 0",
                                 "print mouse z(); \" \"; mouse move z()",
                                 "position mouse 10, 20",
                                 "refresh",
                                 "print mouse x(); \" \"; mouse y(); \" \"; mouse move x()",
                             }),
                             script);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    EXPECT_EQ(out.console, "320 240 50 0\n100 200 53 3\n0 -97\n10 20 0\n");
}

TEST_F(InputProgram, FullScreenMouseStaysOnTheScreenWhileTheDeviceMoves) {
    // The pointer starts at the screen's centre; movement far past the edges is counted in full
    // but the position stops at the edge. Every button counts in the click bits. Movement while
    // another window has the focus is not the program's.
    const std::string script = "frame 4 mousemove 5000 -3000\nframe 4 mousedown 1\nframe 4 mousedown 3\n"
                               "frame 8 mousemove 4990 -2995\nframe 8 mouseup 1\n"
                               "frame 12 focuslost\nframe 13 mousemove 100 100\nframe 15 focusgained\n"
                               "frame 17 mousedown 2\n";
    Outcome out = runProgram(lines({
                                 "manual refresh",
                                 "repeat : refresh : until mouse click() > 0",
                                 "print mouse x(); \" \"; mouse y(); \" \"; mouse move x(); \" \"; mouse move y(); "
                                 "\" \"; mouse click()",
                                 "repeat : refresh : until mouse click() = 4",
                                 "print mouse x(); \" \"; mouse y(); \" \"; mouse move x(); \" \"; mouse move y()",
                                 "refresh",
                                 "print mouse move x(); \" \"; mouse move y()",
                                 "repeat : refresh : until mouse click() = 2",
                                 "print mouse x(); \" \"; mouse y()",
                             }),
                             script, true);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    EXPECT_EQ(out.console, "639 0 4680 -3240 5\n629 5 -10 5\n0 0\n629 5\n");
}

TEST_F(InputProgram, JoystickQueriesAndUnplugging) {
    // Raw device values: 32767 is the end of an axis, 2000 lies inside the dead zone.
    const std::string script = "frame 0 joystick 1 attach Test Pad\n"
                               "frame 4 joystick 1 axis x -32768\nframe 4 joystick 1 axis y 32767\n"
                               "frame 4 joystick 1 axis z 2000\nframe 4 joystick 1 axis rx 16384\n"
                               "frame 4 joystick 1 axis slider1 -16384\nframe 4 joystick 1 hat 0 27000\n"
                               "frame 4 joystick 1 button 1 down\nframe 4 joystick 1 button 31 down\n"
                               "frame 8 joystick 1 detach\n"
                               "frame 12 joystick 2 attach Other Pad\nframe 12 joystick 2 button 0 down\n";
    Outcome out = runProgram(
        lines({
            "manual refresh",
            "print joystick x(); \" \"; joystick hat a(); \" \"; joystick hat angle(0)",
            "repeat : refresh : until joystick fire b()",
            "print joystick up(); joystick down(); joystick left(); joystick right(); \" \"; joystick x(); \" \"; "
            "joystick y(); \" \"; joystick z()",
            "print joystick rotation x(); \" \"; joystick slider b(); \" \"; joystick hat a(); \" \"; "
            "joystick hat angle(0); \" \"; joystick hat angle(4)",
            "print joystick fire a(); joystick fire b(); joystick button(31); joystick button(32); "
            "joystick button(-1)",
            "repeat : refresh : until joystick fire b() = 0",
            "print joystick x(); \" \"; joystick y(); \" \"; joystick hat angle(0)",
            "repeat : refresh : until joystick fire a()",
            "print \"again\"",
        }),
        script);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    EXPECT_EQ(out.console, "0 -1 -1\n"
                           "0110 -1000 1000 0\n"
                           "444 -444 27000 27000 -1\n"
                           "01100\n"
                           "0 0 -1\n"
                           "again\n");
}

TEST_F(InputProgram, ControllerListAndControlDevice) {
    // A force-feedback wheel that is also the default joystick: once it is the control device the
    // joystick queries read its state, without the joystick's dead zone.
    const std::string script = "frame 0 joystick 1 attach-ff Wheel\nframe 0 joystick 2 attach Test Pad\n"
                               "frame 0 joystick 1 axis x 2000\n";
    Outcome out = runProgram(lines({
                                 "list control devices",
                                 "print query list count()",
                                 "for i = 1 to 2",
                                 "print query list text$(i); \" \"; query list value a(i); query list value b(i)",
                                 "next i",
                                 "print joystick x()",
                                 "set control device \"Wheel\"",
                                 "print control device name$(); \" \"; joystick x(); \" \"; control device x()",
                                 "set control device \"Test Pad\"",
                                 "print control device name$(); \" \"; control device x()",
                             }),
                             script);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    EXPECT_EQ(out.console, "2\nWheel 10\nTest Pad 00\n0\nWheel 61 61\nTest Pad 0\n");
}

TEST_F(InputProgram, BadControllerAndForceCommandsGiveTheNumberedErrorAndChangeNothing) {
    const std::string script = "frame 0 joystick 1 attach-ff Wheel\nframe 0 joystick 2 attach Test Pad\n";
    struct Case {
        const char *lines;
        int error;
        const char *controlAtEnd;
    } cases[] = {
        {"a$ = control device name$()", 4002, ""},
        {"set control device \"Nothing\"", 4001, ""},
        {"set control device \"Wheel\" : set control device \"Nothing\"", 4001, "Wheel"},
        {"force up 50", 4101, ""},
        {"force stop", 4101, ""},
        {"force auto center on", 4101, ""},
        {"set control device \"Test Pad\" : force push 50, 100", 4101, "Test Pad"},
        {"set control device \"Wheel\" : force down 101", 4102, "Wheel"},
        {"set control device \"Wheel\" : force left -1", 4102, "Wheel"},
        {"set control device \"Wheel\" : force angle 150, 400, -5", 4102, "Wheel"},
        {"set control device \"Wheel\" : force angle 50, 361, -5", 4104, "Wheel"},
        {"set control device \"Wheel\" : force angle 50, -1, 0", 4104, "Wheel"},
        {"set control device \"Wheel\" : force angle 50, 360, -1", 4103, "Wheel"},
        {"set control device \"Wheel\" : force damper 50, -1", 4103, "Wheel"},
    };
    for (const auto &c : cases) {
        Outcome out = runProgram(std::string(c.lines) + "\r\nprint \"not reached\"\r\n", script);
        EXPECT_EQ(out.result.errorCode, c.error) << c.lines;
        EXPECT_EQ(out.console, "") << c.lines;
        EXPECT_EQ(out.controlAtEnd, c.controlAtEnd) << c.lines;
        // Only the effects made when the wheel was chosen: nothing was changed or started.
        for (const auto &line : out.effects)
            EXPECT_TRUE(line.rfind("create", 0) == 0 || line == "autocentre off") << c.lines << ": " << line;
    }
}

TEST_F(InputProgram, ForceEffectsReachTheDeviceWithTheirParameters) {
    const std::string script = "frame 0 joystick 1 attach-ff Wheel\n";
    Outcome out = runProgram(lines({
                                 "set control device \"Wheel\"",
                                 "force up 50",
                                 "force right 100",
                                 "force angle 25, 90, 500",
                                 "force angle 25, 360, 0",
                                 "force push 10, 500",
                                 "force fast vibration 100, 1000",
                                 "force slow vibration 0, 0",
                                 "force damper 50, 2000",
                                 "force stop",
                                 "force auto center on",
                                 "force auto center off",
                             }),
                             script);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    std::vector<std::string> played;
    bool afterSelection = false;
    for (const auto &line : out.effects) {
        // Selecting makes the nine effects; what follows is what the commands did.
        if (line.rfind("change", 0) == 0)
            afterSelection = true;
        if (afterSelection)
            played.push_back(line);
    }
    const std::vector<std::string> expected = {
        "change 0 constant direction 18000 magnitude 5000 duration 100000",
        "start 0",
        "change 3 constant direction 27000 magnitude 10000 duration 100000",
        "start 3",
        // Every timed effect runs 0.05 s longer than asked, the angled force too; 0 runs until stopped.
        "change 4 constant direction 9000 magnitude 2500 duration 550000",
        "start 4",
        "change 4 constant direction 36000 magnitude 2500 duration endless",
        "start 4",
        "change 6 constant direction 0 magnitude 1000 duration 550000",
        "start 6",
        "change 5 sine direction 0 magnitude 10000 period 50000 duration 1050000",
        "start 5",
        "change 7 sine direction 0 magnitude 0 period 100000 duration endless",
        "start 7",
        "change 8 damper coefficient 2500 saturation 10000 duration 2050000",
        "start 8",
        "stop 0", "stop 1", "stop 2", "stop 3", "stop 4", "stop 5", "stop 6", "stop 7", "stop 8",
        "autocentre on",
        "autocentre off",
    };
    ASSERT_GE(played.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(played.begin(), played.begin() + expected.size()), expected);
}

TEST_F(InputProgram, ControlDeviceUnpluggedAndBackKeepsItsForceFeedback) {
    // While the wheel is away its effects do nothing (no error); plugged in again, it is taken back
    // by its name and its effects are made anew on their next use.
    const std::string script = "frame 0 joystick 1 attach-ff Wheel\nframe 0 joystick 1 axis x 32767\n"
                               "frame 6 joystick 1 detach\n"
                               "frame 10 joystick 1 attach-ff Wheel\nframe 10 joystick 1 axis x 16384\n";
    Outcome out = runProgram(lines({
                                 "manual refresh",
                                 "set control device \"Wheel\"",
                                 "force up 50",
                                 "print control device x()",
                                 "repeat : refresh : until control device x() = 0",
                                 "force up 40",
                                 "print control device name$(); \" \"; control device x()",
                                 "repeat : refresh : until control device x() <> 0",
                                 "force up 60",
                                 "print control device x()",
                             }),
                             script);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    EXPECT_EQ(out.console, "1000\nWheel 0\n500\n");
    std::vector<std::string> played;
    for (const auto &line : out.effects)
        if (line.rfind("create", 0) != 0 || !played.empty())
            if (line != "autocentre off")
                played.push_back(line);
    const std::vector<std::string> expected = {
        "change 0 constant direction 18000 magnitude 5000 duration 100000",
        "start 0",
        "create 0 constant direction 18000 magnitude 6000 duration 100000",
        "start 0",
    };
    EXPECT_EQ(played, expected);
}

TEST_F(InputProgram, InputScriptMistakesStopTheRunWithTheLine) {
    struct Case {
        const char *script;
        const char *message;
    } cases[] = {
        {"frame 1 joystick 0 attach Pad\n", ":1: joystick needs a controller number from 1 to 16"},
        {"frame 1 joystick 1 attach\n", ":1: attach needs the controller's product name"},
        {"\nframe 1 joystick 1 axis w 3\n", ":2: axis needs x, y, z"},
        {"frame 1 joystick 1 axis x 40000\n", ":1: axis needs x, y, z"},
        {"frame 1 joystick 1 button 32 down\n", ":1: button needs a button number from 0 to 31"},
        {"frame 1 joystick 1 hat 0 36000\n", ":1: hat needs a hat number"},
        {"frame 1 joystick 1 jump\n", ":1: unknown joystick action 'jump'"},
    };
    for (const auto &c : cases) {
        std::vector<platform::headless::ScriptEvent> events;
        std::vector<platform::headless::ControllerStep> steps;
        std::string error;
        EXPECT_FALSE(platform::headless::parseInputScript(c.script, "in.txt", events, error, &steps)) << c.script;
        EXPECT_NE(error.find(std::string("in.txt") + c.message), std::string::npos) << error;
    }
}

} // namespace
} // namespace display
