// Whole listings through the loader and the disassembler: the compiled program as the interpreter
// sees it, operands relocated ("iv" integer variable, "rt" real temporary, "@" code position, ...).
#include "compile_helpers.h"

#include "vm/disassembler.h"
#include "vm/machine.h"

#include <gtest/gtest.h>

namespace compiler::testing {
namespace {

std::string listing(const std::string& source) {
    CompileResult result = compileText(source);
    if (!result.ok) return result.message;
    auto machine = vm::createMachine();
    std::string why;
    if (!vm::loadImage(*machine, result.image.data(), result.image.size(), &why)) return "load failed: " + why;
    return vm::disassemble(*machine);
}

TEST(Listing, ForLoopWithOneLineIf) {
    EXPECT_EQ(listing("a=1\nfor i=1 to 3\nif i>a then print i\nnext i\n"), R"(    0 [1] 151 int d = a: iv0, ic0=1
    3 [2] 91 int d = a - b: it0, ic0=1, ic0=1
    7 [2] 151 int d = a: iv1, it0
   10 [2] 7 for step: v += step, jump to t once v has passed the limit: iv1, ic1=3, ic0=1, @27
   15 [3] 111 d = (a > b) int: it0, iv1, iv0
   19 [3] 1 if: jump to t when cond is 0: it0, @24
   22 [3] 301 print an integer and end the line: iv1
   24 [4] 8 next: jump to t: iv1, @10
   27 [6] 213 end the program
   28 [6] 0
)");
}

TEST(Listing, ArrayElementsDataAndWhileConditionEvaluatedEachTime) {
    EXPECT_EQ(listing("dim v#(3)\nread v#(1)\nv#(2)=v#(1)*2\nwhile v#(2)>1.0 and v#(1)<>0.0\nv#(2)=v#(2)/2\nendwhile\n"),
              R"(    0 [1] 511 create a real array of 1 dimension: rv0, ic0=3
    3 [2] 666 read a real element (1 subscript): rt0, rv0, ic1=1
    7 [2] 34 read a real DATA item: rt0
    9 [3] 666 read a real element (1 subscript): rt0, rv0, ic1=1
   13 [3] 75 real d = a * b (real, int): rt1, rt0, ic2=2
   17 [3] 566 store a real element (1 subscript): rv0, ic2=2, rt1
   21 [4] 666 read a real element (1 subscript): rt0, rv0, ic2=2
   25 [4] 112 d = (a > b) real: it0, rt0, rc0=1
   29 [4] 666 read a real element (1 subscript): rt1, rv0, ic1=1
   33 [4] 120 d = (a <> b) real: it1, rt1, rc1=0
   37 [4] 123 int d = a and b (bitwise): it2, it0, it1
   41 [4] 9 while: jump to t when cond is 0: it2, @58
   44 [5] 666 read a real element (1 subscript): rt0, rv0, ic2=2
   48 [5] 65 real d = a / b (real, int): rt1, rt0, ic2=2
   52 [5] 566 store a real element (1 subscript): rv0, ic2=2, rt1
   56 [6] 10 endwhile: jump to t: @21
   58 [8] 213 end the program
   59 [8] 0
)");
}

}  // namespace
}  // namespace compiler::testing
