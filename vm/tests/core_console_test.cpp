#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "vm/tests/core_test_support.h"

using namespace vm;
using namespace vm::assembly;
using namespace vm::testing;

namespace {

// Runs one slice after delivering `key` as the last key typed (0 = none).
void sliceWithKey(Machine& m, int key) {
    m.lastKey = key;
    runSlice(m);
}

}  // namespace

TEST(CoreConsole, PrintFormatsAndLineEnds) {
    Assembler p;
    p.op(301, {intConst(INT_MIN)}).op(302, {realConst(0.1f)}).op(302, {realConst(1e6f)});
    p.op(303, {strConst("text")}).op(304);
    p.op(305, {intConst(7)}).op(306, {realConst(-2.5f)}).op(307, {strConst("")}).op(213);
    RecordingConsole console;
    auto m = run(p, {.console = &console});
    const std::vector<std::string> expected = {
        "print -2147483648|000", "print 0.1|000", "print 1e+06|000", "print text|000", "print  |000",
        "print 7|101",           "print -2.5|101", "print |101"};
    EXPECT_EQ(console.calls, expected);
}

TEST(CoreConsole, PrintEndsTheSliceOnlyUnderAutomaticRefreshOnTheScreen) {
    struct Case {
        bool autoRefresh;
        int bitmap;
        size_t printsInOneSlice;
    };
    for (const Case& c : {Case{true, 0, 1}, Case{false, 0, 3}, Case{true, 2, 3}}) {
        Assembler p;
        p.op(301, {intConst(1)}).op(301, {intConst(2)}).op(301, {intConst(3)}).op(213);
        RecordingConsole console;
        auto m = machineWith(p.build());
        m->console = &console;
        runSlice(*m);  // the first slice after a reset only clears the end-slice flag
        m->autoRefresh = c.autoRefresh;
        m->currentBitmap = c.bitmap;
        runSlice(*m);
        EXPECT_EQ(console.printed().size(), c.printsInOneSlice) << c.autoRefresh << " " << c.bitmap;
    }
}

TEST(CoreConsole, InputTakesOneKeyPerSliceUntilEnter) {
    Assembler p;
    p.op(351, {intVar(0)}).op(151, {intVar(1), intConst(1)}).op(213);
    RecordingConsole console;
    console.x = 10;
    auto m = machineWith(p.build());
    m->console = &console;
    runSlice(*m);
    for (int key : {0, int{'4'}, int{'x'}, int{'2'}, 8, 0, int{'7'}}) {
        sliceWithKey(*m, key);
        EXPECT_EQ(m->lastKey, 0);
        EXPECT_EQ(intVarValue(*m, 1), 0) << "still waiting after key " << key;
    }
    EXPECT_EQ(m->inputEntry, "47");
    sliceWithKey(*m, 13);
    EXPECT_EQ(intVarValue(*m, 0), 47);
    EXPECT_EQ(m->inputLength, -1);
    runToEnd(*m);
    EXPECT_EQ(intVarValue(*m, 1), 1);
    const std::vector<std::string> expected = {
        "cursor 10", "print _|110",  "cursor 10", "print 4_|110", "cursor 10",   "print 42_|110",
        "erase 10 3", "cursor 10",   "print 4_|110", "cursor 10", "print 47_|110", "cursor 10", "print 47  |010"};
    EXPECT_EQ(console.calls, expected);
}

