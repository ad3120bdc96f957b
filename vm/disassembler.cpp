#include "vm/disassembler.h"

#include <algorithm>
#include <cstdio>

namespace vm {

namespace {

std::string cellName(const Machine& m, int cell) {
    static const char* const kTempNames[] = {"it", "rt", "st"};
    static const char* const kVarNames[] = {"iv", "rv", "sv"};
    static const char* const kConstNames[] = {"ic", "rc", "sc"};
    char buffer[64];
    const Cell& c = m.cells[cell];
    if (cell < kIntVarBase) {
        std::snprintf(buffer, sizeof buffer, "%s%d", kTempNames[cell / 1000], cell % 1000);
        return buffer;
    }
    if (cell < kIntConstBase) {
        int offset = cell - kIntVarBase;
        std::snprintf(buffer, sizeof buffer, "%s%d", kVarNames[offset / 2000], offset % 2000);
        return buffer;
    }
    int offset = cell - kIntConstBase;
    int kind = offset / 2000;
    std::snprintf(buffer, sizeof buffer, "%s%d=", kConstNames[kind], offset % 2000);
    std::string name = buffer;
    if (kind == 0) return name + std::to_string(c.i);
    if (kind == 1) {
        std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(c.f));
        return name + buffer;
    }
    return name + "\"" + text(c) + "\"";
}

// Command codes, and 0 (the final word, which ends a program as an unknown code).
bool isCommandWord(int32_t word) { return word >= 0 && word <= kMaxCommandCode; }

}  // namespace

std::string describeOperand(const Machine& m, int codeIndex) {
    const Program& p = m.program;
    if (codeIndex < 0 || codeIndex >= p.codeSize) return "?";
    int32_t word = p.rawCode[codeIndex];
    if (word >= 10000 && word < 25000) return cellName(m, word - 10000);
    if (word >= 25000 && word < 35000) return "data:" + std::to_string(word - 25000);
    if (word >= 35000 && word < 37000) return "label:" + std::to_string(word - 35000);
    if (word >= 37000) return "@" + std::to_string(word - 37000);
    return std::to_string(word);
}

std::string disassemble(const Machine& m, int first, int count, const OperandCounter& operands) {
    const Program& p = m.program;
    int end = count < 0 ? p.codeSize : std::min(p.codeSize, first + count);
    std::string out;
    char buffer[96];
    for (int k = std::max(first, 0); k < end;) {
        int32_t code = p.rawCode[k];
        const char* meaning = isCommandWord(code) ? m.meanings[code] : nullptr;
        std::snprintf(buffer, sizeof buffer, "%5d [%d] ", k, p.lines[k]);
        out += buffer;
        out += isCommandWord(code) ? std::to_string(code) : describeOperand(m, k);
        if (meaning) out += std::string(" ") + meaning;
        int known = operands && isCommandWord(code) ? operands(code) : -1;
        int j = k + 1;
        const char* separator = ": ";
        while (j < end && (known >= 0 ? j <= k + known : !isCommandWord(p.rawCode[j]))) {
            out += separator + describeOperand(m, j);
            separator = ", ";
            ++j;
        }
        out += "\n";
        k = j;
    }
    return out;
}

}  // namespace vm
