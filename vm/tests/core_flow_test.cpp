#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <limits>

#include "vm/tests/core_test_support.h"

using namespace vm;
using namespace vm::assembly;
using namespace vm::testing;

namespace {

// A function header: 26, the parameter cells, the function number; `name` labels the entry position.
void header(Assembler& a, const std::string& name, std::initializer_list<Operand> params, int number) {
    a.op(26);
    a.label(name).words(params).word(raw(number));
}

void call(Assembler& a, const std::string& name, Operand result, std::initializer_list<Operand> args) {
    std::vector<Operand> operands = {codePos(name), result, intConst(static_cast<int>(args.size()))};
    operands.insert(operands.end(), args.begin(), args.end());
    a.words({raw(21)});
    for (const Operand& o : operands) a.word(o);
}

// fib(n): if n < 2 return n; return fib(n - 1) + fib(n - 2). The first call's result waits in a
// temporary of the function's block while the second call runs. Each statement has its own source
// line, as the compiler writes them.
Assembler fibonacci(int n) {
    Assembler a;
    a.owner(VarKind::Int, 0, 1);
    a.line(1);
    call(a, "fib", intTemp(0), {intConst(n)});
    a.op(151, {intVar(1), intTemp(0)}).line(2).op(213);
    a.line(4);
    header(a, "fib", {intVar(0)}, 1);
    a.line(5).op(115, {intTemp(50), intVar(0), intConst(2)}).op(1, {intTemp(50), codePos("more")});
    a.op(28, {intVar(0)});
    a.line(6).label("more").op(91, {intTemp(51), intVar(0), intConst(1)});
    call(a, "fib", intTemp(52), {intTemp(51)});
    a.op(91, {intTemp(53), intVar(0), intConst(2)});
    call(a, "fib", intTemp(54), {intTemp(53)});
    a.op(81, {intTemp(55), intTemp(52), intTemp(54)}).op(23, {intTemp(55)});
    return a;
}

// Function `number` with parameter intVar(var): if n = 0 return 0; return n * factor + callee(n - 1).
void scaledSum(Assembler& a, int number, int var, int factor, const std::string& callee) {
    const int t = 50 * std::min(number, 19);
    const int line = 10 * number;
    a.owner(VarKind::Int, var, static_cast<int16_t>(number));
    a.line(line);
    header(a, "f" + std::to_string(number), {intVar(var)}, number);
    a.line(line + 1).op(101, {intTemp(t), intVar(var), intConst(0)}).op(1, {intTemp(t), codePos("go" + std::to_string(number))});
    a.op(28, {intConst(0)});
    a.line(line + 2).label("go" + std::to_string(number)).op(71, {intTemp(t + 1), intVar(var), intConst(factor)});
    a.op(91, {intTemp(t + 2), intVar(var), intConst(1)});
    call(a, callee, intTemp(t + 3), {intTemp(t + 2)});
    a.op(81, {intTemp(t + 4), intTemp(t + 1), intTemp(t + 3)}).op(23, {intTemp(t + 4)});
}

}  // namespace

TEST(CoreFlow, ComparisonsWriteOneOrZero) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        int code;
        Operand a;
        Operand b;
        int expected;
    };
    const Case cases[] = {
        {"int =", 101, intConst(3), intConst(3), 1},
        {"int > with negatives", 111, intConst(-1), intConst(INT_MIN), 1},
        {"int <=", 117, intConst(4), intConst(3), 0},
        {"real NaN = NaN is false", 102, realConst(nan), realConst(nan), 0},
        {"real NaN <> NaN is true", 120, realConst(nan), realConst(nan), 1},
        {"real >=", 114, realConst(-0.0f), realConst(0.0f), 1},
        {"mixed = converts the integer exactly", 131, intConst(16777217), realConst(16777216.0f), 0},
        {"mixed < real, int", 138, realConst(1.5f), intConst(2), 1},
        {"mixed <>", 142, realConst(2.0f), intConst(2), 0},
        {"string =", 103, strConst("abc"), strConst("abc"), 1},
        {"string <> of two empty strings", 121, strConst(""), strConst(""), 0},
        {"string > sorts after", 143, strConst("b"), strConst("abc"), 1},
        {"string < is case-sensitive", 144, strConst("Z"), strConst("a"), 1},
        {"string bytes compare unsigned", 143, strConst("\xe9"), strConst("z"), 1},
        {"a prefix sorts first", 144, strConst("ab"), strConst("abc"), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Assembler p;
        p.op(151, {intVar(0), intConst(7)}).op(c.code, {intVar(0), c.a, c.b}).op(213);
        EXPECT_EQ(intVarValue(*run(p), 0), c.expected);
    }
}

