// The hottest core instructions as inline steps, shared by their handlers and by the interpreter's
// fast path (ZV_CORE_FAST_STEPS), so that both do exactly the same thing.
//
// A step takes the instruction's first operand `p` and returns where execution continues. A step
// that can raise first stores `p` in m.pc, so that the error dump finds its command word just
// before the program counter, as it does for a handler.
#pragma once

#include <algorithm>
#include <array>
#include <functional>
#include <initializer_list>

#include "vm/array_access.h"
#include "vm/call_steps.h"
#include "vm/core_support.h"

namespace vm::core {

using Step = const Op* (*)(Machine&, const Op*);

// A handler made of a step.
template <Step S>
void stepHandler(Machine& m) {
    const Op* next = S(m, m.pc);
    if (next != &m.haltWord) m.pc = next;  // the halt word: the step stored where it continues
}

// --- flow ---

inline const Op* jumpIfFalse(Machine& m, const Op* p) { return p[0].cell->i == 0 ? codeAt(m, p[1].target) : p + 2; }
inline const Op* jump(Machine& m, const Op* p) { return codeAt(m, p[0].target); }
inline const Op* next(Machine& m, const Op* p) { return codeAt(m, p[1].target); }  // v is not read

// v, limit, step, t — v = v + step; leave the loop once v has passed the limit. Step 0 never ends.
inline const Op* forStep(Machine& m, const Op* p) {
    const int32_t step = p[2].cell->i;
    const int32_t limit = p[1].cell->i;
    const int32_t v = wrapAdd(p[0].cell->i, step);
    p[0].cell->i = v;
    const bool done = (step > 0 && v > limit) || (step < 0 && v < limit);
    return done ? codeAt(m, p[3].target) : p + 4;
}

// --- integer and real arithmetic (d, a, b) ---

enum class Arith { Add, Sub, Mul };

template <Arith A>
inline const Op* intArith(Machine&, const Op* p) {
    const int32_t a = p[1].cell->i;
    const int32_t b = p[2].cell->i;
    if constexpr (A == Arith::Add) p[0].cell->i = wrapAdd(a, b);
    if constexpr (A == Arith::Sub) p[0].cell->i = wrapSub(a, b);
    if constexpr (A == Arith::Mul) p[0].cell->i = wrapMul(a, b);
    return p + 3;
}

template <Arith A>
inline const Op* realArith(Machine&, const Op* p) {
    const float a = p[1].cell->f;
    const float b = p[2].cell->f;
    if constexpr (A == Arith::Add) p[0].cell->f = a + b;
    if constexpr (A == Arith::Sub) p[0].cell->f = a - b;
    if constexpr (A == Arith::Mul) p[0].cell->f = a * b;
    return p + 3;
}

inline double asDouble(const Cell& c, bool isInt) { return isInt ? static_cast<double>(c.i) : static_cast<double>(c.f); }

// One integer and one real operand: computed in double with the integer converted exactly.
template <Arith A, bool AInt>
inline const Op* mixedArith(Machine&, const Op* p) {
    const double a = asDouble(*p[1].cell, AInt);
    const double b = asDouble(*p[2].cell, !AInt);
    double r = 0;
    if constexpr (A == Arith::Add) r = a + b;
    if constexpr (A == Arith::Sub) r = a - b;
    if constexpr (A == Arith::Mul) r = a * b;
    p[0].cell->f = static_cast<float>(r);
    return p + 3;
}

inline const Op* bitAnd(Machine&, const Op* p) {
    p[0].cell->i = p[1].cell->i & p[2].cell->i;
    return p + 3;
}

inline const Op* bitOr(Machine&, const Op* p) {
    p[0].cell->i = p[1].cell->i | p[2].cell->i;
    return p + 3;
}

// Division: a zero divisor gives 0 and the recoverable error 111; the most negative integer divided
// by -1 wraps to itself.
constexpr int kDivisionByZero = 111;

inline const Op* divideInt(Machine& m, const Op* p) {
    const int32_t a = p[1].cell->i;
    const int32_t b = p[2].cell->i;
    if (b == 0) {
        p[0].cell->i = 0;
        m.pc = p;
        raiseRecoverable(m, kDivisionByZero);
    } else {
        p[0].cell->i = b == -1 ? wrapNegate(a) : a / b;
    }
    return p + 3;
}

template <bool AInt, bool BInt>
inline const Op* divideReal(Machine& m, const Op* p) {
    const Cell& b = *p[2].cell;
    if (BInt ? b.i == 0 : b.f == 0.0f) {
        p[0].cell->f = 0.0f;
        m.pc = p;
        raiseRecoverable(m, kDivisionByZero);
    } else if constexpr (!AInt && !BInt) {
        p[0].cell->f = p[1].cell->f / b.f;
    } else {
        p[0].cell->f = static_cast<float>(asDouble(*p[1].cell, AInt) / asDouble(b, BInt));
    }
    return p + 3;
}

inline const Op* copyWord(Machine&, const Op* p) {  // 151 and 152
    p[0].cell->i = p[1].cell->i;
    return p + 2;
}

inline const Op* realToInt(Machine&, const Op* p) {
    p[0].cell->i = truncateToInt(p[1].cell->f);
    return p + 2;
}

inline const Op* intToReal(Machine&, const Op* p) {
    p[0].cell->f = static_cast<float>(p[1].cell->i);
    return p + 2;
}

// --- comparisons (d, a, b): 1 or 0 ---

template <typename Relation>
inline const Op* compareInt(Machine&, const Op* p) {
    p[0].cell->i = Relation{}(p[1].cell->i, p[2].cell->i) ? 1 : 0;
    return p + 3;
}

template <typename Relation>
inline const Op* compareReal(Machine&, const Op* p) {
    p[0].cell->i = Relation{}(p[1].cell->f, p[2].cell->f) ? 1 : 0;
    return p + 3;
}

template <typename Relation, bool AInt>
inline const Op* compareMixed(Machine&, const Op* p) {
    p[0].cell->i = Relation{}(asDouble(*p[1].cell, AInt), asDouble(*p[2].cell, !AInt)) ? 1 : 0;
    return p + 3;
}

// --- array elements of one and two dimensions ---

// i1 + s1 * (i2 + s2 * (i3 + ...)), wrapping like the 32-bit machine words it is made of; only
// this linear index is checked against the array.
template <int K>
inline uint32_t linearIndex(const ArrayEntry& a, const Op* subscripts) {
    uint32_t index = static_cast<uint32_t>(subscripts[K - 1].cell->i);
    for (int j = K - 2; j >= 0; --j) {
        index = static_cast<uint32_t>(subscripts[j].cell->i) + static_cast<uint32_t>(a.sizes[j]) * index;
    }
    return index;
}

inline bool inside(const ArrayEntry& a, uint32_t index) { return index < static_cast<uint32_t>(a.total); }

inline void recordReference(Machine& m, const Cell* d, const ArrayEntry* a, uint32_t element) {
    const unsigned cell = static_cast<unsigned>(cellIndex(m, d));
    if (cell >= static_cast<unsigned>(kCellCount)) return;
    m.refs[cell].arraySlot = a ? static_cast<uint16_t>(a - m.arrays + 1) : uint16_t{0};
    m.refs[cell].element = static_cast<int32_t>(element);
}

constexpr int kIndexOutsideArray = 102;

// v, i1 ... ik, x: a variable that is no array of this kind ignores the store.
template <ArrayKind Kind, bool FromInt, int K>
inline const Op* storeNumber(Machine& m, const Op* p) {
    ArrayEntry* a = arrayOf(m, p[0].cell);
    if (a != nullptr && a->kind == Kind) {
        const uint32_t index = linearIndex<K>(*a, p + 1);
        const Cell& x = *p[1 + K].cell;
        if (!inside(*a, index)) {
            m.pc = p;
            raise(m, kIndexOutsideArray);
        } else if constexpr (Kind == ArrayKind::Int) {
            static_cast<int32_t*>(a->storage)[index] = x.i;
        } else {
            static_cast<float*>(a->storage)[index] = FromInt ? static_cast<float>(x.i) : x.f;
        }
    }
    return p + 2 + K;
}

// d, v, i1 ... ik: the element's value into d, and its place into d's ReferenceTable entry.
template <ArrayKind Kind, int K>
inline const Op* readNumber(Machine& m, const Op* p) {
    Cell& d = *p[0].cell;
    ArrayEntry* a = arrayOf(m, p[1].cell);
    if (a == nullptr || a->kind != Kind) {
        d.i = 0;
        recordReference(m, &d, nullptr, 0);  // a later store through d must not reach an old element
        return p + 2 + K;
    }
    const uint32_t index = linearIndex<K>(*a, p + 2);
    if (!inside(*a, index)) {
        m.pc = p;
        raise(m, kIndexOutsideArray);
        return p + 2 + K;
    }
    d.i = static_cast<int32_t*>(a->storage)[index];  // the word: an integer or the bits of a real
    recordReference(m, &d, a, index);
    return p + 2 + K;
}

// User-function calls and returns, and the call stack: vm/call_steps.h.


// Pairs the compiler always emits together run in one go: a value computed into a temporary and
// then copied into a variable, a comparison and the jump that tests it, the next of a for loop and
// the for step it jumps to. Whether an instruction has its partner is settled once, when the
// interpreter prepares the program (Op::step), so the pair runs without looking at the second
// word's code. An instruction run together with the one before it counts with it as one for the
// clock.
enum class Partner : uint8_t { None, Copy, Branch, ForStep };

inline bool isPartner(Partner partner, int32_t code) {
    switch (partner) {
        case Partner::Copy:
            return code == 151 || code == 152;
        case Partner::Branch:
            return code == 1 || code == 9 || code == 12;
        case Partner::ForStep:
            return code == 7;
        default:
            return false;
    }
}

inline bool isReturnWord(int32_t code) { return code == 23 || code == 24 || code == 28 || code == 29; }

// Whether the partner at `at` reads the word the instruction at `first` writes (its first operand):
// the pair then hands the value over directly instead of reading it back.
inline bool readsResult(const Op* code, size_t first, size_t at, Partner partner) {
    const Cell* result = code[first + 1].cell;
    switch (partner) {
        case Partner::Copy:
            return code[at + 2].cell == result;  // 151/152: d, a
        case Partner::Branch:
            return code[at + 1].cell == result;  // 1/9/12: cond, t
        default:
            return true;
    }
}

// The partner's own step, given the word `q` where the first instruction continues and the value
// it wrote (the partner's operand, see readsResult).
template <Partner P>
inline const Op* partnerStep(Machine& m, const Op* q, int32_t value) {
    if constexpr (P == Partner::Copy) {
        q[1].cell->i = value;
        return q + 3;
    }
    if constexpr (P == Partner::Branch) return value == 0 ? codeAt(m, q[2].target) : q + 3;
    if constexpr (P == Partner::ForStep) return forStep(m, q + 1);
    return q;
}

// A function's value is most often copied into a variable by the instruction right after the
// call: the return runs that copy with it (its partner cannot be settled beforehand).
inline const Op* thenCopyAfterReturn(Machine& m, const Op* q) {
    return isPartner(Partner::Copy, q->n) ? copyWord(m, q + 1) : q;
}

// The instructions run inline, each as X(name, step expression, partner, operands, codes...): the
// expression takes the machine `m` and the first operand `p` and gives where execution continues;
// the partner follows the instruction's operands (Copy, Branch) or is the jump's target (ForStep).
#define ZV_CORE_FAST_STEPS(X)                                                                   \
    X(JumpIfFalse, jumpIfFalse(m, p), None, 2, 1, 9, 12)                                        \
    X(Jump, jump(m, p), None, 1, 2, 5, 6, 10, 42)                                               \
    X(ForStep, forStep(m, p), None, 4, 7)                                                       \
    X(Call, callStep(m, p), None, 0, 21)                                                        \
    X(ReturnNothing, returnNothingStep(m, p), None, 0, 22, 27)                                  \
    X(ReturnWord, thenCopyAfterReturn(m, returnWordStep(m, p)), None, 1, 23, 24, 28, 29)        \
    X(Next, next(m, p), ForStep, 2, 8)                                                          \
    X(IntMul, intArith<Arith::Mul>(m, p), Copy, 3, 71)                                          \
    X(IntRealMul, (mixedArith<Arith::Mul, true>(m, p)), Copy, 3, 74)                            \
    X(RealIntMul, (mixedArith<Arith::Mul, false>(m, p)), Copy, 3, 75)                           \
    X(RealMul, realArith<Arith::Mul>(m, p), Copy, 3, 76)                                        \
    X(IntAdd, intArith<Arith::Add>(m, p), Copy, 3, 81)                                          \
    X(IntRealAdd, (mixedArith<Arith::Add, true>(m, p)), Copy, 3, 84)                            \
    X(RealIntAdd, (mixedArith<Arith::Add, false>(m, p)), Copy, 3, 85)                           \
    X(RealAdd, realArith<Arith::Add>(m, p), Copy, 3, 86)                                        \
    X(IntSub, intArith<Arith::Sub>(m, p), Copy, 3, 91)                                          \
    X(IntRealSub, (mixedArith<Arith::Sub, true>(m, p)), Copy, 3, 94)                            \
    X(RealIntSub, (mixedArith<Arith::Sub, false>(m, p)), Copy, 3, 95)                           \
    X(RealSub, realArith<Arith::Sub>(m, p), Copy, 3, 96)                                        \
    X(IntEqual, compareInt<std::equal_to<>>(m, p), Branch, 3, 101)                              \
    X(RealEqual, compareReal<std::equal_to<>>(m, p), Branch, 3, 102)                            \
    X(IntGreater, compareInt<std::greater<>>(m, p), Branch, 3, 111)                             \
    X(RealGreater, compareReal<std::greater<>>(m, p), Branch, 3, 112)                           \
    X(IntGreaterEqual, compareInt<std::greater_equal<>>(m, p), Branch, 3, 113)                  \
    X(RealGreaterEqual, compareReal<std::greater_equal<>>(m, p), Branch, 3, 114)                \
    X(IntLess, compareInt<std::less<>>(m, p), Branch, 3, 115)                                   \
    X(RealLess, compareReal<std::less<>>(m, p), Branch, 3, 116)                                 \
    X(IntLessEqual, compareInt<std::less_equal<>>(m, p), Branch, 3, 117)                        \
    X(RealLessEqual, compareReal<std::less_equal<>>(m, p), Branch, 3, 118)                      \
    X(IntNotEqual, compareInt<std::not_equal_to<>>(m, p), Branch, 3, 119)                       \
    X(RealNotEqual, compareReal<std::not_equal_to<>>(m, p), Branch, 3, 120)                     \
    X(IntDivide, divideInt(m, p), None, 3, 61)                                                  \
    X(IntRealDivide, (divideReal<true, false>(m, p)), None, 3, 64)                              \
    X(RealIntDivide, (divideReal<false, true>(m, p)), None, 3, 65)                              \
    X(RealDivide, (divideReal<false, false>(m, p)), None, 3, 66)                                \
    X(BitAnd, bitAnd(m, p), Branch, 3, 123)                                                     \
    X(BitOr, bitOr(m, p), Branch, 3, 124)                                                       \
    X(Copy, copyWord(m, p), None, 2, 151, 152)                                                  \
    X(RealToInt, realToInt(m, p), Copy, 2, 154)                                                 \
    X(IntToReal, intToReal(m, p), Copy, 2, 155)                                                 \
    X(StoreInt1, (storeNumber<ArrayKind::Int, false, 1>(m, p)), None, 3, 561)                   \
    X(StoreInt2, (storeNumber<ArrayKind::Int, false, 2>(m, p)), None, 4, 562)                   \
    X(StoreReal1, (storeNumber<ArrayKind::Real, false, 1>(m, p)), None, 3, 566)                 \
    X(StoreReal2, (storeNumber<ArrayKind::Real, false, 2>(m, p)), None, 4, 567)                 \
    X(ReadInt1, (readNumber<ArrayKind::Int, 1>(m, p)), None, 3, 661)                            \
    X(ReadInt2, (readNumber<ArrayKind::Int, 2>(m, p)), None, 4, 662)                            \
    X(ReadReal1, (readNumber<ArrayKind::Real, 1>(m, p)), None, 3, 666)                          \
    X(ReadReal2, (readNumber<ArrayKind::Real, 2>(m, p)), None, 4, 667)

// The steps above by name; None: the instruction needs its handler.
enum class FastStep : uint8_t {
    None,
#define ZV_FAST_STEP_NAME(name, ...) name,
    ZV_CORE_FAST_STEPS(ZV_FAST_STEP_NAME)
#undef ZV_FAST_STEP_NAME
};

// Steps that may raise an error (which ends the slice) are followed by a look at the end-slice
// flag; the others cannot end a slice, so the interpreter goes straight on after them.
constexpr bool mayEndSlice(FastStep step) {
    switch (step) {
        case FastStep::IntDivide:
        case FastStep::IntRealDivide:
        case FastStep::RealIntDivide:
        case FastStep::RealDivide:
        case FastStep::StoreInt1:
        case FastStep::StoreInt2:
        case FastStep::StoreReal1:
        case FastStep::StoreReal2:
        case FastStep::ReadInt1:
        case FastStep::ReadInt2:
        case FastStep::ReadReal1:
        case FastStep::ReadReal2:
            return true;
        default:
            return false;
    }
}

// Each step's partner and operand count, by FastStep.
inline constexpr Partner kPartnerOf[] = {
    Partner::None,
#define ZV_PARTNER_OF(name, step, partner, ...) Partner::partner,
    ZV_CORE_FAST_STEPS(ZV_PARTNER_OF)
#undef ZV_PARTNER_OF
};
inline constexpr uint8_t kOperandsOf[] = {
    0,
#define ZV_OPERANDS_OF(name, step, partner, operands, ...) operands,
    ZV_CORE_FAST_STEPS(ZV_OPERANDS_OF)
#undef ZV_OPERANDS_OF
};

// Which of the steps above runs each command code (as a FastStep).
inline const uint8_t* fastStepOfCode() {
    static const auto table = [] {
        std::array<uint8_t, kMaxCommandCode + 1> t{};
        uint8_t k = 0;
#define ZV_MARK_CODES(name, step, partner, operands, ...) \
    ++k;                                                 \
    for (int code : {__VA_ARGS__}) t[size_t(code)] = k;
        ZV_CORE_FAST_STEPS(ZV_MARK_CODES)
#undef ZV_MARK_CODES
        return t;
    }();
    return table.data();
}

}  // namespace vm::core
