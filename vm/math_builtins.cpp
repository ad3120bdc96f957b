// Mathematics in degrees, random numbers and colour packing.
//
// Degrees become radians by multiplying with 0.01745 and radians degrees with 57.306590257879655
// (its reciprocal); both factors are part of the results' exact values, so cos(90) is the cosine of
// 1.5705 radians and acos(0) is 90.0158. Out-of-range arguments give the maths library's results.
#include <cmath>

#include "vm/core_families.h"
#include "vm/core_support.h"

namespace vm {
namespace {

constexpr double kDegreesToRadians = 0.01745;
constexpr double kRadiansToDegrees = 57.306590257879655;
constexpr int kBadRandomRange = 113;

inline double operand(const Cell& c, bool isInt) { return isInt ? static_cast<double>(c.i) : static_cast<double>(c.f); }

// real d = f(x), x real or int
template <double (*F)(double), bool XInt>
void realFunction(Machine& m) {
    const Op* p = m.pc;
    p[0].cell->f = static_cast<float>(F(operand(*p[1].cell, XInt)));
    m.pc = p + 2;
}

double arcCosDegrees(double x) { return std::acos(x) * kRadiansToDegrees; }
double arcSinDegrees(double x) { return std::asin(x) * kRadiansToDegrees; }
double arcTanDegrees(double x) { return std::atan(x) * kRadiansToDegrees; }
double cosDegrees(double x) { return std::cos(x * kDegreesToRadians); }
double sinDegrees(double x) { return std::sin(x * kDegreesToRadians); }
double tanDegrees(double x) { return std::tan(x * kDegreesToRadians); }
double coshDegrees(double x) { return std::cosh(x * kDegreesToRadians); }
double sinhDegrees(double x) { return std::sinh(x * kDegreesToRadians); }
double tanhDegrees(double x) { return std::tanh(x * kDegreesToRadians); }
double squareRoot(double x) { return std::sqrt(x); }
double absolute(double x) { return std::fabs(x); }

template <bool AInt, bool BInt>
void arcTan2(Machine& m) {
    const Op* p = m.pc;
    p[0].cell->f = static_cast<float>(std::atan2(operand(*p[1].cell, AInt), operand(*p[2].cell, BInt)) * kRadiansToDegrees);
    m.pc = p + 3;
}

// 201: int d = |trunc(x)|; the most negative integer stays itself, as the machine word wraps.
void absTruncated(Machine& m) {
    const Op* p = m.pc;
    const int32_t v = core::truncateToInt(p[1].cell->f);
    p[0].cell->i = v < 0 ? core::wrapNegate(v) : v;
    m.pc = p + 2;
}

void truncated(Machine& m) {
    const Op* p = m.pc;
    p[0].cell->i = core::truncateToInt(p[1].cell->f);
    m.pc = p + 2;
}

void expInt(Machine& m) {
    const Op* p = m.pc;
    p[0].cell->i = core::truncateToInt(std::exp(static_cast<double>(p[1].cell->i)));
    m.pc = p + 2;
}

// --- random numbers: seed = seed * 214013 + 2531011, value = (seed >> 16) & 32767 ---

inline int32_t nextRandom(Machine& m) {
    m.randomSeed = m.randomSeed * 214013u + 2531011u;
    return static_cast<int32_t>((m.randomSeed >> 16) & 32767u);
}

void seedRandom(Machine& m) {
    m.randomSeed = static_cast<uint32_t>(m.pc[0].cell->i);
    m.pc += 1;
}

// 390, 249: the next value modulo (n + 1), as an integer or a real.
template <bool AsReal>
void randomBelow(Machine& m) {
    const Op* p = m.pc;
    const int32_t n = p[1].cell->i;
    if (n < 0 || n == INT32_MAX) {
        raise(m, kBadRandomRange);
        m.pc = p + 2;
        return;
    }
    const int32_t value = nextRandom(m) % (n + 1);
    if constexpr (AsReal) {
        p[0].cell->f = static_cast<float>(value);
    } else {
        p[0].cell->i = value;
    }
    m.pc = p + 2;
}

// --- colours: 0xRRGGBB ---

void packColour(Machine& m) {
    const Op* p = m.pc;
    const uint32_t r = static_cast<uint32_t>(p[1].cell->i);
    const uint32_t g = static_cast<uint32_t>(p[2].cell->i);
    const uint32_t b = static_cast<uint32_t>(p[3].cell->i);
    p[0].cell->i = static_cast<int32_t>(b + r * 65536u + g * 256u);  // components are not masked
    m.pc = p + 4;
}

template <int Shift>
void colourComponent(Machine& m) {
    const Op* p = m.pc;
    p[0].cell->i = (p[1].cell->i >> Shift) & 255;
    m.pc = p + 2;
}

constexpr CommandEntry kMathBuiltins[] = {
    {201, &absTruncated, "int d = abs(real x truncated)"},
    {368, &realFunction<absolute, false>, "real d = abs(real x)"},
    {202, &realFunction<arcCosDegrees, false>, "real d = acos(real x) in degrees"},
    {361, &realFunction<arcCosDegrees, true>, "real d = acos(int x) in degrees"},
    {204, &realFunction<arcSinDegrees, false>, "real d = asin(real x) in degrees"},
    {362, &realFunction<arcSinDegrees, true>, "real d = asin(int x) in degrees"},
    {205, &realFunction<arcTanDegrees, false>, "real d = atan(real x) in degrees"},
    {363, &realFunction<arcTanDegrees, true>, "real d = atan(int x) in degrees"},
    {364, &arcTan2<false, false>, "real d = atan2(real a, real b) in degrees"},
    {365, &arcTan2<true, false>, "real d = atan2(int a, real b) in degrees"},
    {366, &arcTan2<false, true>, "real d = atan2(real a, int b) in degrees"},
    {367, &arcTan2<true, true>, "real d = atan2(int a, int b) in degrees"},
    {331, &realFunction<cosDegrees, false>, "real d = cos(real x degrees)"},
    {332, &realFunction<cosDegrees, true>, "real d = cos(int x degrees)"},
    {341, &realFunction<sinDegrees, false>, "real d = sin(real x degrees)"},
    {342, &realFunction<sinDegrees, true>, "real d = sin(int x degrees)"},
    {381, &realFunction<tanDegrees, false>, "real d = tan(real x degrees)"},
    {382, &realFunction<tanDegrees, true>, "real d = tan(int x degrees)"},
    {222, &realFunction<coshDegrees, false>, "real d = cosh(real x * 0.01745)"},
    {371, &realFunction<coshDegrees, true>, "real d = cosh(int x * 0.01745)"},
    {225, &realFunction<sinhDegrees, false>, "real d = sinh(real x * 0.01745)"},
    {372, &realFunction<sinhDegrees, true>, "real d = sinh(int x * 0.01745)"},
    {226, &realFunction<tanhDegrees, false>, "real d = tanh(real x * 0.01745)"},
    {373, &realFunction<tanhDegrees, true>, "real d = tanh(int x * 0.01745)"},
    {218, &expInt, "int d = e ^ int x, truncated"},
    {257, &realFunction<squareRoot, false>, "real d = sqrt(real x)"},
    {258, &realFunction<squareRoot, true>, "real d = sqrt(int x)"},
    {232, &truncated, "int d = real x truncated"},
    {245, &seedRandom, "seed the random generator"},
    {390, &randomBelow<false>, "int d = random value modulo (n + 1)"},
    {249, &randomBelow<true>, "real d = random value modulo (n + 1)"},
    {391, &packColour, "int d = rgb(r, g, b)"},
    {392, &colourComponent<16>, "int d = red component"},
    {393, &colourComponent<8>, "int d = green component"},
    {394, &colourComponent<0>, "int d = blue component"},
};

}  // namespace

void registerMathBuiltins(Machine& m) { registerCommands(m, kMathBuiltins); }

}  // namespace vm