TEST(CoreFlow, ForStepRunsTheBodyTheRightNumberOfTimes) {
    struct Case {
        int start, limit, step;
        int bodies;  // -1: never ends
    };
    const Case cases[] = {{1, 10, 1, 10}, {10, 1, -3, 4}, {5, 1, 1, 0}, {1, 1, 1, 1}, {1, 5, 0, -1},
                          {INT_MAX - 1, INT_MAX, 1, -1}};  // v wraps below the limit: never ends
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.start << " to " << c.limit << " step " << c.step);
        // v = start - step; top: for step (v, limit, step, done); count += 1; next (v, top); done: end
        Assembler p;
        p.op(151, {intVar(0), intConst(c.start - c.step)});
        p.label("top").op(7, {intVar(0), intConst(c.limit), intConst(c.step), codePos("done")});
        p.op(412, {intVar(1)}).op(8, {intVar(0), codePos("top")});
        p.label("done").op(213);
        auto m = run(p, {.maxSlices = 20});
        if (c.bodies < 0) {
            EXPECT_FALSE(m->quitPosted);
        } else {
            EXPECT_TRUE(m->programEnded);
            EXPECT_EQ(intVarValue(*m, 1), c.bodies);
        }
    }
}

TEST(CoreFlow, StructureJumpsFollowTheCondition) {
    // i = 0; while i < 5: i += 1 (9/10); repeat j += 2 until j >= 6 (12); if i = 5 then k = 1 else k = 2 (1/2)
    Assembler p;
    p.label("while").op(115, {intTemp(0), intVar(0), intConst(5)}).op(9, {intTemp(0), codePos("wend")});
    p.op(412, {intVar(0)}).op(10, {codePos("while")});
    p.label("wend").label("repeat").op(81, {intVar(1), intVar(1), intConst(2)});
    p.op(113, {intTemp(0), intVar(1), intConst(6)}).op(12, {intTemp(0), codePos("repeat")});
    p.op(101, {intTemp(0), intVar(0), intConst(5)}).op(1, {intTemp(0), codePos("else")});
    p.op(151, {intVar(2), intConst(1)}).op(2, {codePos("endif")});
    p.label("else").op(151, {intVar(2), intConst(2)});
    p.label("endif").op(5, {codePos("out")}).op(151, {intVar(2), intConst(3)});
    p.label("out").op(213);
    auto m = run(p);
    EXPECT_EQ(intVarValue(*m, 0), 5);
    EXPECT_EQ(intVarValue(*m, 1), 6);
    EXPECT_EQ(intVarValue(*m, 2), 1);
}

TEST(CoreFlow, PairsRunTogetherOnlyWhereThePartnerReadsTheFirstResult) {
    // The interpreter runs a computation with the copy, jump, call or return after it; each
    // partner below reads a different cell from the one just written and must see that cell.
    Assembler p;
    p.op(151, {intVar(5), intConst(7)});                        // v5 = 7
    p.op(81, {intTemp(0), intVar(0), intConst(1)}).op(151, {intVar(1), intVar(5)});   // v1 = v5, not t0
    p.op(115, {intTemp(1), intConst(1), intConst(2)}).op(1, {intTemp(2), codePos("taken")});  // tests t2 = 0
    p.op(151, {intVar(2), intConst(1)});                        // skipped: the jump is taken
    p.label("taken").op(91, {intTemp(3), intConst(9), intConst(4)});
    call(p, "f", intVar(3), {intVar(5)});                       // passes v5, not t3
    p.op(213);
    header(p, "f", {intVar(4)}, 1);
    p.op(81, {intTemp(60), intVar(4), intConst(100)}).op(23, {intVar(4)});  // returns v4, not t60
    p.owner(VarKind::Int, 4, 1);
    auto m = run(p);
    EXPECT_EQ(intVarValue(*m, 1), 7);
    EXPECT_EQ(intVarValue(*m, 2), 0);
    EXPECT_EQ(intVarValue(*m, 3), 7);
    EXPECT_EQ(m->cells[kIntTempBase + 0].i, 1);
    EXPECT_EQ(m->cells[kIntTempBase + 3].i, 5);
}

TEST(CoreFlow, LabelCallsReturnAndStopAtTheStackLimit) {
    // gosub twice into a subroutine that counts; a return at depth 0 continues.
    Assembler p;
    p.op(43).op(41, {codePos("sub")}).op(41, {codePos("sub")}).op(213);
    p.label("sub").op(412, {intVar(0)}).op(43);
    auto m = run(p);
    EXPECT_EQ(m->errorCode, 0);
    EXPECT_EQ(intVarValue(*m, 0), 2);
    EXPECT_EQ(m->depth, 0);

    // Unbounded recursion: the 65535th push is refused with error 108.
    Assembler deep;
    deep.label("sub").op(412, {intVar(0)}).op(41, {codePos("sub")});
    m = run(deep, {.maxSlices = 100000});
    EXPECT_EQ(m->errorCode, 108);
    EXPECT_EQ(m->depth, kCallStackSize - 1);
    EXPECT_EQ(intVarValue(*m, 0), kCallStackSize);
}

