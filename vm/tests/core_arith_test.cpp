#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "vm/tests/core_test_support.h"

using namespace vm;
using namespace vm::assembly;
using namespace vm::testing;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Runs "code d, a, b" (or "code d, a" when b is absent) with d = the first integer or real variable.
std::unique_ptr<Machine> runOne(int code, Operand d, Operand a, const Operand* b) {
    Assembler p;
    if (b) {
        p.op(code, {d, a, *b});
    } else {
        p.op(code, {d, a});
    }
    p.op(213);
    return run(p);
}

struct IntCase {
    const char* name;
    int code;
    Operand a;
    Operand b;
    bool unary;
    int32_t expected;
};

}  // namespace

TEST(CoreArithmetic, IntegerResultsWrapAndTruncate) {
    const IntCase cases[] = {
        {"add wraps past the largest integer", 81, intConst(INT_MAX), intConst(1), false, INT_MIN},
        {"subtract wraps below the smallest", 91, intConst(INT_MIN), intConst(1), false, INT_MAX},
        {"multiply keeps the low 32 bits", 71, intConst(46341), intConst(46341), false, -2147479015},
        {"multiply to exactly 2^32 gives 0", 71, intConst(65536), intConst(65536), false, 0},
        {"7 / 2 truncates", 61, intConst(7), intConst(2), false, 3},
        {"-7 / 2 truncates toward zero", 61, intConst(-7), intConst(2), false, -3},
        {"smallest integer / -1 wraps to itself", 61, intConst(INT_MIN), intConst(-1), false, INT_MIN},
        {"7 / -1", 61, intConst(7), intConst(-1), false, -7},
        {"2 ^ 10", 51, intConst(2), intConst(10), false, 1024},
        {"2 ^ -1 is 0.5 truncated", 51, intConst(2), intConst(-1), false, 0},
        {"2 ^ 31 wraps", 51, intConst(2), intConst(31), false, INT_MIN},
        {"2 ^ 32 wraps to 0", 51, intConst(2), intConst(32), false, 0},
        {"3 ^ 21 keeps the low 32 bits", 51, intConst(3), intConst(21), false, 1870418611},
        {"-2 ^ 3", 51, intConst(-2), intConst(3), false, -8},
        {"0 ^ -1 is infinite and gives 0", 51, intConst(0), intConst(-1), false, 0},
        {"bitwise and", 123, intConst(12), intConst(10), false, 8},
        {"bitwise or", 124, intConst(12), intConst(10), false, 14},
        {"real to integer truncates 2.9", 154, realConst(2.9f), 0, true, 2},
        {"real to integer truncates -2.9", 154, realConst(-2.9f), 0, true, -2},
        {"real beyond the integer range keeps the low bits", 154, realConst(3e9f), 0, true, -1294967296},
        {"smallest integer converts exactly", 154, realConst(-2147483648.0f), 0, true, INT_MIN},
        {"NaN converts to 0", 154, realConst(kNaN), 0, true, 0},
        {"infinity converts to 0", 154, realConst(kInf), 0, true, 0},
        {"int() truncates", 232, realConst(-7.5f), 0, true, -7},
        {"abs of a truncated real", 201, realConst(-2.9f), 0, true, 2},
        {"integer copy", 151, intConst(-5), 0, true, -5},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = runOne(c.code, intVar(0), c.a, c.unary ? nullptr : &c.b);
        EXPECT_EQ(m->errorCode, 0);
        EXPECT_EQ(intVarValue(*m, 0), c.expected);
    }
}

