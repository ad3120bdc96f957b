// Arithmetic on integers and reals, bitwise logic, assignment, conversion, and the increment and
// decrement statements.
//
// Integers wrap silently in two's complement (+, -, x, power, and the one quotient that overflows:
// the most negative integer divided by -1). Reals stay in single precision; a form that mixes an
// integer with a real computes in double, with the integer converted exactly, and rounds the result
// to single precision when it is stored. Division by zero gives 0 and the recoverable error 111.
#include <cmath>

#include "vm/core_families.h"
#include "vm/core_ops.h"
#include "vm/core_support.h"

namespace vm {

namespace core {
int32_t truncateOutOfRange(double x) {
    if (!std::isfinite(x)) return 0;
    double low = std::fmod(std::trunc(x), 4294967296.0);  // exact: |x| >= 2^31 is a whole number here
    if (low < 0) low += 4294967296.0;
    return static_cast<int32_t>(static_cast<uint32_t>(low));
}
}  // namespace core

namespace {

using core::truncateToInt;

constexpr int kIncrementNotVariable = 114;
constexpr int kDecrementNotVariable = 115;

using core::asDouble;
using core::Arith;
using core::stepHandler;

// --- power (d, a, b) ---


void powerInt(Machine& m) {
    const Op* p = m.pc;
    p[0].cell->i = truncateToInt(std::pow(static_cast<double>(p[1].cell->i), static_cast<double>(p[2].cell->i)));
    m.pc = p + 3;
}

template <bool AInt, bool BInt>
void powerReal(Machine& m) {
    const Op* p = m.pc;
    p[0].cell->f = static_cast<float>(std::pow(asDouble(*p[1].cell, AInt), asDouble(*p[2].cell, BInt)));
    m.pc = p + 3;
}

// --- logic, assignment, conversion ---

void assignString(Machine& m) {
    const Op* p = m.pc;
    core::copyString(*p[0].cell, *p[1].cell);
    m.pc = p + 2;
}

// --- increments and decrements: the cell must be a variable of the instruction's kind ---

template <int Sign>
constexpr int notVariableError() {
    return Sign > 0 ? kIncrementNotVariable : kDecrementNotVariable;
}

template <int Sign>
void stepIntByOne(Machine& m) {
    Cell* v = m.pc[0].cell;
    if (core::isIntVariable(cellIndex(m, v))) {
        v->i = core::wrapAdd(v->i, Sign);
    } else {
        raise(m, notVariableError<Sign>());
    }
    m.pc += 1;
}

template <int Sign>
void stepRealByOne(Machine& m) {
    Cell* v = m.pc[0].cell;
    if (core::isRealVariable(cellIndex(m, v))) {
        v->f = v->f + static_cast<float>(Sign);
    } else {
        raise(m, notVariableError<Sign>());
    }
    m.pc += 1;
}

template <int Sign>
void stepIntByReal(Machine& m) {
    const Op* p = m.pc;
    Cell* v = p[0].cell;
    if (core::isIntVariable(cellIndex(m, v))) {
        const int32_t amount = truncateToInt(p[1].cell->f);
        v->i = Sign > 0 ? core::wrapAdd(v->i, amount) : core::wrapSub(v->i, amount);
    } else {
        raise(m, notVariableError<Sign>());
    }
    m.pc = p + 2;
}

template <int Sign>
void stepRealByReal(Machine& m) {
    const Op* p = m.pc;
    Cell* v = p[0].cell;
    if (core::isRealVariable(cellIndex(m, v))) {
        v->f = Sign > 0 ? v->f + p[1].cell->f : v->f - p[1].cell->f;
    } else {
        raise(m, notVariableError<Sign>());
    }
    m.pc = p + 2;
}

constexpr CommandEntry kArithCommands[] = {
    {51, &powerInt, "int d = a ^ b (computed in double, truncated)"},
    {52, &powerReal<false, false>, "real d = a ^ b (real, real)"},
    {53, &powerReal<true, false>, "real d = a ^ b (int, real)"},
    {54, &powerReal<false, true>, "real d = a ^ b (real, int)"},
    {61, &stepHandler<core::divideInt>, "int d = a / b, truncating"},
    {64, &stepHandler<core::divideReal<true, false>>, "real d = a / b (int, real)"},
    {65, &stepHandler<core::divideReal<false, true>>, "real d = a / b (real, int)"},
    {66, &stepHandler<core::divideReal<false, false>>, "real d = a / b (real, real)"},
    {71, &stepHandler<core::intArith<Arith::Mul>>, "int d = a * b"},
    {74, &stepHandler<core::mixedArith<Arith::Mul, true>>, "real d = a * b (int, real)"},
    {75, &stepHandler<core::mixedArith<Arith::Mul, false>>, "real d = a * b (real, int)"},
    {76, &stepHandler<core::realArith<Arith::Mul>>, "real d = a * b"},
    {81, &stepHandler<core::intArith<Arith::Add>>, "int d = a + b"},
    {84, &stepHandler<core::mixedArith<Arith::Add, true>>, "real d = a + b (int, real)"},
    {85, &stepHandler<core::mixedArith<Arith::Add, false>>, "real d = a + b (real, int)"},
    {86, &stepHandler<core::realArith<Arith::Add>>, "real d = a + b"},
    {91, &stepHandler<core::intArith<Arith::Sub>>, "int d = a - b"},
    {94, &stepHandler<core::mixedArith<Arith::Sub, true>>, "real d = a - b (int, real)"},
    {95, &stepHandler<core::mixedArith<Arith::Sub, false>>, "real d = a - b (real, int)"},
    {96, &stepHandler<core::realArith<Arith::Sub>>, "real d = a - b"},
    {123, &stepHandler<core::bitAnd>, "int d = a and b (bitwise)"},
    {124, &stepHandler<core::bitOr>, "int d = a or b (bitwise)"},
    {151, &stepHandler<core::copyWord>, "int d = a"},
    {152, &stepHandler<core::copyWord>, "real d = a"},
    {153, &assignString, "str d = a"},
    {154, &stepHandler<core::realToInt>, "int d = real a truncated"},
    {155, &stepHandler<core::intToReal>, "real d = int a"},
    {411, &stepRealByOne<1>, "inc real variable"},
    {412, &stepIntByOne<1>, "inc int variable"},
    {413, &stepRealByReal<1>, "inc real variable by a real"},
    {414, &stepIntByReal<1>, "inc int variable by a real, truncated"},
    {421, &stepRealByOne<-1>, "dec real variable"},
    {422, &stepIntByOne<-1>, "dec int variable"},
    {423, &stepRealByReal<-1>, "dec real variable by a real"},
    {424, &stepIntByReal<-1>, "dec int variable by a real, truncated"},
};

}  // namespace

void registerArithCommands(Machine& m) { registerCommands(m, kArithCommands); }

}  // namespace vm
