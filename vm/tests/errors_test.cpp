#include <gtest/gtest.h>

#include <set>

#include "vm/tests/vm_test_support.h"

using namespace vm;
using namespace vm::assembly;
using namespace vm::testing;

TEST(Errors, CodesMapToTheirMessageSlots) {
    const std::pair<int, int> cases[] = {
        {0, 1},      {3, 4},      {4, -1},     {21, 5},     {101, 6},    {102, 7},    {111, 16},
        {115, 20},   {116, -1},   {1014, 173}, {3008, 177}, {3201, 76},  {7009, 108}, {7010, 107},
        {7021, 100}, {7027, 106}, {7028, 133}, {7031, 130}, {7029, -1},  {8305, 188}, {9014, 155},
        {10001, 161}, {10005, 165}, {10007, 167}, {10006, -1}, {10008, -1}, {10009, -1}, {10010, -1},
        {-1, -1},    {99999, -1},
    };
    for (auto [code, slot] : cases) EXPECT_EQ(errorSlot(code), slot) << code;

    // No two codes share a slot, and every slot lies inside the 200 ErrorTexts.
    std::set<int> used;
    for (int code = -10; code < 20000; ++code) {
        int slot = errorSlot(code);
        if (slot < 0) continue;
        EXPECT_LT(slot, 200) << code;
        EXPECT_TRUE(used.insert(slot).second) << "slot " << slot << " used twice, again by " << code;
    }
}

TEST(Errors, MessagesAreComposedFromKindSlotAndEngineDetail) {
    struct Case {
        int code;
        bool warning;
        const char* detail;
        bool languageLoaded;
        const char* expected;
    };
    const Case cases[] = {
        {102, false, "", false, "Runtime Error : ERROR 7. "},
        {111, true, "", false, "Runtime Warning : ERROR 16. "},
        {10005, false, "no 3D device", false, "System Error : ERROR 165. no 3D device"},
        {10010, false, "", false, "System Error : . "},
        {9999, false, "", false, "Runtime Error : . "},
        {105, false, "", true, "Runtime Error : File does not exist. "},
        {106, false, "", true, "Runtime Error : ERROR 11. "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        auto m = createMachine();
        if (c.languageLoaded) setErrorTexts(*m, {{10, "File does not exist"}, {500, "ignored"}, {-1, "ignored"}});
        m->errorCode = c.code;
        m->warning = c.warning;
        m->engineDetail = c.detail;
        EXPECT_EQ(composeMessage(*m), c.expected);
    }
}

TEST(Errors, RaiseRecordsTheCodeAndRecoverableCodesDependOnTheRun) {
    struct Case {
        int code;
        bool recoverablePath;  // raised through raiseRecoverable
        bool standalone;
        bool ends;
        bool warning;
        bool programEnded;
    };
    const Case cases[] = {
        {105, false, false, true, false, true},  {105, false, true, true, false, true},
        {2007, false, false, true, true, false}, {2007, false, true, false, false, false},
        {9011, false, false, true, true, false}, {111, true, false, true, true, false},
        {111, true, true, false, false, false},  {105, true, false, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.code << (c.recoverablePath ? " recoverable" : "")
                                          << (c.standalone ? " standalone" : ""));
        auto m = createMachine();
        FakePlatform platform;
        m->platform = &platform;
        m->standaloneRun = c.standalone;
        m->endSlice = false;
        if (c.recoverablePath)
            raiseRecoverable(*m, c.code);
        else
            raise(*m, c.code);
        EXPECT_EQ(m->errorCode, c.ends ? c.code : 0);
        EXPECT_EQ(m->endSlice, c.ends);
        EXPECT_EQ(platform.quit, c.ends);
        EXPECT_EQ(m->warning, c.warning);
        EXPECT_EQ(m->programEnded, c.programEnded);
    }
    EXPECT_TRUE(isRecoverable(3507));
    EXPECT_FALSE(isRecoverable(3506));
}

TEST(Errors, TheLastOfSeveralRaisesStays) {
    auto m = createMachine();
    raise(*m, 105);
    raise(*m, 2009);
    EXPECT_EQ(m->errorCode, 2009);
    EXPECT_TRUE(m->warning);
}

namespace {

// kRaise with its own operand, then words that the dump reads as operands 2 to 10.
std::unique_ptr<Machine> dumpProgram() {
    Assembler a;
    a.line(4).op(kRaise, {intConst(105)});
    a.words({intVar(1), realVar(0), strVar(0), realConst(2.5f), strConst("hi"), codeAt(0), dataPos(1), raw(0),
             intTemp(3)});
    auto m = machineWith(a.build());
    m->cells[3001].i = -17;
    m->cells[5000].f = 0.125f;
    setString(m->cells[7000], "name");
    m->cells[3].i = 99;
    return m;
}

}  // namespace

TEST(Errors, DumpDescribesTheFailingInstructionsCells) {
    auto m = dumpProgram();
    m->internalDetailCode = 12;
    EXPECT_EQ(errorDump(*m, m->program.code.data()),
              "Line Number:4\nCommand Number:9705\nInternal Error Code:12\n"
              "P1:105\nP2:-17\nP3:0.125\nP4:name\nP5:2.5\nP6:hi\n");
    EXPECT_EQ(errorDump(*m, &m->program.code[9]), "") << "a 0 command word makes no dump";
    EXPECT_EQ(errorDump(*m, nullptr), "");
}

TEST(Errors, DumpUsesTheVocabularyWhenOneIsLoaded) {
    auto m = dumpProgram();
    m->commandNames = [](int code, std::string* name, std::string* signature) {
        if (code != kRaise) return false;
        *name = "raise test";
        *signature = "lfl";  // P2 is read as a real, P3 as an integer; P4 on have no letter
        return true;
    };
    m->cells[3001].f = 1.5f;
    EXPECT_EQ(errorDump(*m, m->program.code.data()),
              "Line Number:4\nCommand Number:9705\nName:raise test\nP1:105\nP2:1.5\nP3:1040187392\n");
}

TEST(Errors, RuntimeTestModePutsTheDumpOnTheClipboard) {
    for (bool clipboardWorks : {true, false}) {
        SCOPED_TRACE(clipboardWorks);
        auto m = dumpProgram();
        FakePlatform platform;
        platform.clipboardWorks = clipboardWorks;
        m->platform = &platform;
        m->runtimeTestMode = true;
        runToEnd(*m);
        EXPECT_EQ(m->errorCode, 105);
        std::string expected = clipboardWorks ? errorDump(*m, m->program.code.data()) : "";
        EXPECT_EQ(platform.clipboard, expected);
        EXPECT_EQ(m->errorDumpText, expected);
    }
}

TEST(Errors, ARaiseAfterMovingPastTheOperandsDumpsFromTheLastOperand) {
    Assembler a;
    a.line(2).op(kRaiseLate, {intConst(106)}).op(kEnd);
    auto m = machineWith(a.build());
    m->runtimeTestMode = true;
    runToEnd(*m);
    EXPECT_EQ(m->errorCode, 106);
    EXPECT_EQ(m->errorDumpText.rfind("Line Number:2\nCommand Number:19000\n", 0), 0u) << m->errorDumpText;
}
