#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "vm/tests/core_test_support.h"

using namespace vm;
using namespace vm::assembly;
using namespace vm::testing;

namespace {

std::vector<Operand> ints(const std::vector<int>& values) {
    std::vector<Operand> out;
    for (int v : values) out.push_back(intConst(v));
    return out;
}

void emit(Assembler& a, int code, std::vector<Operand> operands) {
    a.word(raw(code));
    for (const Operand& o : operands) a.word(o);
}

std::vector<Operand> join(std::vector<Operand> a, const std::vector<Operand>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(CoreArrays, OnlyTheLinearIndexIsChecked) {
    struct Case {
        const char* name;
        std::vector<int> highest;     // dim a(h1, ..., hk)
        std::vector<int> subscripts;  // store 7 there, then read it back
        bool inside;
    };
    const Case cases[] = {
        {"a(0) has one element", {0}, {0}, true},
        {"a(0) has only one", {0}, {1}, false},
        {"a(10) has eleven elements", {10}, {10}, true},
        {"negative subscript", {10}, {-1}, false},
        {"(5, 0) is inside (2, 3)", {2, 3}, {5, 0}, true},
        {"(0, 4) is outside (2, 3)", {2, 3}, {0, 4}, false},
        {"last element of (2, 3)", {2, 3}, {2, 3}, true},
        {"3 dimensions, last element", {1, 2, 3}, {1, 2, 3}, true},
        {"3 dimensions, past the end", {1, 2, 3}, {2, 2, 3}, false},
        {"4 dimensions", {1, 1, 1, 1}, {1, 1, 1, 1}, true},
        {"4 dimensions, last subscript too big", {1, 1, 1, 1}, {0, 0, 0, 2}, false},
        {"5 dimensions", {1, 1, 1, 1, 2}, {1, 0, 1, 0, 2}, true},
        {"5 dimensions, past the end", {1, 1, 1, 1, 2}, {0, 0, 0, 0, 3}, false},
        {"a wild subscript that wraps stays checked", {2, 3}, {0, INT_MIN + 1}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int k = static_cast<int>(c.highest.size());
        for (int kind = 0; kind < 3; ++kind) {
            const Operand v = kind == 0 ? intVar(0) : kind == 1 ? realVar(0) : strVar(0);
            const Operand x = kind == 0 ? intConst(7) : kind == 1 ? realConst(7.5f) : strConst("seven");
            const Operand d = kind == 0 ? intVar(1) : kind == 1 ? realVar(1) : strVar(1);
            Assembler p;
            emit(p, 500 + 10 * kind + k, join({v}, ints(c.highest)));
            emit(p, 560 + 5 * kind + k, join(join({v}, ints(c.subscripts)), {x}));
            emit(p, 660 + 5 * kind + k, join({d, v}, ints(c.subscripts)));
            p.op(213);
            auto m = run(p);
            EXPECT_EQ(m->errorCode, c.inside ? 0 : 102) << "kind " << kind;
            if (!c.inside) continue;
            if (kind == 0) {
                EXPECT_EQ(intVarValue(*m, 1), 7);
            } else if (kind == 1) {
                EXPECT_EQ(realVarValue(*m, 1), 7.5f);
            } else {
                EXPECT_EQ(strVarValue(*m, 1), "seven");
            }
        }
    }
}

TEST(CoreArrays, CreateReleaseAndReadsOfWhatIsNotThere) {
    Assembler p;
    p.op(501, {intVar(0), intConst(4)}).op(561, {intVar(0), intConst(2), intConst(9)});
    p.op(501, {intVar(0), intConst(4)});                                    // created again: all 0
    p.op(661, {intVar(1), intVar(0), intConst(2)});
    p.op(521, {strVar(0), intConst(3)}).op(671, {strVar(1), strVar(0), intConst(1)});  // never written
    p.op(571, {strVar(0), intConst(1), strConst("kept")}).op(671, {strVar(2), strVar(0), intConst(1)});
    p.op(526, {strVar(0)});                                                 // release: the cell holds ""
    p.op(671, {strVar(3), strVar(0), intConst(1)});                         // no array: ""
    p.op(566, {realVar(0), intConst(0), realConst(1.0f)});                  // store into no array: ignored
    p.op(666, {realVar(1), realVar(0), intConst(0)});                       // read from no array: 0
    p.op(511, {realVar(2), intConst(1)}).op(576, {realVar(2), intConst(1), intConst(16777217)});
    p.op(666, {realVar(3), realVar(2), intConst(1)});
    p.op(506, {intVar(0)}).op(213);
    auto m = run(p);
    EXPECT_EQ(m->errorCode, 0);
    EXPECT_EQ(intVarValue(*m, 1), 0);
    EXPECT_EQ(strVarValue(*m, 1), "");
    EXPECT_EQ(strVarValue(*m, 2), "kept");
    EXPECT_EQ(strVarValue(*m, 0), "");
    EXPECT_NE(m->cells[kStringVarBase].s, nullptr) << "a released string array's cell holds an empty heap string";
    EXPECT_EQ(strVarValue(*m, 3), "");
    EXPECT_EQ(realVarValue(*m, 1), 0.0f);
    EXPECT_EQ(realVarValue(*m, 3), 16777216.0f);
    EXPECT_EQ(m->arrays[0].storage, nullptr);
    EXPECT_EQ(intVarValue(*m, 0), 0);
}

TEST(CoreArrays, ImpossibleSizesAreRefusedAndKeepTheOldArray) {
    for (const std::vector<int>& highest : {std::vector<int>{-2}, {1 << 30}, {65535, 65535}, {-3, -3}}) {
        Assembler p;
        p.op(501, {intVar(0), intConst(2)}).op(561, {intVar(0), intConst(1), intConst(5)});
        emit(p, 500 + static_cast<int>(highest.size()), join({intVar(0)}, ints(highest)));
        p.op(213);
        auto m = run(p);
        EXPECT_EQ(m->errorCode, 101) << highest[0];
        ASSERT_NE(m->arrays[0].storage, nullptr);
        EXPECT_EQ(static_cast<int32_t*>(m->arrays[0].storage)[1], 5);
    }
}

TEST(CoreData, ReadsFollowTheTypeMapAndThePointer) {
    Assembler p;
    p.dataInt(5).dataReal(1.5f).dataString("six").dataInt(7);
    p.op(33, {intVar(0)});    // 5
    p.op(33, {intVar(1)});    // real item into an integer read: 0, pointer moves on
    p.op(35, {strVar(0)});    // "six"
    p.op(34, {realVar(0)});   // integer item into a real read: 0
    p.op(33, {intVar(2)});    // past the end: 0
    p.op(31, {dataPos(1)}).op(34, {realVar(1)});  // restore to item 1: 1.5
    p.op(32).op(33, {intVar(3)});                 // restore: 5 again
    p.op(31, {dataPos(3)}).op(33, {intConst(99)});  // a constant destination receives 0
    p.op(151, {intVar(4), intConst(99)});
    p.op(213);
    auto m = run(p);
    EXPECT_EQ(m->errorCode, 0);
    EXPECT_EQ(intVarValue(*m, 0), 5);
    EXPECT_EQ(intVarValue(*m, 1), 0);
    EXPECT_EQ(strVarValue(*m, 0), "six");
    EXPECT_EQ(realVarValue(*m, 0), 0.0f);
    EXPECT_EQ(intVarValue(*m, 2), 0);
    EXPECT_EQ(realVarValue(*m, 1), 1.5f);
    EXPECT_EQ(intVarValue(*m, 3), 5);
    EXPECT_EQ(intVarValue(*m, 4), 0) << "the constant 99 cell was overwritten with 0";
    EXPECT_EQ(m->dataPointer, 4);
}

TEST(CoreData, ReadIntoAnArrayElementGoesThroughTheTemporary) {
    // read a(2): the element is read into a temporary, then the DATA read stores through it.
    Assembler p;
    p.dataInt(41).dataString("text").dataInt(43);
    p.op(501, {intVar(0), intConst(3)}).op(661, {intTemp(0), intVar(0), intConst(2)}).op(33, {intTemp(0)});
    p.op(521, {strVar(0), intConst(3)}).op(671, {strTemp(0), strVar(0), intConst(1)}).op(35, {strTemp(0)});
    // The array is released: the temporary's old reference must not reach freed storage.
    p.op(661, {intTemp(1), intVar(0), intConst(3)}).op(506, {intVar(0)}).op(33, {intTemp(1)});
    p.op(661, {intVar(1), intVar(0), intConst(2)});
    p.op(671, {strVar(1), strVar(0), intConst(1)}).op(213);
    auto m = run(p);
    EXPECT_EQ(m->errorCode, 0);
    EXPECT_EQ(intVarValue(*m, 1), 0) << "released";
    EXPECT_EQ(strVarValue(*m, 1), "text");
    EXPECT_EQ(m->cells[1].i, 43) << "the value stays in the temporary";

    Assembler kept;
    kept.dataInt(41);
    kept.op(501, {intVar(0), intConst(3)}).op(661, {intTemp(0), intVar(0), intConst(2)}).op(33, {intTemp(0)});
    kept.op(661, {intVar(1), intVar(0), intConst(2)}).op(213);
    EXPECT_EQ(intVarValue(*run(kept), 1), 41);
}