TEST(CoreArithmetic, RealResultsStayInSinglePrecisionAndMixedFormsUseDouble) {
    struct Case {
        const char* name;
        int code;
        Operand a;
        Operand b;
        bool unary;
        float expected;
    };
    const Case cases[] = {
        // Rounded to float first, 2147483647 would become 2147483648 and the sum 128.
        {"mixed add converts the integer exactly", 84, intConst(2147483647), realConst(-2147483520.0f), false, 127.0f},
        {"mixed subtract", 95, realConst(0.5f), intConst(3), false, -2.5f},
        {"mixed multiply", 74, intConst(3), realConst(0.5f), false, 1.5f},
        {"real add stays in float", 86, realConst(16777216.0f), realConst(1.0f), false, 16777216.0f},
        {"real multiply", 76, realConst(1.5f), realConst(-2.0f), false, -3.0f},
        {"int over real", 64, intConst(1), realConst(3.0f), false, 0.33333334f},
        {"real over int", 65, realConst(7.0f), intConst(2), false, 3.5f},
        {"real power", 52, realConst(2.0f), realConst(0.5f), false, 1.41421354f},
        {"int to the real power", 53, intConst(4), realConst(0.5f), false, 2.0f},
        {"real to the int power", 54, realConst(0.5f), intConst(-2), false, 4.0f},
        {"real copy", 152, realConst(-0.0f), 0, true, -0.0f},
        {"integer to real rounds to float", 155, intConst(16777217), 0, true, 16777216.0f},
        {"infinity plus one", 86, realConst(kInf), realConst(1.0f), false, kInf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = runOne(c.code, realVar(0), c.a, c.unary ? nullptr : &c.b);
        EXPECT_EQ(m->errorCode, 0);
        EXPECT_EQ(realVarValue(*m, 0), c.expected);
        EXPECT_EQ(std::signbit(realVarValue(*m, 0)), std::signbit(c.expected));
    }
    const Operand inf = realConst(kInf);
    EXPECT_TRUE(std::isnan(realVarValue(*runOne(96, realVar(0), inf, &inf), 0))) << "inf - inf";
}

TEST(CoreArithmetic, DivisionByZeroGivesZeroAndARecoverableError) {
    struct Case {
        const char* name;
        int code;
        Operand d;
        Operand a;
        Operand b;
    };
    const Case cases[] = {
        {"integers", 61, intVar(0), intConst(5), intConst(0)},
        {"int over real", 64, realVar(0), intConst(5), realConst(0.0f)},
        {"real over int", 65, realVar(0), realConst(5.0f), intConst(0)},
        {"reals, negative zero", 66, realVar(0), realConst(5.0f), realConst(-0.0f)},
    };
    for (const Case& c : cases) {
        for (bool standalone : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (standalone ? " standalone" : " from the editor"));
            Assembler p;
            p.op(151, {intVar(1), intConst(9)}).op(152, {realVar(0), realConst(9.0f)});
            p.op(c.code, {c.d, c.a, c.b});
            p.op(151, {intVar(2), intConst(1)});  // reached only when the program goes on
            p.op(213);
            auto m = run(p, {.standalone = standalone});
            EXPECT_EQ(m->cells[c.d.word - kCellWordBase].i, 0) << "the destination holds 0 (integer or real)";
            EXPECT_EQ(m->errorCode, standalone ? 0 : 111);
            EXPECT_EQ(m->warning, !standalone);
            EXPECT_EQ(intVarValue(*m, 2), standalone ? 1 : 0);
        }
    }
}

TEST(CoreArithmetic, IncrementsAndDecrementsOnlyTouchVariablesOfTheirKind) {
    struct Case {
        const char* name;
        int code;
        Operand v;
        Operand amount;  // 0 = the form without an amount
        int error;
        double expected;  // value of the cell afterwards
    };
    const Case cases[] = {
        {"inc int", 412, intVar(0), 0, 0, 11},
        {"dec int", 422, intVar(0), 0, 0, 9},
        {"inc int by 2.9 adds 2", 414, intVar(0), realConst(2.9f), 0, 12},
        {"inc int by -2.9 adds -2", 414, intVar(0), realConst(-2.9f), 0, 8},
        {"dec int by 2.9 takes 2", 424, intVar(0), realConst(2.9f), 0, 8},
        {"inc real", 411, realVar(0), 0, 0, 11.0},
        {"dec real by 0.5", 423, realVar(0), realConst(0.5f), 0, 9.5},
        {"inc of a temporary (an array element read) is refused", 412, intTemp(5), 0, 114, 10},
        {"inc int on a real variable is refused", 412, realVar(0), 0, 114, 10.0},
        {"dec real on an int variable is refused", 421, intVar(0), 0, 115, 10},
        {"dec int of a constant is refused", 424, intConst(10), realConst(1.0f), 115, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Assembler p;
        p.op(151, {intVar(0), intConst(10)}).op(151, {intTemp(5), intConst(10)});
        p.op(152, {realVar(0), realConst(10.0f)});
        if (c.amount.kind == Operand::Kind::Word && c.amount.word == 0) {
            p.op(c.code, {c.v});
        } else {
            p.op(c.code, {c.v, c.amount});
        }
        p.op(213);
        auto m = run(p);
        EXPECT_EQ(m->errorCode, c.error);
        const int cell = c.v.kind == Operand::Kind::IntConst ? -1 : c.v.word - kCellWordBase;
        if (cell < 0) continue;
        const bool isReal = cell >= kRealVarBase && cell < kStringVarBase;
        EXPECT_EQ(isReal ? static_cast<double>(m->cells[cell].f) : static_cast<double>(m->cells[cell].i), c.expected);
    }
}