TEST(CoreConsole, InputConversionsAndLimits) {
    struct Case {
        const char* name;
        int code;
        std::string keys;  // Enter is appended
        std::string expected;
    };
    const Case cases[] = {
        {"a minus sign alone is 0", 351, "-", "0"},
        {"real minus sign alone is 0", 355, "-", "0"},
        {"real", 355, "-1.25", "-1.25"},
        {"Enter alone gives 0", 351, "", "0"},
        {"Enter alone gives the empty string", 352, "", ""},
        {"letters are not digits", 351, "a1b2", "12"},
        {"string keeps blanks and symbols", 352, "a b~", "a b~"},
        {"string stops at 255 characters", 352, std::string(300, 'k'), std::string(255, 'k')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Operand d = c.code == 351 ? intVar(0) : c.code == 355 ? realVar(0) : strVar(0);
        Assembler p;
        p.op(c.code, {d}).op(213);
        auto m = machineWith(p.build());
        runSlice(*m);
        for (char key : c.keys) sliceWithKey(*m, static_cast<unsigned char>(key));
        sliceWithKey(*m, 13);
        runToEnd(*m);
        if (c.code == 351) {
            EXPECT_EQ(intVarValue(*m, 0), std::stoi(c.expected));
        } else if (c.code == 355) {
            EXPECT_EQ(realVarValue(*m, 0), std::stof(c.expected));
        } else {
            EXPECT_EQ(strVarValue(*m, 0), c.expected);
        }
        EXPECT_TRUE(m->programEnded);
    }

    // Backspace still works at the limit.
    Assembler p;
    p.op(352, {strVar(0)}).op(213);
    auto m = machineWith(p.build());
    runSlice(*m);
    for (int i = 0; i < 260; ++i) sliceWithKey(*m, 'z');
    sliceWithKey(*m, 8);
    sliceWithKey(*m, 13);
    EXPECT_EQ(strVarValue(*m, 0), std::string(254, 'z'));
}

TEST(CoreTime, WaitYieldsEveryFrameUntilTheDeadlinePasses) {
    for (int n : {0, 100}) {
        Assembler p;
        p.op(255, {intConst(n)}).op(151, {intVar(0), intConst(1)}).op(213);
        FakePlatform platform;
        auto m = machineWith(p.build());
        m->platform = &platform;
        runSlice(*m);
        platform.clock = 1000;
        runSlice(*m);  // starts the wait
        EXPECT_EQ(m->waitDeadline, 1000.0 + n);
        if (n > 0) {
            platform.clock = 1000 + n;  // not past the deadline yet
            runSlice(*m);
            EXPECT_GE(m->waitDeadline, 0.0);
        }
        platform.clock = 1001 + n;
        runSlice(*m);  // finishes it, and only it: a wait always ends the slice
        EXPECT_EQ(m->waitDeadline, -1.0);
        EXPECT_EQ(intVarValue(*m, 0), 0);
        runSlice(*m);
        EXPECT_EQ(intVarValue(*m, 0), 1);
    }
}

TEST(CoreTime, ClockDateTimeAndMachineTexts) {
    Assembler p;
    p.op(260, {intVar(0)}).op(408, {strVar(0)}).op(409, {strVar(1)});
    p.op(211, {strVar(2)}).op(426, {strVar(3)}).op(427, {strVar(4)}).op(213);
    FakePlatform platform;
    platform.clock = 3723000 + 86400000;  // a day, 1 hour, 2 minutes and 3 seconds into the run
    auto m = machineWith(p.build());
    m->platform = &platform;
    m->commandLine = "-level 3";
    m->executablePath = "C:\\GAMES\\RUN.EXE";
    m->windowsFolder = "C:\\WINDOWS";
    runToEnd(*m);
    EXPECT_EQ(intVarValue(*m, 0), 3723000 + 86400000);
    EXPECT_EQ(strVarValue(*m, 0), "01/02/00");
    EXPECT_EQ(strVarValue(*m, 1), "01:02:03");
    EXPECT_EQ(strVarValue(*m, 2), "-level 3");
    EXPECT_EQ(strVarValue(*m, 3), "C:\\GAMES\\RUN.EXE");
    EXPECT_EQ(strVarValue(*m, 4), "C:\\WINDOWS");
}

TEST(CoreConsole, EndStatements) {
    for (const auto& [code, ended] : {std::pair{213, true}, {217, false}, {266, false}}) {
        Assembler p;
        if (code == 266) {
            p.op(266, {strConst("bye")});
        } else {
            p.op(code);
        }
        p.op(151, {intVar(0), intConst(1)});
        auto m = run(p);
        EXPECT_TRUE(m->quitPosted) << code;
        EXPECT_EQ(m->programEnded, ended) << code;
        EXPECT_EQ(m->errorCode, 0);
    }
}

TEST(CoreRegistration, EveryCoreCodeHasItsHandler) {
    std::vector<int> codes = {1,   2,   5,   6,   7,   8,   9,   10,  12,  21,  22,  23,  24,  25,  26,  27,  28,
                              29,  30,  31,  32,  33,  34,  35,  41,  42,  43,  51,  52,  53,  54,  61,  64,  65,
                              66,  71,  74,  75,  76,  81,  84,  85,  86,  87,  91,  94,  95,  96,  97,  123, 124,
                              151, 152, 153, 154, 155, 201, 202, 203, 204, 205, 206, 209, 211, 213, 217, 218, 222,
                              223, 225, 226, 232, 233, 234, 236, 237, 245, 248, 249, 255, 256, 257, 258, 260, 261,
                              266, 301, 302, 303, 304, 305, 306, 307, 311, 312, 321, 322, 331, 332, 341, 342, 351,
                              352, 355, 390, 391, 392, 393, 394, 408, 409, 410, 411, 412, 413, 414, 421, 422, 423,
                              424, 426, 427};
    for (int code = 101; code <= 121; ++code) {
        if (code <= 103 || (code >= 111 && code <= 121)) codes.push_back(code);
    }
    for (int code = 131; code <= 144; ++code) codes.push_back(code);
    for (int code = 361; code <= 368; ++code) codes.push_back(code);
    for (int code : {371, 372, 373, 381, 382}) codes.push_back(code);
    for (int base : {500, 510, 520}) {
        for (int k = 1; k <= 6; ++k) codes.push_back(base + k);
    }
    for (int code = 561; code <= 580; ++code) codes.push_back(code);
    for (int code = 661; code <= 675; ++code) codes.push_back(code);
    auto m = createMachine();
    for (int code : codes) EXPECT_TRUE(hasHandler(*m, code)) << code;
    for (int code : {3, 4, 11}) EXPECT_FALSE(hasHandler(*m, code)) << code << " produces no instruction";
}
