// Small helpers shared by the core instruction families: two's-complement arithmetic without
// undefined behaviour, real-to-integer truncation, the typed cell ranges and capped string writes.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "vm/machine.h"

namespace vm::core {

// Signed overflow is undefined in C++; the language wraps silently, so + - * go through unsigned.
inline int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t wrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t wrapMul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
inline int32_t wrapNegate(int32_t a) { return static_cast<int32_t>(0u - static_cast<uint32_t>(a)); }

// Out-of-range values keep the low 32 bits of the truncated value; NaN and infinities give 0.
int32_t truncateOutOfRange(double x);

// Truncation toward zero, the language's one real-to-integer conversion.
inline int32_t truncateToInt(double x) {
    if (x > -2147483649.0 && x < 2147483648.0) return static_cast<int32_t>(x);
    return truncateOutOfRange(x);
}

// Typed cell ranges (by cell number).
inline bool isIntVariable(int cell) { return cell >= kIntVarBase && cell < kRealVarBase; }
inline bool isRealVariable(int cell) { return cell >= kRealVarBase && cell < kStringVarBase; }
inline bool isStringVariable(int cell) { return cell >= kStringVarBase && cell < kIntConstBase; }
inline bool isIntTemp(int cell) { return cell >= kIntTempBase && cell < kRealTempBase; }
inline bool isRealTemp(int cell) { return cell >= kRealTempBase && cell < kStringTempBase; }
inline bool isStringTemp(int cell) { return cell >= kStringTempBase && cell < kIntVarBase; }

// Length of a cell's text, capped at the longest string value (a malformed image may hold longer ones).
inline size_t cappedLength(const char* s) { return strnlen(s, kMaxStringLength); }

// Writes a copy of `s` (capped) into the cell; copying a cell onto itself changes nothing.
inline void copyString(Cell& d, const Cell& a) {
    if (&d == &a) return;
    const char* s = text(a);
    setString(d, s, cappedLength(s));
}
inline void setText(Cell& d, const char* s) { setString(d, s, cappedLength(s)); }

// Replaces a cell's string by an allocation from newString() that the cell now owns.
inline void adoptString(Cell& c, char* s) {
    deleteString(c.s);
    c.s = s;
}

// The standard text-to-number conversions: leading blanks, a sign, then the leading decimal number
// (digits, a decimal point and an exponent for reals); 0 when there is none. Integers outside the
// 32-bit range give the nearest limit.
int32_t textToInt(const char* s);
float textToReal(const char* s);

// "%g" of a real (six significant digits); returns the length written into `out` (at least 32 bytes).
size_t formatReal(char* out, float value);

inline const Op* codeAt(const Machine& m, int32_t target) { return m.program.code.data() + target; }

}  // namespace vm::core