TEST(CoreFlow, RunningIntoAFunctionHeaderEndsWithError21) {
    Assembler p;
    p.op(151, {intVar(1), intConst(1)});
    header(p, "f", {intVar(0)}, 1);
    p.op(151, {intVar(1), intConst(2)}).op(22);
    auto m = run(p);
    EXPECT_EQ(m->errorCode, 21);
    EXPECT_EQ(intVarValue(*m, 1), 1);
}

TEST(CoreCalls, RecursionKeepsTheTemporariesOfEachActiveCall) {
    for (const auto& [n, expected] : {std::pair{1, 1}, {2, 1}, {10, 55}, {20, 6765}}) {
        auto m = run(fibonacci(n));
        EXPECT_EQ(m->errorCode, 0);
        EXPECT_EQ(intVarValue(*m, 1), expected) << "fib(" << n << ")";
        EXPECT_EQ(m->depth, 0);
        EXPECT_TRUE(m->calls.wordCount == 0 && m->calls.textCount == 0);
    }

    // f1(n) = n*3 + f2(n-1), f2(n) = n*5 + f1(n-1): each function's block is entered again through the other.
    Assembler mutual;
    call(mutual, "f1", intTemp(0), {intConst(4)});
    mutual.op(151, {intVar(9), intTemp(0)}).op(213);
    scaledSum(mutual, 1, 0, 3, "f2");
    scaledSum(mutual, 2, 1, 5, "f1");
    EXPECT_EQ(intVarValue(*run(mutual), 9), 12 + 15 + 6 + 5);

    // Functions 19 and 20 share the last block of temporaries, so even a plain call from one to the
    // other must keep the caller's: f19(n) = n*3 + f20(n-1), f20(n) = n*7 + f21(n-1), f21 returns 0.
    Assembler shared;
    call(shared, "f19", intTemp(0), {intConst(2)});
    shared.op(151, {intVar(9), intTemp(0)}).op(213);
    scaledSum(shared, 19, 0, 3, "f20");
    scaledSum(shared, 20, 1, 7, "f21");
    scaledSum(shared, 21, 2, 0, "f21");
    EXPECT_EQ(intVarValue(*run(shared), 9), 6 + 7);
}

TEST(CoreCalls, RecursionRestoresParametersAndStringLocals) {
    // build$(n): t$ = str$(n); if n > 0 then r$ = build$(n - 1): t$ = t$ + r$; return t$
    Assembler p;
    p.owner(VarKind::Int, 0, 1).owner(VarKind::String, 0, 1).owner(VarKind::String, 1, 1);
    call(p, "build", strTemp(0), {intConst(3)});
    p.op(153, {strVar(5), strTemp(0)}).op(213);
    header(p, "build", {intVar(0)}, 1);
    p.op(312, {strVar(0), intVar(0)});
    p.op(111, {intTemp(50), intVar(0), intConst(0)}).op(1, {intTemp(50), codePos("done")});
    p.op(91, {intTemp(51), intVar(0), intConst(1)});
    call(p, "build", strTemp(50), {intTemp(51)});
    p.op(153, {strVar(1), strTemp(50)}).op(87, {strTemp(51), strVar(0), strVar(1)}).op(153, {strVar(0), strTemp(51)});
    p.label("done").op(25, {strVar(0)});
    auto m = run(p);
    EXPECT_EQ(m->errorCode, 0);
    EXPECT_EQ(strVarValue(*m, 5), "3210");

    // down$(n) = str$(n) + down$(n - 1), one statement: the text of n waits in a string temporary
    // while the inner call runs.
    Assembler e;
    e.owner(VarKind::Int, 0, 1);
    e.line(1);
    call(e, "down", strTemp(0), {intConst(3)});
    e.op(153, {strVar(5), strTemp(0)}).line(2).op(213);
    e.line(3);
    header(e, "down", {intVar(0)}, 1);
    e.line(4).op(101, {intTemp(50), intVar(0), intConst(0)}).op(1, {intTemp(50), codePos("more")});
    e.op(30, {strConst("!")});
    e.line(5).label("more").op(312, {strTemp(50), intVar(0)}).op(91, {intTemp(51), intVar(0), intConst(1)});
    call(e, "down", strTemp(51), {intTemp(51)});
    e.op(87, {strTemp(52), strTemp(50), strTemp(51)}).op(25, {strTemp(52)});
    m = run(e);
    EXPECT_EQ(m->errorCode, 0);
    EXPECT_EQ(strVarValue(*m, 5), "321!");
}

