#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "vm/tests/core_test_support.h"

using namespace vm;
using namespace vm::assembly;
using namespace vm::testing;

namespace {

// One function instruction "code d, operands..." with d given, then end.
std::unique_ptr<Machine> runFunction(int code, Operand d, std::vector<Operand> operands) {
    Assembler p;
    p.op(153, {strVar(0), strConst("unchanged")}).op(151, {intVar(0), intConst(-99)});
    p.words({raw(code), d});
    for (const Operand& o : operands) p.word(o);
    p.op(213);
    return run(p);
}

}  // namespace

TEST(CoreStrings, JoinIsCappedAt255Characters) {
    const std::string a200(200, 'a');
    struct Case {
        std::string a, b;
        bool fits;
    };
    const Case cases[] = {{a200, std::string(55, 'b'), true}, {a200, std::string(56, 'b'), false},
                          {"", "", true}, {std::string(255, 'x'), "", true}, {"z", std::string(255, 'y'), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a.size() + c.b.size());
        auto m = runFunction(87, strVar(0), {strConst(c.a), strConst(c.b)});
        EXPECT_EQ(m->errorCode, c.fits ? 0 : 107);
        EXPECT_EQ(strVarValue(*m, 0), c.fits ? c.a + c.b : "unchanged");
    }
}

TEST(CoreStrings, TextResults) {
    struct Case {
        const char* name;
        int code;
        std::vector<Operand> operands;
        std::string expected;
    };
    const Case cases[] = {
        {"remove the first occurrence", 97, {strConst("abcabc"), strConst("bc")}, "aabc"},
        {"remove the empty string", 97, {strConst("abc"), strConst("")}, "abc"},
        {"remove something longer", 97, {strConst("ab"), strConst("abc")}, "ab"},
        {"remove everything", 97, {strConst("abc"), strConst("abc")}, ""},
        {"remove what is not there", 97, {strConst("abc"), strConst("x")}, "abc"},
        {"chr", 209, {intConst(65)}, "A"},
        {"chr takes the low byte", 209, {intConst(256 + 66)}, "B"},
        {"chr 0 is empty", 209, {intConst(0)}, ""},
        {"binary", 206, {intConst(5)}, "%" + std::string(29, '0') + "101"},
        {"binary of -1", 206, {intConst(-1)}, "%" + std::string(32, '1')},
        {"hex", 223, {intConst(255)}, "FF"},
        {"hex of a negative", 223, {intConst(-2)}, "FFFFFFFE"},
        {"str$ of an integer", 312, {intConst(INT_MIN)}, "-2147483648"},
        {"left$", 233, {strConst("hello"), intConst(2)}, "he"},
        {"left$ 0", 233, {strConst("hello"), intConst(0)}, ""},
        {"left$ negative", 233, {strConst("hello"), intConst(-3)}, ""},
        {"left$ beyond the end", 233, {strConst("hello"), intConst(99)}, "hello"},
        {"right$", 248, {strConst("hello"), intConst(3)}, "llo"},
        {"right$ beyond the end", 248, {strConst("hello"), intConst(6)}, "hello"},
        {"right$ 0", 248, {strConst("hello"), intConst(0)}, ""},
        {"mid$ first", 237, {strConst("hello"), intConst(1)}, "h"},
        {"mid$ last", 237, {strConst("hello"), intConst(5)}, "o"},
        {"mid$ 0", 237, {strConst("hello"), intConst(0)}, ""},
        {"mid$ past the end", 237, {strConst("hello"), intConst(6)}, ""},
        {"mid$ of the empty string", 237, {strConst(""), intConst(1)}, ""},
        {"lower", 236, {strConst("AbC1\xC9z")}, "abc1\xC9z"},
        {"upper", 261, {strConst("AbC1\xE9z")}, "ABC1\xE9Z"},
        {"space$", 256, {intConst(3)}, "   "},
        {"space$ 0", 256, {intConst(0)}, ""},
        {"space$ negative", 256, {intConst(-5)}, ""},
        {"space$ 255", 256, {intConst(255)}, std::string(255, ' ')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = runFunction(c.code, strVar(0), c.operands);
        EXPECT_EQ(m->errorCode, 0);
        EXPECT_EQ(strVarValue(*m, 0), c.expected);
    }
    auto m = runFunction(256, strVar(0), {intConst(256)});
    EXPECT_EQ(m->errorCode, 107);
    EXPECT_EQ(strVarValue(*m, 0), "unchanged");
}

TEST(CoreStrings, RealsFormatWithPercentG) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float value;
        const char* expected;
    };
    const Case cases[] = {{1.0f, "1"},          {0.1f, "0.1"},          {-2.5f, "-2.5"},        {123456.0f, "123456"},
                          {1234567.0f, "1.23457e+06"}, {0.0001f, "0.0001"}, {0.00001f, "1e-05"}, {1.0f / 3, "0.333333"},
                          {-0.0f, "-0"},        {16777217.0f, "1.67772e+07"}, {std::numeric_limits<float>::infinity(), "inf"}};
    for (const Case& c : cases) {
        EXPECT_EQ(strVarValue(*runFunction(311, strVar(0), {realConst(c.value)}), 0), c.expected);
    }
    EXPECT_NE(strVarValue(*runFunction(311, strVar(0), {realConst(nan)}), 0).find("nan"), std::string::npos);
}

