// String join (87) and removal of the first occurrence (97).
#include <cstring>

#include "vm/core_families.h"
#include "vm/core_support.h"

namespace vm {
namespace {

constexpr int kStringTooLong = 107;

// d = a followed by b; a result over 255 characters is refused and d keeps its value.
void join(Machine& m) {
    const Op* p = m.pc;
    const char* a = text(*p[1].cell);
    const char* b = text(*p[2].cell);
    const size_t lengthA = strnlen(a, kMaxStringLength + 1);
    const size_t lengthB = strnlen(b, kMaxStringLength + 1);
    if (lengthA + lengthB > static_cast<size_t>(kMaxStringLength)) {
        raise(m, kStringTooLong);
        m.pc = p + 3;
        return;
    }
    char joined[kMaxStringLength + 1];
    std::memcpy(joined, a, lengthA);
    std::memcpy(joined + lengthA, b, lengthB);
    setString(*p[0].cell, joined, lengthA + lengthB);
    m.pc = p + 3;
}

// d = a without the first occurrence of b; an empty b occurs at 0 and removes nothing.
void removeFirst(Machine& m) {
    const Op* p = m.pc;
    const char* a = text(*p[1].cell);
    const char* b = text(*p[2].cell);
    const size_t lengthA = core::cappedLength(a);
    const size_t lengthB = core::cappedLength(b);
    char result[kMaxStringLength + 1];
    std::memcpy(result, a, lengthA);
    size_t length = lengthA;
    if (lengthB > 0 && lengthB <= lengthA) {
        result[lengthA] = '\0';
        if (const char* found = std::strstr(result, b)) {
            const size_t at = static_cast<size_t>(found - result);
            std::memmove(result + at, result + at + lengthB, lengthA - at - lengthB);
            length = lengthA - lengthB;
        }
    }
    setString(*p[0].cell, result, length);
    m.pc = p + 3;
}

constexpr CommandEntry kStringCommands[] = {
    {87, &join, "str d = a + b (error 107 over 255 characters)"},
    {97, &removeFirst, "str d = a with the first occurrence of b removed"},
};

}  // namespace

void registerStringCommands(Machine& m) { registerCommands(m, kStringCommands); }

}  // namespace vm
