#include <gtest/gtest.h>

#include "vm/disassembler.h"
#include "vm/tests/vm_test_support.h"

using namespace vm;
using namespace vm::assembly;
using namespace vm::testing;

namespace {

std::unique_ptr<Machine> sample() {
    Assembler a;
    a.line(1).op(kSet, {intVar(2), intConst(-4)});
    a.line(2).label("top").op(kJumpIfLess, {realTemp(1), realConst(0.5f), codePos("top")});
    a.line(3).op(kRaise, {strConst("hi")}).words({dataPos(7), raw(35002), strVar(3), intTemp(0)});
    return machineWith(a.build());
}

}  // namespace

TEST(Disassembler, DescribesEveryKindOfOperand) {
    auto m = sample();
    const std::pair<int, const char*> cases[] = {
        {1, "iv2"}, {2, "ic0=-4"}, {4, "rt1"}, {5, "rc0=0.5"}, {6, "@3"}, {8, "sc0=\"hi\""},
        {9, "data:7"}, {10, "label:2"}, {11, "sv3"}, {12, "it0"}, {13, "0"}, {99, "?"},
    };
    for (auto [index, text] : cases) EXPECT_EQ(describeOperand(*m, index), text) << index;
}

TEST(Disassembler, GroupsOperandsUnderTheirCommand) {
    auto m = sample();
    m->meanings.add(kSet, "set");
    EXPECT_EQ(disassemble(*m),
              "    0 [1] 9701 set: iv2, ic0=-4\n"
              "    3 [2] 9703: rt1, rc0=0.5, @3\n"
              "    7 [3] 9705: sc0=\"hi\", data:7, label:2, sv3, it0\n"
              "   13 [3] 0\n");
    // With operand counts the instruction ends where its operands do.
    auto counts = [](int code) { return code == kRaise ? 1 : -1; };
    EXPECT_EQ(disassemble(*m, 7, 4, counts),
              "    7 [3] 9705: sc0=\"hi\"\n"
              "    9 [3] data:7: label:2\n");
}
