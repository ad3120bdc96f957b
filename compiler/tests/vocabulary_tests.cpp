// The vocabulary text, word splitting, command matching and entry selection.
#include "compile_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace compiler::testing {
namespace {

TEST(Vocabulary, ParsesEntriesRemarksAndFunctions) {
    Vocabulary v;
    v.parse("; a remark%1%l\r\n\r\n  \r\nMove  Fast%1001%L L\r\nmove%1000%l\r\nFoo[%300%LLs\r\nnolinebreak%5%0");
    ASSERT_EQ(v.commands().size(), 3u);
    EXPECT_EQ(v.commands()[0].name, "move fast");
    EXPECT_EQ(v.commands()[0].signature, "ll");
    EXPECT_EQ(v.commands()[0].code, 1001);
    ASSERT_EQ(v.functions().size(), 1u);
    EXPECT_EQ(v.functions()[0].name, "foo");
    EXPECT_EQ(v.functions()[0].signature, "lls");
    EXPECT_EQ(v.firstCommand("nolinebreak"), 2);
    EXPECT_EQ(v.commandByCode(1000), 1);
    EXPECT_EQ(v.commandByCode(4), -1);
}

TEST(Vocabulary, FunctionWithoutAResultTypeIsNoEntry) {
    // A function line with nothing after its code in an installed vocabulary.txt: every choice among
    // a function's entries reads the result type first, so such a line is left out, not compiled with.
    Vocabulary v;
    v.parse(std::string(Vocabulary::builtInText()) + "\r\nhalf[%5%\r\n+[%6%  \r\n");
    EXPECT_TRUE(v.functionsNamed("half").empty());
    for (int j : v.functionsNamed("+")) EXPECT_FALSE(v.functions()[j].signature.empty());
    EXPECT_EQ(codeOf("a=1+2", v), codeOf("a=1+2"));
    EXPECT_FALSE(compileText("a=half(1)", v).ok);
}

TEST(Vocabulary, BuiltInHoldsTheRowsTheCompilerReliesOn) {
    const Vocabulary& v = builtInVocabulary();
    struct Row {
        bool function;
        const char* name;
        const char* signature;
        int code;
    } rows[] = {
        {false, "if", "l", 1},        {false, "else", "0", 2},      {false, "endif", "0", 3},
        {false, "do", "0", 4},        {false, "exit", "0", 5},      {false, "loop", "0", 6},
        {false, "for", "lll", 7},     {false, "next", "l", 8},      {false, "while", "l", 9},
        {false, "endwhile", "0", 10}, {false, "repeat", "0", 11},   {false, "until", "l", 12},
        {false, "restore", "a", 31},  {false, "restore", "0", 32},  {false, "read", "l", 33},
        {false, "read", "f", 34},     {false, "read", "s", 35},     {false, "endfunction", "0", 22},
        {false, "endfunction", "l", 23}, {false, "endfunction", "f", 24}, {false, "endfunction", "s", 25},
        {false, "=", "ll", 151},      {false, "=", "ff", 152},      {false, "=", "ss", 153},
        {false, "@=", "lll", 561},    {false, "@=", "flf", 566},    {false, "@=", "sls", 571},
        {false, "@=", "fll", 576},    {false, "dim", "ll", 501},    {false, "dim", "fl", 511},
        {false, "dim", "sl", 521},    {false, "undim", "l", 506},   {false, "remstart", "e", 401},
        {false, "remend", "e", 402},  {true, "^", "lll", 51},       {true, "^", "fff", 52},
        {true, "^", "flf", 53},       {true, "^", "ffl", 54},       {true, "/", "lll", 61},
        {true, "/", "fff", 66},       {true, "*", "lll", 71},       {true, "*", "flf", 74},
        {true, "+", "lll", 81},       {true, "+", "sss", 87},       {true, "-", "lll", 91},
        {true, "-", "sss", 97},       {true, "==", "lll", 101},     {true, "==", "lss", 103},
        {true, "==", "llf", 131},     {true, ">", "lll", 111},      {true, ">", "lss", 143},
        {true, ">=", "lfl", 136},     {true, "<", "lss", 144},      {true, "<=", "llf", 139},
        {true, "!", "lss", 121},      {true, "!", "lfl", 142},      {true, "&", "lll", 123},
        {true, "|", "lll", 124},      {true, "@", "lll", 661},      {true, "@", "ffl", 666},
        {true, "@", "ssl", 671},      {true, "@", "sslllll", 675},
    };
    for (const Row& row : rows) {
        const auto& table = row.function ? v.functions() : v.commands();
        const auto& named = row.function ? v.functionsNamed(row.name) : v.commandsNamed(row.name);
        bool found = false;
        for (int i : named) found = found || (table[i].signature == row.signature && table[i].code == row.code);
        EXPECT_TRUE(found) << row.name << " " << row.signature << " " << row.code;
    }
    for (const char* name : {"data", "#include", "print", "printc", "input", "end"})
        EXPECT_GE(v.firstCommand(name), 0) << name;
    for (int code : {41, 42, 43, 27, 28, 29, 30}) EXPECT_GE(v.commandByCode(code), 0) << code;
}

TEST(Vocabulary, TablesWrittenAtBuildTimeMatchTheParsedText) {
    // The program starts with tables written out when it was built; they must say exactly what
    // parsing the same text says, entry by entry and look-up by look-up.
    const Vocabulary built = Vocabulary::builtIn();
    const Vocabulary& parsed = builtInVocabulary();
    for (bool function : {false, true}) {
        auto a = function ? built.functions() : built.commands();
        auto b = function ? parsed.functions() : parsed.commands();
        ASSERT_EQ(a.size(), b.size());
        for (size_t i = 0; i < a.size(); ++i) {
            SCOPED_TRACE(std::string(b[i].name) + " " + std::string(b[i].signature));
            EXPECT_EQ(a[i].name, b[i].name);
            EXPECT_EQ(a[i].signature, b[i].signature);
            EXPECT_EQ(a[i].code, b[i].code);
            EXPECT_EQ(a[i].group, b[i].group);
            EXPECT_EQ(a[i].runEnd, b[i].runEnd);
            EXPECT_EQ(a[i].structureKeyword, b[i].structureKeyword);
            auto namedA = function ? built.functionsNamed(a[i].name) : built.commandsNamed(a[i].name);
            auto namedB = function ? parsed.functionsNamed(b[i].name) : parsed.commandsNamed(b[i].name);
            EXPECT_TRUE(std::equal(namedA.begin(), namedA.end(), namedB.begin(), namedB.end()));
            if (!function) {
                EXPECT_EQ(built.commandByCode(a[i].code), parsed.commandByCode(b[i].code));
            }
        }
    }
    EXPECT_EQ(built.arrayReadFunction(), parsed.arrayReadFunction());
    EXPECT_EQ(built.longestCommandWords(), parsed.longestCommandWords());
    for (const char* absent : {"", "no such command", "prin", "printx", "PRINT"}) {
        EXPECT_TRUE(built.commandsNamed(absent).empty()) << absent;
        EXPECT_TRUE(built.functionsNamed(absent).empty()) << absent;
    }
}

TEST(Vocabulary, ACopyKeepsItsParsedTablesWhenTheOriginalIsGone) {
    Vocabulary copy;
    {
        Vocabulary original;
        original.parse("Move  It%1000%L\r\nTwice[%1001%ll\r\n");
        copy = original;
        original.parse("other%1%0");
    }
    ASSERT_EQ(copy.commands().size(), 1u);
    EXPECT_EQ(copy.commands()[0].name, "move it");
    EXPECT_EQ(copy.firstCommand("move it"), 0);
    EXPECT_EQ(copy.firstFunction("twice"), 0);
    EXPECT_EQ(copy.functions()[0].signature, "ll");
}

TEST(Vocabulary, EveryCodeHasOneSignature) {
    // A command may carry a second code under the same name (for diagnostics), but one code never
    // stands for two operand layouts: the interpreter reads its operands by the code alone.
    const Vocabulary& v = builtInVocabulary();
    for (bool function : {false, true}) {
        std::map<int, std::string> signatureOfCode;
        for (const auto& entry : function ? v.functions() : v.commands()) {
            if (entry.signature[0] == 'e') continue;
            auto [codeIt, freshCode] = signatureOfCode.emplace(entry.code, entry.signature);
            EXPECT_TRUE(freshCode || codeIt->second == entry.signature)
                << "code " << entry.code << " has signatures " << codeIt->second << " and " << entry.signature;
        }
    }
}

TEST(Tokenising, SplitsWordsAtBlanksAndColonsOutsideQuotes) {
    struct Case {
        const char* statement;
        std::vector<std::string> words;
    } cases[] = {
        {"print  \"a  b\" ;c", {"print", "\"a  b\"", ";c"}},
        {"a:b", {"a", ":b"}},
        {"select x : print", {"select", "x", ":", "print"}},
        {"\tif a then", {"if", "a", "then"}},
        {"print \"x:y\"", {"print", "\"x:y\""}},
    };
    for (const Case& c : cases) EXPECT_EQ(splitWords(c.statement), c.words) << c.statement;
}

TEST(Tokenising, LongestCommandNameWinsAndBlanksBetweenWordsDoNotMatter) {
    Vocabulary v;
    std::string text(Vocabulary::builtInText());
    v.parse(text + "\r\nmove%1000%l\r\nmove fast%1001%l\r\nshow it%1002%0\r\n");
    EXPECT_EQ(codeOf("move 1", v), "1000 19000");
    EXPECT_EQ(codeOf("move fast 1", v), "1001 19000");
    EXPECT_EQ(codeOf("move    fast 1", v), "1001 19000");
    EXPECT_EQ(codeOf("show   it", v), "1002");
    // A command written directly before a parenthesis is not recognised.
    EXPECT_EQ(errorOf("move(1)", v), "29@1");
}

TEST(Tokenising, EntrySelectionConvertsNumbersOnlyWhereNoEntryFits) {
    Vocabulary v;
    std::string text(Vocabulary::builtInText());
    v.parse(text + "\r\nonlyreal%1100%f\r\nboth%1101%l\r\nboth%1102%f\r\ntwice[%1103%ll\r\ntwice[%1104%ff\r\n");
    EXPECT_EQ(codeOf("onlyreal 1", v), "155 11000 19000 1100 11000");
    EXPECT_EQ(codeOf("both 1", v), "1101 19000");
    EXPECT_EQ(codeOf("both 1.5", v), "1102 21000");
    EXPECT_EQ(errorOf("onlyreal \"x\"", v), "37@1");
    // A nested call takes the entry whose result fits the parameter it is passed to.
    EXPECT_EQ(codeOf("onlyreal twice(1.5)", v), "1104 11000 21000 1100 11000");
}

}  // namespace
}  // namespace compiler::testing
