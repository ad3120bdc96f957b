// Comparisons: d = 1 when the relation holds, else 0. Mixed integer/real forms compare in double
// with the integer converted exactly; strings compare byte by byte as unsigned values.
#include <cstring>
#include <functional>

#include "vm/core_families.h"
#include "vm/core_support.h"

namespace vm {
namespace {

template <typename Relation>
void compareInt(Machine& m) {
    const Op* p = m.pc;
    p[0].cell->i = Relation{}(p[1].cell->i, p[2].cell->i) ? 1 : 0;
    m.pc = p + 3;
}

template <typename Relation>
void compareReal(Machine& m) {
    const Op* p = m.pc;
    p[0].cell->i = Relation{}(p[1].cell->f, p[2].cell->f) ? 1 : 0;
    m.pc = p + 3;
}

template <typename Relation, bool AInt>
void compareMixed(Machine& m) {
    const Op* p = m.pc;
    const double a = AInt ? static_cast<double>(p[1].cell->i) : static_cast<double>(p[1].cell->f);
    const double b = AInt ? static_cast<double>(p[2].cell->f) : static_cast<double>(p[2].cell->i);
    p[0].cell->i = Relation{}(a, b) ? 1 : 0;
    m.pc = p + 3;
}

// strcmp compares as unsigned char, which is the language's byte order.
template <typename Relation>
void compareString(Machine& m) {
    const Op* p = m.pc;
    p[0].cell->i = Relation{}(std::strcmp(text(*p[1].cell), text(*p[2].cell)), 0) ? 1 : 0;
    m.pc = p + 3;
}

using Eq = std::equal_to<>;
using Ne = std::not_equal_to<>;
using Gt = std::greater<>;
using Ge = std::greater_equal<>;
using Lt = std::less<>;
using Le = std::less_equal<>;

constexpr CommandEntry kCompareCommands[] = {
    {101, &compareInt<Eq>, "d = (a = b) int"},
    {102, &compareReal<Eq>, "d = (a = b) real"},
    {103, &compareString<Eq>, "d = (a = b) str"},
    {111, &compareInt<Gt>, "d = (a > b) int"},
    {112, &compareReal<Gt>, "d = (a > b) real"},
    {113, &compareInt<Ge>, "d = (a >= b) int"},
    {114, &compareReal<Ge>, "d = (a >= b) real"},
    {115, &compareInt<Lt>, "d = (a < b) int"},
    {116, &compareReal<Lt>, "d = (a < b) real"},
    {117, &compareInt<Le>, "d = (a <= b) int"},
    {118, &compareReal<Le>, "d = (a <= b) real"},
    {119, &compareInt<Ne>, "d = (a <> b) int"},
    {120, &compareReal<Ne>, "d = (a <> b) real"},
    {121, &compareString<Ne>, "d = (a <> b) str"},
    {131, &compareMixed<Eq, true>, "d = (a = b) int, real"},
    {132, &compareMixed<Eq, false>, "d = (a = b) real, int"},
    {133, &compareMixed<Gt, true>, "d = (a > b) int, real"},
    {134, &compareMixed<Gt, false>, "d = (a > b) real, int"},
    {135, &compareMixed<Ge, true>, "d = (a >= b) int, real"},
    {136, &compareMixed<Ge, false>, "d = (a >= b) real, int"},
    {137, &compareMixed<Lt, true>, "d = (a < b) int, real"},
    {138, &compareMixed<Lt, false>, "d = (a < b) real, int"},
    {139, &compareMixed<Le, true>, "d = (a <= b) int, real"},
    {140, &compareMixed<Le, false>, "d = (a <= b) real, int"},
    {141, &compareMixed<Ne, true>, "d = (a <> b) int, real"},
    {142, &compareMixed<Ne, false>, "d = (a <> b) real, int"},
    {143, &compareString<Gt>, "d = (a > b) str"},
    {144, &compareString<Lt>, "d = (a < b) str"},
};

}  // namespace

void registerCompareCommands(Machine& m) { registerCommands(m, kCompareCommands); }

}  // namespace vm
