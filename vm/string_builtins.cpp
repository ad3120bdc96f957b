// String functions and number-to-text conversions. Results are written as new heap strings into
// the destination; working texts are at most 255 characters.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vm/core_families.h"
#include "vm/core_support.h"

namespace vm {

namespace core {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

int32_t textToInt(const char* s) {
    while (isBlank(*s)) ++s;
    bool negative = false;
    if (*s == '+' || *s == '-') negative = *s++ == '-';
    int64_t value = 0;
    for (; isDigit(*s); ++s) {
        value = value * 10 + (*s - '0');
        if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;  // saturate, keep reading
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// Only the decimal form is taken (no hexadecimal, "inf" or "nan"), then converted correctly rounded.
float textToReal(const char* s) {
    while (isBlank(*s)) ++s;
    const char* start = s;
    if (*s == '+' || *s == '-') ++s;
    bool digits = false;
    while (isDigit(*s)) ++s, digits = true;
    if (*s == '.') {
        ++s;
        while (isDigit(*s)) ++s, digits = true;
    }
    if (!digits) return 0.0f;
    if (*s == 'e' || *s == 'E') {
        const char* e = s + 1;
        if (*e == '+' || *e == '-') ++e;
        if (isDigit(*e)) {
            while (isDigit(*e)) ++e;
            s = e;
        }
    }
    char number[512];
    const size_t length = std::min<size_t>(static_cast<size_t>(s - start), sizeof number - 1);
    std::memcpy(number, start, length);
    number[length] = '\0';
    return static_cast<float>(std::strtod(number, nullptr));
}

size_t formatReal(char* out, float value) {
    const int n = std::snprintf(out, 32, "%g", static_cast<double>(value));
    return n > 0 ? static_cast<size_t>(n) : 0;
}

}  // namespace core

namespace {

constexpr int kStringTooLong = 107;

void setResult(Cell& d, const char* data, size_t length) { setString(d, data, length); }

void asciiCode(Machine& m) {
    const Op* p = m.pc;
    p[0].cell->i = static_cast<unsigned char>(text(*p[1].cell)[0]);
    m.pc = p + 2;
}

void character(Machine& m) {
    const Op* p = m.pc;
    const char c = static_cast<char>(p[1].cell->i & 255);
    setResult(*p[0].cell, &c, c == '\0' ? 0 : 1);
    m.pc = p + 2;
}

void binaryText(Machine& m) {
    const Op* p = m.pc;
    const uint32_t n = static_cast<uint32_t>(p[1].cell->i);
    char out[33];
    out[0] = '%';
    for (int bit = 0; bit < 32; ++bit) out[1 + bit] = (n >> (31 - bit)) & 1u ? '1' : '0';
    setResult(*p[0].cell, out, 33);
    m.pc = p + 2;
}

void hexText(Machine& m) {
    const Op* p = m.pc;
    char out[16];
    const int n = std::snprintf(out, sizeof out, "%X", static_cast<unsigned>(static_cast<uint32_t>(p[1].cell->i)));
    setResult(*p[0].cell, out, static_cast<size_t>(n));
    m.pc = p + 2;
}

void realText(Machine& m) {
    const Op* p = m.pc;
    char out[32];
    setResult(*p[0].cell, out, core::formatReal(out, p[1].cell->f));
    m.pc = p + 2;
}

void intText(Machine& m) {
    const Op* p = m.pc;
    char out[16];
    const char* end = std::to_chars(out, out + sizeof out, static_cast<int>(p[1].cell->i)).ptr;
    setResult(*p[0].cell, out, static_cast<size_t>(end - out));
    m.pc = p + 2;
}

void textToRealValue(Machine& m) {
    const Op* p = m.pc;
    p[0].cell->f = core::textToReal(text(*p[1].cell));
    m.pc = p + 2;
}

void textToIntValue(Machine& m) {
    const Op* p = m.pc;
    p[0].cell->i = core::textToInt(text(*p[1].cell));
    m.pc = p + 2;
}

void length(Machine& m) {
    const Op* p = m.pc;
    p[0].cell->i = static_cast<int32_t>(std::strlen(text(*p[1].cell)));
    m.pc = p + 2;
}

// 233: the first n characters; 248: the last n.
template <bool FromEnd>
void part(Machine& m) {
    const Op* p = m.pc;
    const char* s = text(*p[1].cell);
    const size_t total = core::cappedLength(s);
    const int32_t n = p[2].cell->i;
    const size_t count = n <= 0 ? 0 : std::min(total, static_cast<size_t>(n));
    const char* from = FromEnd ? s + (total - count) : s;
    if (p[0].cell != p[1].cell || count != total) {
        char out[kMaxStringLength + 1];
        std::memcpy(out, from, count);
        setResult(*p[0].cell, out, count);
    }
    m.pc = p + 3;
}

// 237: the character at position n, counted from 1.
void characterAt(Machine& m) {
    const Op* p = m.pc;
    const char* s = text(*p[1].cell);
    const int32_t n = p[2].cell->i;
    const char c = n >= 1 && static_cast<size_t>(n) <= core::cappedLength(s) ? s[n - 1] : '\0';
    setResult(*p[0].cell, &c, c == '\0' ? 0 : 1);
    m.pc = p + 3;
}

template <bool Upper>
void changeCase(Machine& m) {
    const Op* p = m.pc;
    const char* s = text(*p[1].cell);
    const size_t n = core::cappedLength(s);
    char out[kMaxStringLength + 1];
    for (size_t i = 0; i < n; ++i) {
        const char c = s[i];
        if (Upper) {
            out[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
        } else {
            out[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        }
    }
    setResult(*p[0].cell, out, n);
    m.pc = p + 2;
}

void blanks(Machine& m) {
    const Op* p = m.pc;
    const int32_t n = p[1].cell->i;
    if (n > kMaxStringLength) {
        raise(m, kStringTooLong);
        m.pc = p + 2;
        return;
    }
    char out[kMaxStringLength + 1];
    const size_t count = n > 0 ? static_cast<size_t>(n) : 0;
    std::memset(out, ' ', count);
    setResult(*p[0].cell, out, count);
    m.pc = p + 2;
}

constexpr CommandEntry kStringBuiltins[] = {
    {203, &asciiCode, "int d = code of the first character of s"},
    {209, &character, "str d = the character of code n"},
    {206, &binaryText, "str d = % and the 32 bits of n"},
    {223, &hexText, "str d = n in hexadecimal"},
    {311, &realText, "str d = real x as text (%g)"},
    {312, &intText, "str d = int n as text"},
    {321, &textToRealValue, "real d = the leading number of s"},
    {322, &textToIntValue, "int d = the leading integer of s"},
    {234, &length, "int d = length of s"},
    {233, &part<false>, "str d = the first n characters of s"},
    {248, &part<true>, "str d = the last n characters of s"},
    {237, &characterAt, "str d = the character at position n of s"},
    {236, &changeCase<false>, "str d = s in lower case"},
    {261, &changeCase<true>, "str d = s in upper case"},
    {256, &blanks, "str d = n blanks (error 107 from 256)"},
};

}  // namespace

void registerStringBuiltins(Machine& m) { registerCommands(m, kStringBuiltins); }

}  // namespace vm
