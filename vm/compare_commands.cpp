// Comparisons: d = 1 when the relation holds, else 0. Mixed integer/real forms compare in double
// with the integer converted exactly; strings compare byte by byte as unsigned values.
#include <cstring>
#include <functional>

#include "vm/core_families.h"
#include "vm/core_ops.h"
#include "vm/core_support.h"

namespace vm {
namespace {

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
    {101, &core::stepHandler<core::compareInt<Eq>>, "d = (a = b) int"},
    {102, &core::stepHandler<core::compareReal<Eq>>, "d = (a = b) real"},
    {103, &compareString<Eq>, "d = (a = b) str"},
    {111, &core::stepHandler<core::compareInt<Gt>>, "d = (a > b) int"},
    {112, &core::stepHandler<core::compareReal<Gt>>, "d = (a > b) real"},
    {113, &core::stepHandler<core::compareInt<Ge>>, "d = (a >= b) int"},
    {114, &core::stepHandler<core::compareReal<Ge>>, "d = (a >= b) real"},
    {115, &core::stepHandler<core::compareInt<Lt>>, "d = (a < b) int"},
    {116, &core::stepHandler<core::compareReal<Lt>>, "d = (a < b) real"},
    {117, &core::stepHandler<core::compareInt<Le>>, "d = (a <= b) int"},
    {118, &core::stepHandler<core::compareReal<Le>>, "d = (a <= b) real"},
    {119, &core::stepHandler<core::compareInt<Ne>>, "d = (a <> b) int"},
    {120, &core::stepHandler<core::compareReal<Ne>>, "d = (a <> b) real"},
    {121, &compareString<Ne>, "d = (a <> b) str"},
    {131, &core::stepHandler<core::compareMixed<Eq, true>>, "d = (a = b) int, real"},
    {132, &core::stepHandler<core::compareMixed<Eq, false>>, "d = (a = b) real, int"},
    {133, &core::stepHandler<core::compareMixed<Gt, true>>, "d = (a > b) int, real"},
    {134, &core::stepHandler<core::compareMixed<Gt, false>>, "d = (a > b) real, int"},
    {135, &core::stepHandler<core::compareMixed<Ge, true>>, "d = (a >= b) int, real"},
    {136, &core::stepHandler<core::compareMixed<Ge, false>>, "d = (a >= b) real, int"},
    {137, &core::stepHandler<core::compareMixed<Lt, true>>, "d = (a < b) int, real"},
    {138, &core::stepHandler<core::compareMixed<Lt, false>>, "d = (a < b) real, int"},
    {139, &core::stepHandler<core::compareMixed<Le, true>>, "d = (a <= b) int, real"},
    {140, &core::stepHandler<core::compareMixed<Le, false>>, "d = (a <= b) real, int"},
    {141, &core::stepHandler<core::compareMixed<Ne, true>>, "d = (a <> b) int, real"},
    {142, &core::stepHandler<core::compareMixed<Ne, false>>, "d = (a <> b) real, int"},
    {143, &compareString<Gt>, "d = (a > b) str"},
    {144, &compareString<Lt>, "d = (a < b) str"},
};

}  // namespace

void registerCompareCommands(Machine& m) { registerCommands(m, kCompareCommands); }

}  // namespace vm