TEST(CoreCalls, ArgumentsArePassedAsTheCallerSawThem) {
    // swap(a, b, d): if d = 0 return a*10 + b; return swap(b, a, d - 1)
    Assembler p;
    for (int v = 0; v < 3; ++v) p.owner(VarKind::Int, v, 1);
    call(p, "swap", intTemp(0), {intConst(1), intConst(2), intConst(1)});
    p.op(151, {intVar(9), intTemp(0)}).op(213);
    header(p, "swap", {intVar(0), intVar(1), intVar(2)}, 1);
    p.op(101, {intTemp(50), intVar(2), intConst(0)}).op(1, {intTemp(50), codePos("again")});
    p.op(71, {intTemp(51), intVar(0), intConst(10)}).op(81, {intTemp(52), intTemp(51), intVar(1)}).op(28, {intTemp(52)});
    p.label("again").op(91, {intTemp(53), intVar(2), intConst(1)});
    call(p, "swap", intTemp(54), {intVar(1), intVar(0), intTemp(53)});
    p.op(23, {intTemp(54)});
    EXPECT_EQ(intVarValue(*run(p), 9), 21);
}

TEST(CoreCalls, ReturnsInEveryPosition) {
    struct Case {
        const char* name;
        std::function<void(Assembler&)> build;
        int32_t expected;  // intVar(9)
        int depth;
    };
    const Case cases[] = {
        {"a value return at depth 0 continues",
         [](Assembler& a) { a.op(23, {intConst(5)}).op(151, {intVar(9), intConst(4)}).op(213); }, 4, 0},
        {"return without value writes 0",
         [](Assembler& a) {
             a.op(151, {intTemp(0), intConst(9)});
             call(a, "f", intTemp(0), {});
             a.op(151, {intVar(9), intTemp(0)}).op(213);
             header(a, "f", {}, 1);
             a.op(22);
         },
         0, 0},
        {"a call from a subroutine returns into it",
         [](Assembler& a) {
             a.op(41, {codePos("sub")}).op(213);
             a.label("sub");
             call(a, "f", intTemp(0), {intConst(6)});
             a.op(151, {intVar(9), intTemp(0)}).op(43);
             header(a, "f", {intVar(0)}, 1);
             a.op(81, {intTemp(50), intVar(0), intConst(1)}).op(23, {intTemp(50)});
         },
         7, 0},
        {"a return inside the function's own subroutine leaves the function",
         [](Assembler& a) {
             call(a, "f", intTemp(0), {});
             a.op(151, {intVar(9), intTemp(0)}).op(213);
             header(a, "f", {}, 1);
             a.op(41, {codePos("inner")}).op(22);
             a.label("inner").op(28, {intConst(8)});
         },
         8, 0},
        {"a subroutine return with a function call on top continues",
         [](Assembler& a) {
             call(a, "f", intTemp(0), {});
             a.op(151, {intVar(9), intTemp(0)}).op(213);
             header(a, "f", {}, 1);
             a.op(43).op(23, {intConst(3)});
         },
         3, 0},
        {"a real return",
         [](Assembler& a) {
             call(a, "f", realTemp(0), {realConst(1.5f)});
             a.op(154, {intVar(9), realTemp(0)}).op(213);
             header(a, "f", {realVar(0)}, 1);
             a.op(76, {realTemp(50), realVar(0), realConst(4.0f)}).op(24, {realTemp(50)});
         },
         6, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Assembler a;
        c.build(a);
        auto m = run(a);
        EXPECT_EQ(m->errorCode, 0);
        EXPECT_EQ(intVarValue(*m, 9), c.expected);
        EXPECT_EQ(m->depth, c.depth);
    }
}

TEST(CoreCalls, EndlessRecursionStopsWithError108) {
    Assembler p;
    p.owner(VarKind::Int, 0, 1);
    call(p, "f", intTemp(0), {intConst(0)});
    p.op(213);
    header(p, "f", {intVar(0)}, 1);
    p.op(81, {intTemp(50), intVar(0), intConst(1)});
    call(p, "f", intTemp(51), {intTemp(50)});
    p.op(23, {intTemp(51)});
    auto m = run(p, {.maxSlices = 100000});
    EXPECT_EQ(m->errorCode, 108);
    EXPECT_EQ(m->depth, kCallStackSize - 1);
    EXPECT_EQ(intVarValue(*m, 0), kCallStackSize - 2);
}

TEST(CoreCalls, ADamagedCallIsRefused) {
    // The count cell says 200 arguments but the code ends first.
    Assembler p;
    p.words({raw(21), codePos("f"), intTemp(0), intConst(200)});
    p.op(213);
    header(p, "f", {}, 1);
    p.op(22);
    auto m = run(p);
    EXPECT_NE(m->errorCode, 0);
    EXPECT_EQ(m->depth, 0);
}