TEST(CoreStrings, NumberResults) {
    struct Case {
        const char* name;
        int code;
        Operand s;
        double expected;
    };
    const Case cases[] = {
        {"asc", 203, strConst("A"), 65},
        {"asc of the empty string", 203, strConst(""), 0},
        {"asc is unsigned", 203, strConst("\xff"), 255},
        {"len", 234, strConst("hello"), 5},
        {"val int with blanks and a tail", 322, strConst("  42abc"), 42},
        {"val int negative", 322, strConst("-17"), -17},
        {"val int of a minus sign alone", 322, strConst("-"), 0},
        {"val int of no number", 322, strConst("abc"), 0},
        {"val int saturates", 322, strConst("99999999999"), INT_MAX},
        {"val int saturates below", 322, strConst("-99999999999"), INT_MIN},
        {"val real", 321, strConst("3.5e2x"), 350},
        {"val real without a leading digit", 321, strConst(" .5"), 0.5},
        {"val real with an unfinished exponent", 321, strConst("1e"), 1},
        {"val real takes decimal text only", 321, strConst("0x10"), 0},
        {"val real of inf text", 321, strConst("inf"), 0},
        {"val real of a minus sign alone", 321, strConst("-"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool real = c.code == 321;
        auto m = runFunction(c.code, real ? realVar(0) : intVar(0), {c.s});
        EXPECT_EQ(real ? static_cast<double>(realVarValue(*m, 0)) : static_cast<double>(intVarValue(*m, 0)), c.expected);
    }
}

TEST(CoreMaths, DegreeFunctionsUseTheFixedFactors) {
    struct Case {
        const char* name;
        int code;
        std::vector<Operand> operands;
        float expected;
    };
    // acos(0) = 1.5707963 x 57.306590257879655; cos(90) = cos(90 x 0.01745) = cos(1.5705).
    const Case cases[] = {
        {"acos 0", 202, {realConst(0.0f)}, 90.01698303222656f},
        {"acos of int 1", 361, {intConst(1)}, 0.0f},
        {"asin 1", 204, {realConst(1.0f)}, 90.01698303222656f},
        {"atan 1", 205, {realConst(1.0f)}, 45.00849151611328f},
        {"atan2 (int, int)", 367, {intConst(0), intConst(-1)}, 180.03396606445312f},
        {"atan2 (real, int)", 366, {realConst(1.0f), intConst(1)}, 45.00849151611328f},
        {"cos 90 is not 0", 332, {intConst(90)}, 0.0002963267907034606f},
        {"sin 30", 341, {realConst(30.0f)}, 0.4999144673347473f},
        {"tan 45", 382, {intConst(45)}, 0.9997037053108215f},
        {"sinh of 1 degree", 372, {intConst(1)}, 0.017450885847210884f},
        {"tanh of 10 degrees", 226, {realConst(10.0f)}, 0.17275011539459229f},
        {"cosh 0", 371, {intConst(0)}, 1.0f},
        {"sqrt 2", 258, {intConst(2)}, 1.4142135381698608f},
        {"abs", 368, {realConst(-2.5f)}, 2.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(realVarValue(*runFunction(c.code, realVar(0), c.operands), 0), c.expected);
    }
    EXPECT_TRUE(std::isnan(realVarValue(*runFunction(257, realVar(0), {realConst(-1.0f)}), 0)));
    EXPECT_TRUE(std::isnan(realVarValue(*runFunction(202, realVar(0), {realConst(2.0f)}), 0)));
    EXPECT_EQ(intVarValue(*runFunction(218, intVar(0), {intConst(1)}), 0), 2);
    EXPECT_EQ(intVarValue(*runFunction(218, intVar(0), {intConst(30)}), 0), 595949076) << "low 32 bits of e^30";
}

TEST(CoreMaths, RandomSequenceFollowsTheSeed) {
    struct Case {
        const char* name;
        int seed;  // 0 = no seeding: a fresh machine starts with seed 1
        int range;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"fresh machine", 0, 32767, {41, 18467, 6334, 26500, 19169}},
        {"seeded with 1 repeats it", 1, 32767, {41, 18467, 6334}},
        {"seed 12345", 12345, 32767, {7584, 19164, 25795}},
        {"modulo range + 1", 1, 6, {6, 1, 6, 5, 3}},
        {"range 0 is always 0", 1, 0, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Assembler p;
        if (c.seed != 0) p.op(245, {intConst(c.seed)});
        for (size_t k = 0; k < c.expected.size(); ++k) p.op(390, {intVar(static_cast<int>(k)), intConst(c.range)});
        p.op(249, {realVar(0), intConst(c.range)}).op(213);
        auto m = run(p);
        for (size_t k = 0; k < c.expected.size(); ++k) EXPECT_EQ(intVarValue(*m, static_cast<int>(k)), c.expected[k]) << k;
        EXPECT_GE(realVarValue(*m, 0), 0.0f);
        EXPECT_LE(realVarValue(*m, 0), static_cast<float>(c.range));
    }
    for (int bad : {-1, INT_MIN, INT_MAX}) {
        for (int code : {390, 249}) {
            auto m = runFunction(code, code == 390 ? intVar(0) : realVar(0), {intConst(bad)});
            EXPECT_EQ(m->errorCode, 113) << code << " " << bad;
            EXPECT_EQ(m->randomSeed, 1u) << "a refused draw does not advance the generator";
        }
    }
}

TEST(CoreMaths, ColoursPackAndUnpack) {
    struct Case {
        int code;
        std::vector<Operand> operands;
        int32_t expected;
    };
    const Case cases[] = {
        {391, {intConst(255), intConst(128), intConst(1)}, 0xFF8001},
        {391, {intConst(256), intConst(0), intConst(0)}, 0x1000000},  // components are not masked
        {391, {intConst(0), intConst(1), intConst(-1)}, 255},
        {392, {intConst(0x123456)}, 0x12},
        {393, {intConst(0x123456)}, 0x34},
        {394, {intConst(0x123456)}, 0x56},
        {392, {intConst(-1)}, 255},
    };
    for (const Case& c : cases) EXPECT_EQ(intVarValue(*runFunction(c.code, intVar(0), c.operands), 0), c.expected) << c.code;
}
