#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "vm/tests/vm_test_support.h"

using namespace vm;
using namespace vm::assembly;
using namespace vm::testing;

namespace {

// i = 0; repeat i = i + 1 until i >= limit; end
Assembler countingLoop(int limit) {
    Assembler a;
    a.line(1).op(kSet, {intVar(0), intConst(0)});
    a.line(2).label("top").op(kAdd, {intVar(0), intConst(1)});
    a.line(3).op(kJumpIfLess, {intVar(0), intConst(limit), codePos("top")});
    a.line(4).op(kEnd);
    return a;
}

// A loop that never ends by itself.
Assembler spin() {
    Assembler a;
    a.label("top").op(kAdd, {intVar(0), intConst(1)}).op(kJump, {codePos("top")});
    return a;
}

}  // namespace

TEST(Interpreter, ProgramsEndTheWayTheyShould) {
    struct Case {
        const char* name;
        std::function<Assembler()> program;
        bool standalone;
        int errorCode;
        bool warning;
        int errorLine;
        bool programEnded;  // set by the end instruction and by a fatal raise, not by an unknown code
        int endWord;        // code index the program counter is left on, -1 = not checked
    };
    const Case cases[] = {
        {"only the final 0 word", [] { return Assembler(); }, false, 0, false, 0, false, 0},
        {"counting loop then end", [] { return countingLoop(1000); }, false, 0, false, 0, true, -1},
        {"a code in a gap of the families",
         [] {
             Assembler a;
             a.op(kSet, {intVar(0), intConst(1)}).op(156).op(kSet, {intVar(0), intConst(2)});
             return a;
         },
         false, 0, false, 0, false, 3},
        {"a negative word reached as a command",
         [] {
             Assembler a;
             a.op(kJump, {codeAt(3)}).word(raw(-5)).word(raw(-9));
             return a;
         },
         false, 0, false, 0, false, 3},
        {"code without the final 0 runs into the guard words",
         [] {
             Assembler a;
             a.op(kSet, {intVar(0), intConst(1)}).endWithZero(false);
             return a;
         },
         false, 0, false, 0, false, 3},
        {"fatal error at its line",
         [] {
             Assembler a;
             a.line(6).op(kSet, {intVar(0), intConst(1)});
             a.line(7).op(kRaise, {intConst(105)});
             a.line(8).op(kSet, {intVar(0), intConst(2)});
             return a;
         },
         false, 105, false, 7, true, -1},
        {"fatal error in a standalone run", [] {
             Assembler a;
             a.line(3).op(kRaise, {intConst(102)}).line(4).op(kEnd);
             return a;
         },
         true, 102, false, 3, true, -1},
        {"recoverable code through raise, editor run",
         [] {
             Assembler a;
             a.line(2).op(kRaise, {intConst(4001)}).line(3).op(kEnd);
             return a;
         },
         false, 4001, true, 2, false, -1},
        {"recoverable code through raise, standalone run",
         [] {
             Assembler a;
             a.line(2).op(kRaise, {intConst(4001)}).line(3).op(kEnd);
             return a;
         },
         true, 0, false, 0, true, -1},
        {"division by zero path, editor run",
         [] {
             Assembler a;
             a.line(5).op(kRecoverable, {intConst(111)}).op(kEnd);
             return a;
         },
         false, 111, true, 5, false, -1},
        {"division by zero path, standalone run",
         [] {
             Assembler a;
             a.line(5).op(kRecoverable, {intConst(111)}).op(kEnd);
             return a;
         },
         true, 0, false, 0, true, -1},
        {"a handler that throws",
         [] {
             Assembler a;
             a.line(9).op(kThrow).op(kEnd);
             return a;
         },
         false, 10010, false, 9, true, -1},
        {"raise with code 0 ends without a report",
         [] {
             Assembler a;
             a.op(kRaise, {intConst(0)}).op(kEnd);
             return a;
         },
         false, 0, false, 0, true, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = machineWith(c.program().build());
        m->standaloneRun = c.standalone;
        int slices = runToEnd(*m);
        EXPECT_LT(slices, 1000) << "the program never ended";
        EXPECT_TRUE(m->quitPosted);
        EXPECT_EQ(m->errorCode, c.errorCode);
        EXPECT_EQ(m->warning, c.warning);
        EXPECT_EQ(m->errorLine, c.errorLine);
        EXPECT_EQ(m->programEnded, c.programEnded);
        if (c.endWord >= 0) {
            EXPECT_EQ(codeIndex(*m, m->pc), c.endWord);
        }
    }
}

TEST(Interpreter, CountingLoopComputesItsResult) {
    auto m = machineWith(countingLoop(100000).build());
    runToEnd(*m);
    EXPECT_EQ(m->cells[3000].i, 100000);
    EXPECT_EQ(m->errorCode, 0);
}

TEST(Interpreter, FirstSliceAfterResetOnlyClearsTheEndFlag) {
    auto m = machineWith(countingLoop(10).build());
    runSlice(*m);
    EXPECT_EQ(m->instructionsExecuted, 0u);
    EXPECT_FALSE(m->endSlice);
    runSlice(*m);
    EXPECT_TRUE(m->quitPosted);
}

TEST(Interpreter, InactiveWindowRunsNothing) {
    auto m = machineWith(countingLoop(10).build());
    runSlice(*m);
    m->windowActive = false;
    runSlice(*m);
    EXPECT_EQ(m->instructionsExecuted, 0u);
    m->windowActive = true;
    runSlice(*m);
    EXPECT_TRUE(m->quitPosted);
}

TEST(Interpreter, SliceWithoutProgramDoesNothing) {
    auto m = createMachine();
    resetForRun(*m);
    runSlice(*m);
    runSlice(*m);
    EXPECT_FALSE(m->quitPosted);
}

TEST(Interpreter, TimedSliceYieldsAfterItsBudgetOnTheVirtualClock) {
    auto m = machineWith(spin().build());
    runSlice(*m);
    for (int slice = 0; slice < 3; ++slice) {
        uint64_t start = m->virtualMillis;
        runSlice(*m);
        uint64_t spent = m->virtualMillis - start;
        EXPECT_GT(spent, 33u);
        EXPECT_LE(spent, 34u) << "the slice overran its budget by more than a millisecond";
    }
    EXPECT_FALSE(m->quitPosted);
}

TEST(Interpreter, TimedSliceReportsEveryInstructionToThePlatform) {
    auto m = machineWith(spin().build());
    FakePlatform platform;
    platform.instructionsPerMs = 1000;
    m->platform = &platform;
    runSlice(*m);
    runSlice(*m);
    EXPECT_EQ(platform.instructions, m->instructionsExecuted);
    EXPECT_GT(platform.clock, 33u);
    EXPECT_LE(platform.clock, 36u);
    uint64_t before = platform.instructions;
    runSlice(*m);
    EXPECT_EQ(platform.instructions, m->instructionsExecuted);
    EXPECT_GT(platform.instructions - before, 33000u);
}

TEST(Interpreter, UntimedSliceChecksBreakKeysAndDrawQueueEvery201Instructions) {
    struct Case {
        const char* name;
        bool standalone;
        int heldKey;
        int drawQueue;
        int expectedInstructions;
    };
    const Case cases[] = {
        {"nothing asks for a break", false, 0, 0, 5000},
        {"F11 outside a standalone run", false, platform::kScanF11, 0, 201},
        {"F12 outside a standalone run", false, platform::kScanF12, 0, 201},
        {"F11 in a standalone run", true, platform::kScanF11, 0, 5000},
        {"32000 queued items", false, 0, 32000, 5000},
        {"32001 queued items", false, 0, 32001, 201},
        {"32001 queued items in a standalone run", true, 0, 32001, 201},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Assembler a;
        a.op(kCount);
        auto m = machineWith(a.build());
        FakePlatform platform;
        m->platform = &platform;
        m->standaloneRun = c.standalone;
        if (c.heldKey) platform.keys[c.heldKey] = true;
        m->drawQueueLength = c.drawQueue;
        runSlice(*m);
        m->timedSlices = false;
        m->autoRefresh = false;
        runSlice(*m);
        EXPECT_EQ(m->cells[0].i, c.expectedInstructions);
        EXPECT_TRUE(m->inputRefresh);
    }
}

TEST(Interpreter, UntimedInstructionCountCarriesAcrossSlices) {
    // Each slice runs add, yield; the 201st instruction overall sets the input-refresh flag.
    Assembler a;
    a.label("top").op(kAdd, {intVar(0), intConst(1)}).op(kYield).op(kJump, {codePos("top")});
    auto m = machineWith(a.build());
    runSlice(*m);
    m->timedSlices = false;
    uint64_t before = 0;
    for (int slice = 0; slice < 200 && !m->inputRefresh; ++slice) {
        before = m->instructionsExecuted;
        runSlice(*m);
    }
    ASSERT_TRUE(m->inputRefresh);
    EXPECT_LT(before, 201u);
    EXPECT_GE(m->instructionsExecuted, 201u);
    runSlice(*m);
    EXPECT_FALSE(m->inputRefresh) << "every slice starts with the flag cleared";
}

TEST(Interpreter, DebugModeTracesEveryInstructionBeforeItRuns) {
    Assembler a;
    a.op(kSet, {intVar(0), intConst(5)}).op(kJump, {codePos("end")}).op(kSet, {intVar(0), intConst(6)});
    a.label("end").op(kEnd);
    auto m = machineWith(a.build());
    std::vector<std::pair<int, int>> trace;
    m->debugMode = true;
    m->traceInstruction = [&trace](int position, int code) { trace.emplace_back(position, code); };
    runToEnd(*m);
    std::vector<std::pair<int, int>> expected = {{0, kSet}, {3, kJump}, {8, kEnd}};
    EXPECT_EQ(trace, expected);
}

TEST(Interpreter, ResetStartsTheRunAfresh) {
    auto m = machineWith(countingLoop(10).build());
    runToEnd(*m);
    m->errorCode = 5;
    m->depth = 3;
    m->dataPointer = 4;
    m->autoRefresh = false;
    m->timedSlices = false;
    m->sliceBudgetMs = 1;
    static int hookCalls = 0;
    m->runStartHooks.push_back([](Machine&) { ++hookCalls; });
    resetForRun(*m);
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(m->pc, m->program.code.data());
    EXPECT_TRUE(m->endSlice);
    EXPECT_TRUE(m->autoRefresh && m->timedSlices);
    EXPECT_EQ(m->sliceBudgetMs, 33);
    EXPECT_EQ(m->errorCode, 0);
    EXPECT_EQ(m->depth, 0);
    EXPECT_EQ(m->dataPointer, 0);
    EXPECT_FALSE(m->quitPosted || m->programEnded);
    EXPECT_LE(m->frames.size(), size_t(kCallStackSize));
}

namespace {
void first(Machine&) {}
void second(Machine&) {}
}  // namespace

TEST(Dispatch, RegistrationRejectsBadTablesWithoutChangingAnything) {
    struct Case {
        const char* name;
        std::vector<CommandEntry> entries;
        bool accepted;
    };
    const Case cases[] = {
        {"two new codes", {{9801, &first, "a"}, {9802, &second, "b"}}, true},
        {"code 0 is the final word", {{9803, &first, "a"}, {0, &first, "zero"}}, false},
        {"past the last code", {{9804, &first, "a"}, {9996, &first, "big"}}, false},
        {"negative", {{9805, &first, "a"}, {-1, &first, "neg"}}, false},
        {"duplicate inside the table", {{9806, &first, "a"}, {9806, &second, "again"}}, false},
        {"code already registered", {{9807, &first, "a"}, {9801, &second, "taken"}}, false},
        {"no handler", {{9808, nullptr, "none"}}, false},
        {"the last code", {{9995, &first, "switch"}}, true},
    };
    auto m = createMachine();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(registerCommands(*m, c.entries.data(), c.entries.size()), c.accepted);
        for (const CommandEntry& e : c.entries) {
            if (e.code < 0 || e.code > kMaxCommandCode) continue;
            if (c.accepted) {
                EXPECT_EQ(handlerOf(*m, e.code), e.handler);
            } else if (e.code != 9801) {
                EXPECT_EQ(handlerOf(*m, e.code), nullptr) << e.code;
            }
        }
    }
    EXPECT_EQ(handlerOf(*m, 9801), &first);
    EXPECT_TRUE(hasHandler(*m, 9801));
    EXPECT_FALSE(hasHandler(*m, 156));
    EXPECT_EQ(handlerOf(*m, 0), nullptr);
    EXPECT_STREQ(m->meanings[9801], "a");
    EXPECT_STREQ(m->meanings[9995], "switch");
    for (int rejected : {9803, 9806, 9807, 9808}) EXPECT_EQ(m->meanings[rejected], nullptr) << rejected;
}
