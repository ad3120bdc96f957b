// Every compiler message a program can reach, with the line it is reported at.
#include "compile_helpers.h"

#include <gtest/gtest.h>

namespace compiler::testing {
namespace {

std::string repeated(const std::string& piece, int count, const std::string& separator = "") {
    std::string out;
    for (int i = 0; i < count; ++i) out += (i ? separator : "") + piece;
    return out;
}

struct ErrorCase {
    const char* name;
    std::string source;
    const char* expected;  // "key@line"
};

class CompilerMessages : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(CompilerMessages, ReportsKeyAtLine) { EXPECT_EQ(errorOf(GetParam().source), GetParam().expected) << GetParam().source; }

INSTANTIATE_TEST_SUITE_P(
    Table, CompilerMessages,
    ::testing::Values(
        ErrorCase{"NotEqualOutsideCondition", "a=1\nprint a<>b", "22@2"},
        ErrorCase{"OperatorWithoutOperand", "print 1+", "22@1"},
        ErrorCase{"AndWordOutsideCondition", "a=b and c", "22@1"},
        ErrorCase{"CaseValuesWithBlankAfterComma", "select a\ncase 1, 2\nendcase\nendselect", "22@2"},
        ErrorCase{"BadOperandCharacter", "print a.b!", "22@1"},
        ErrorCase{"UnbalancedParentheses", "a=(1+2", "23@1"},
        ErrorCase{"UnbalancedCallParentheses", "a=sin(1", "23@1"},
        ErrorCase{"BadLabelName", "goto a-b", "24@1"},
        ErrorCase{"ThirtyThreeArguments", "x=sin(" + repeated("1", 33, ",") + ")", "25@1"},
        ErrorCase{"LabelTwice", "here:\nhere:", "26@2"},
        ErrorCase{"FunctionTwice", "end\nfunction f()\nendfunction\nfunction f()\nendfunction", "27@4"},
        ErrorCase{"NotAStatement", "hello world", "29@1"},
        ErrorCase{"SpaceBeforeElementIsNoAssignment", "dim a(3)\na (3)=5", "29@2"},
        ErrorCase{"IfWithoutThenPart", "if a>1 then", "30@1"},
        ErrorCase{"ForWithoutEquals", "for i 1 to 10", "31@1"},
        ErrorCase{"DimSixDimensions", "dim a(1,2,3,4,5,6)", "32@1"},
        ErrorCase{"DimBadSize", "dim a(\"x\")", "32@1"},
        ErrorCase{"EndifWithoutIf", "endif", "34@1"},
        ErrorCase{"SecondElse", "if 1\nelse\nelse\nendif", "34@3"},
        ErrorCase{"ExitOutsideLoop", "if 1\nexit\nendif", "34@2"},
        ErrorCase{"WrongCloser", "do\nnext i", "34@2"},
        ErrorCase{"DataExpression", "data 1+2", "36@1"},
        ErrorCase{"DataName", "data abc", "36@1"},
        ErrorCase{"DataTwoDots", "data 1.2.3", "36@1"},
        ErrorCase{"CommandParameterTypes", "wait \"x\"", "37@1"},
        ErrorCase{"AssignmentTypes", "a$=5", "37@1"},
        ErrorCase{"NextWithoutVariable", "for i=1 to 2\nnext", "37@2"},
        ErrorCase{"FunctionArgumentTypes", "print sin(\"x\")", "11@1"},
        ErrorCase{"UserFunctionArgumentTypes", "x#=area#(1,2.0)\nend\nfunction area#(w#,h#)\nendfunction w#*h#", "17@1"},
        ErrorCase{"UserFunctionIntegerParameterGetsReal", "x=f(1.5)\nend\nfunction f(a)\nendfunction a", "17@1"},
        ErrorCase{"FunctionWithoutName", "function (a)\nendfunction", "38@1"},
        ErrorCase{"FunctionParameterNotAName", "function f(a+b)\nendfunction", "38@1"},
        ErrorCase{"BadEndfunctionValue", "end\nfunction f()\nendfunction )(", "39@3"},
        ErrorCase{"EndfunctionOutsideFunction", "endfunction", "40@1"},
        ErrorCase{"LineOf255", "print \"" + std::string(247, 'x') + "\"", "43@1"},
        ErrorCase{"LineOf256", "print \"" + std::string(248, 'x') + "\"", "41@1"},
        ErrorCase{"LabelNeverDefined", "print 1\ngoto nowhere", "48@2"},
        ErrorCase{"LabelOfFunctionFromMain", "goto inner\nend\nfunction f()\ninner:\nendfunction", "48@1"},
        ErrorCase{"ArrayWithoutDim", "x(1)=2", "49@1"},
        ErrorCase{"StructureLeftOpen", "if 1", "50@2"},
        ErrorCase{"StructureLeftOpenLastLine", "do\nprint 1\n", "50@4"},
        ErrorCase{"CaseOutsideSelect", "case 1", "51@1"},
        ErrorCase{"SelectWithBlanks", "select a + b", "51@1"},
        ErrorCase{"SelectInsideSelect", "select a\nselect b", "51@2"},
        ErrorCase{"CaseAfterDefault", "select a\ncase default\nendcase\ncase 1", "52@4"},
        ErrorCase{"ForElementCounter", "dim a(3)\nfor a(1)=1 to 3\nnext i", "57@2"},
        ErrorCase{"ForStringCounter", "for i$=1 to 3\nnext i", "57@1"},
        ErrorCase{"ReadIntoLiteral", "data 9\nread 5", "58@2"},
        ErrorCase{"ReadIntoUserFunctionResult", "read f(1)\nend\nfunction f(a)\nendfunction a", "58@1"},
        ErrorCase{"AssignmentToComputedValue", "x+1=7", "29@1"},
        ErrorCase{"EarlyReturnOfNumberFromTextFunction", "end\nfunction f$()\nexitfunction 1\nendfunction \"a\"", "59@3"},
        ErrorCase{"TooManyTemporariesInFunction",
                  "end\nfunction f(a)\nb=" + repeated("a", 52, "+") + "\nendfunction", "53@3"},
        ErrorCase{"TooManyRealTemporariesInFunction",
                  "end\nfunction f(a)\nb#=" + repeated("a*1.0", 26, "+") + "\nendfunction", "53@3"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CompilerMessages, LineOf254Compiles) {
    EXPECT_EQ(errorOf("print \"" + std::string(246, 'x') + "\""), "ok");
}

TEST(CompilerMessages, FiftyTemporariesInAFunctionStillCompile) {
    // a+a+... with 50 additions uses exactly the function's block.
    EXPECT_EQ(errorOf("end\nfunction f(a)\nb=" + repeated("a", 51, "+") + "\nendfunction"), "ok");
}

TEST(CompilerMessages, EndOfCompileMessagesNameTheLine) {
    CompileResult result = compileText("print 1\ngoto nowhere");
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.message, compilerMessage(48) + " " + compilerMessage(47) + " 2");
    EXPECT_EQ(result.file, "test.qxa");
}

TEST(CompilerMessages, NoFittingEntryNamesTheExpectedTypes) {
    CompileResult result = compileText("wait \"x\"");
    EXPECT_EQ(result.message, compilerMessage(37) + " wait " + compilerMessage(12) + " " + compilerMessage(6));
    result = compileText("a$=5");
    EXPECT_EQ(result.message, compilerMessage(37) + " " + compilerMessage(14));
    result = compileText("print nosuchfunction$(\"x\")");
    EXPECT_EQ(result.message, compilerMessage(11) + " " + compilerMessage(16));
}

}  // namespace
}  // namespace compiler::testing
