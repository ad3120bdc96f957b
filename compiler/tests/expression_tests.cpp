// Expressions and statements compile to the expected code words (operand indexes by range:
// 100xx integer temporaries, 110xx real temporaries, 130xx integer variables, 190xx integer
// constants, 210xx real constants, 230xx string constants, 37xxx code positions).
#include "compile_helpers.h"

#include <gtest/gtest.h>

namespace compiler::testing {
namespace {

struct CodeCase {
    const char* source;
    const char* words;
};

class ExpressionCode : public ::testing::TestWithParam<CodeCase> {};

TEST_P(ExpressionCode, CompilesToTheseWords) { EXPECT_EQ(codeOf(GetParam().source), GetParam().words) << GetParam().source; }

INSTANTIATE_TEST_SUITE_P(
    Table, ExpressionCode,
    ::testing::Values(
        CodeCase{"a=1", "151 13000 19000"},
        // Each operator has its own level: / before *, + before -.
        CodeCase{"print 2*3/4", "61 10000 19000 19001 71 10001 19002 10000 301 10001"},
        CodeCase{"print 10-4+1", "81 10000 19000 19001 91 10001 19002 10000 301 10001"},
        CodeCase{"print (2*3)/4", "71 10000 19000 19001 61 10001 10000 19002 301 10001"},
        CodeCase{"print 10-4-1", "91 10000 19000 19001 91 10001 10000 19002 301 10001"},
        // A minus at the start or after an operator belongs to the literal.
        CodeCase{"print -5*3", "71 10000 19000 19001 301 10000"},
        CodeCase{"print 3*-5", "71 10000 19000 19001 301 10000"},
        CodeCase{"print 2^3", "51 10000 19000 19001 301 10000"},
        // Mixed operands pick the mixed entry; no conversion instruction.
        CodeCase{"print 1+2.5", "84 11000 19000 21000 302 11000"},
        // Assignments convert the value to the variable's type.
        CodeCase{"x#=1", "155 11000 19000 152 15000 11000"},
        CodeCase{"a=2.7", "154 10000 21000 151 13000 10000"},
        CodeCase{"a$=\"hi\"+\"x\"", "87 12000 23000 23001 153 17000 12000"},
        // An integer literal used twice is one constant; two equal texts are two constants.
        CodeCase{"a=5+5", "81 10000 19000 19000 151 13000 10000"},
        CodeCase{"a$=\"x\"+\"x\"", "87 12000 23000 23001 153 17000 12000"},
        // = inside a value compares; comparisons give integers.
        CodeCase{"a=b=c", "101 10000 13001 13002 151 13000 10000"},
        CodeCase{"a=b>=c", "113 10000 13001 13002 151 13000 10000"},
        CodeCase{"a=b=>c", "113 10000 13001 13002 151 13000 10000"},
        // Condition words only in structure keywords.
        CodeCase{"if a<>b and c\nendif", "119 10000 13000 13001 123 10001 10000 13002 1 10001 37011"},
        // Functions: an integer argument is kept where an integer entry exists, converted otherwise.
        CodeCase{"print sqrt(16)", "258 11000 19000 302 11000"},
        CodeCase{"print str$(2.5)", "311 12000 21000 303 12000"},
        CodeCase{"print abs(3)", "155 11000 19000 368 11001 11000 302 11001"},
        CodeCase{"print len(\"abc\")", "234 10000 23000 301 10000"},
        // Arrays: dim, element store and element read.
        CodeCase{"dim a(3)\na(2)=5", "501 13000 19000 561 13000 19001 19002"},
        CodeCase{"dim b#(2,3)\nprint b#(1,2)", "512 15000 19000 19001 667 11000 15000 19002 19000 302 11000"},
        CodeCase{"dim n$(3)\nprint n$(3)", "521 17000 19000 671 12000 17000 19000 303 12000"},
        CodeCase{"dim r#(3)\nr#(1)=2", "511 15000 19000 576 15000 19001 19002"},
        CodeCase{"dim c(3)\nundim c", "501 13000 19000 506 13000"},
        // score# and score are different variables.
        CodeCase{"score=1\nscore#=2.0", "151 13000 19000 152 15000 21000"}));

TEST(ExpressionCode, UserFunctionCallHeaderAndReturn) {
    EXPECT_EQ(codeOf("x=f(2)\nend\nfunction f(n)\nendfunction n*2"),
              "21 37010 10000 19000 19001 151 13000 10000 213 26 13001 1 71 10050 13001 19001 23 10050");
}

TEST(ExpressionCode, FunctionsKeepTheirOwnVariables) {
    CompileResult result = compileText("i=1\nx=f(1)+g(1)\nend\nfunction f(a)\ni=2\nendfunction i\n"
                                       "function g(a)\ni=3\nendfunction i\n");
    ASSERT_TRUE(result.ok) << result.message;
    // Owner tables: i (main), x, a and i of f, a and i of g.
    size_t owners = static_cast<size_t>(imageWord(result.image, 7) - imageWord(result.image, 11));
    ASSERT_EQ(imageWord(result.image, owners), 6);
    std::vector<int32_t> expected{0, 0, 1, 1, 2, 2};
    for (size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(imageWord(result.image, owners + 1 + k), expected[k]);
}

TEST(ExpressionCode, FunctionSeesMainArrayButNotMainVariables) {
    CompileResult result = compileText("dim a(3)\nv=1\nx=f()\nend\nfunction f()\nv=a(1)\nendfunction v\n");
    ASSERT_TRUE(result.ok) << result.message;
    std::string words = codeWords(result.image);
    // Inside f the element read uses the main program's array a (13000) and f's own v (13003).
    EXPECT_NE(words.find("661 10050 13000 19001 151 13003 10050"), std::string::npos) << words;
}

TEST(ExpressionCode, ControlStructureShapes) {
    struct Case {
        const char* source;
        const char* words;
    } cases[] = {
        {"if a\nprint 1\nelse\nprint 2\nendif", "1 13000 37007 301 19000 2 37009 301 19001"},
        {"if a then print 1 else print 2", "1 13000 37007 301 19000 2 37009 301 19001"},
        {"do\nexit\nloop", "5 37004 6 37000"},
        {"while a\nif a then exit\nendwhile", "9 13000 37010 1 13000 37008 5 37010 10 37000"},
        {"repeat\ninc a\nuntil a", "412 13000 12 13000 37000"},
        // for: v = start - step, then the for step runs before the body; next jumps to the for.
        {"for i=1 to 3\nnext i", "91 10000 19000 19000 151 13000 10000 7 13000 19001 19000 37015 8 13000 37007"},
    };
    for (const Case& c : cases) EXPECT_EQ(codeOf(c.source), c.words) << c.source;
}

TEST(ExpressionCode, PrintAndInputSeparators) {
    struct Case {
        const char* source;
        const char* words;
    } cases[] = {
        {"print 1;2", "305 19000 301 19001"},
        {"print 1,2", "305 19000 301 19001"},
        {"print 1;", "305 19000"},
        {"print \"a;b\"", "303 23000"},
        {"print : print 1", "304 301 19000"},
        {"input \"n? \";n$", "307 23000 352 17000"},
        {"read a,b#", "33 13000 34 15000"},
    };
    for (const Case& c : cases) EXPECT_EQ(codeOf(c.source), c.words) << c.source;
}

TEST(ExpressionCode, SelectRunsEveryMatchingCaseAndDefaultOnlyWithoutMatch) {
    // welldone... is 13000, a is 13001.
    EXPECT_EQ(codeOf("select a\ncase 1,2\nendcase\ncase default\nendcase\nendselect"),
              "151 13000 19000 101 10000 13001 19001 101 10001 13001 19002 124 10002 10000 10001 1 10002 37021 "
              "151 13000 19001 101 10000 13000 19000 1 10000 37028");
}

TEST(ExpressionCode, DataRestoreAndLabels) {
    CompileResult result = compileText("restore two\ngoto done\ndata 1\ntwo:\ndata 2.5,\"x\"\ndone:\n");
    ASSERT_TRUE(result.ok) << result.message;
    // restore to the DATA position of `two` (one item before it), goto the code position of `done`.
    EXPECT_EQ(codeWords(result.image), "31 25001 42 37004 213");
    EXPECT_EQ(imageWord(result.image, 6), 3);
}

TEST(ExpressionCode, LabelUsedByRestoreAndGotoResolvesEachByItsUse) {
    CompileResult result = compileText("restore here\ngoto here\ndata 1\nhere:\ndata 2\n");
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(codeWords(result.image), "31 25001 42 37004 213");
}

TEST(ExpressionCode, LineWordsFollowTheSource) {
    CompileResult result = compileText("a=1\n\nprint a\n");
    ASSERT_TRUE(result.ok);
    std::vector<int32_t> expected{1, 1, 1, 3, 3, 5, 5};
    EXPECT_EQ(lineWords(result.image), expected);
}

TEST(ExpressionCode, CapitalsCompileLikeSmallLettersButTextsKeepTheirCase) {
    EXPECT_EQ(codeOf("PRINT A+B"), codeOf("print a+b"));
    CompileResult result = compileText("PRINT \"Hello World\"");
    ASSERT_TRUE(result.ok);
    std::string image(result.image.begin(), result.image.end());
    EXPECT_NE(image.find("Hello World"), std::string::npos);
}

TEST(ExpressionCode, RemarksAndSkipBlocks) {
    EXPECT_EQ(codeOf("rem print 1\n`print 2\nprint 3 : rem x\nremstart\nthis is not code ((\nremend\nprint 4"),
              "301 19000 301 19001");
}

}  // namespace
}  // namespace compiler::testing
