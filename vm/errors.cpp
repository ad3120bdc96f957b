// Runtime errors: the raise paths, the message slots and the texts the host reports.
//
// Raising never unwinds: it records the error, ends the slice and posts the quit message; the
// handler goes on to write its fallback result and returns normally.
#include <cstdio>

#include "platform/platform.h"
#include "vm/machine.h"

namespace vm {

namespace {

constexpr int kRecoverableCodes[] = {1503, 2002, 2007, 2008, 2009, 2010, 3002, 3004, 3201,
                                     3502, 3504, 3507, 4001, 4002, 4101, 7901, 8002, 9011};

// Error codes first..last map to consecutive slots from `slot`.
struct SlotRange {
    int first, last, slot;
};
constexpr SlotRange kSlotRanges[] = {
    {0, 3, 1},         {21, 21, 5},       {101, 115, 6},     {300, 304, 21},    {310, 312, 26},
    {500, 505, 29},    {1000, 1013, 35},  {1014, 1014, 173}, {1500, 1504, 49},  {2000, 2010, 54},
    {3000, 3007, 65},  {3008, 3008, 177}, {3021, 3023, 73},  {3201, 3201, 76},  {3500, 3507, 77},
    {4001, 4002, 85},  {4101, 4104, 87},  {7000, 7008, 91},  {7009, 7009, 108}, {7010, 7010, 107},
    {7011, 7017, 109}, {7018, 7018, 119}, {7019, 7019, 122}, {7020, 7020, 129}, {7021, 7027, 100},
    {7028, 7028, 133}, {7031, 7031, 130}, {7101, 7102, 120}, {7301, 7305, 168}, {7601, 7606, 123},
    {7901, 7901, 116}, {7911, 7912, 117}, {7931, 7932, 131}, {8001, 8003, 134}, {8021, 8025, 137},
    {8101, 8103, 142}, {8201, 8204, 145}, {8211, 8213, 149}, {8301, 8305, 184}, {9001, 9005, 156},
    {9011, 9014, 152}, {10001, 10007, 161},
};

constexpr size_t kDumpMessageLimit = 10230;

std::string format(const char* pattern, int k, int value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, k, value);
    return buffer;
}

enum class CellKind { None, Int, Real, String };

// The kind of a cell by its range: temporaries come in blocks of 1000, variables and constants in
// blocks of 2000, each in the order integer, real, string.
CellKind kindOfCell(int cell) {
    if (cell < 0 || cell >= kDataBase) return CellKind::None;
    int block = cell < kIntVarBase     ? cell / 1000
                : cell < kIntConstBase ? (cell - kIntVarBase) / 2000
                                       : (cell - kIntConstBase) / 2000;
    constexpr CellKind kinds[] = {CellKind::Int, CellKind::Real, CellKind::String};
    return kinds[block];
}

std::string operandLine(int k, CellKind kind, const Cell& c) {
    char buffer[64];
    switch (kind) {
        case CellKind::Int:
            std::snprintf(buffer, sizeof buffer, "P%d:%d\n", k, c.i);
            return buffer;
        case CellKind::Real:
            std::snprintf(buffer, sizeof buffer, "P%d:%g\n", k, static_cast<double>(c.f));
            return buffer;
        case CellKind::String:
            std::snprintf(buffer, sizeof buffer, "P%d:", k);
            return std::string(buffer).append(text(c)).append("\n");
        case CellKind::None:
            break;
    }
    return {};
}

CellKind kindOfLetter(char letter) {
    switch (letter) {
        case 'l': return CellKind::Int;
        case 'f': return CellKind::Real;
        case 's': return CellKind::String;
        default: return CellKind::None;
    }
}

void makeDump(Machine& m) {
    if (!m.pc) return;
    std::string dump = errorDump(m, m.pc - 1);
    if (dump.empty()) return;
    if (m.platform && !m.platform->setClipboardText(dump)) return;  // no clipboard: no dump
    m.errorDumpText = dump.size() < kDumpMessageLimit ? dump : std::string();
}

int lineOfRaise(const Machine& m) { return m.pc ? sourceLine(m, m.pc - 1) : 0; }

}  // namespace

bool isRecoverable(int code) {
    for (int c : kRecoverableCodes)
        if (c == code) return true;
    return false;
}

int errorSlot(int code) {
    // 10006 lies inside the system range but has no message of its own.
    if (code == 10006) return -1;
    for (const SlotRange& r : kSlotRanges)
        if (code >= r.first && code <= r.last) return r.slot + (code - r.first);
    return -1;
}

void postQuit(Machine& m) {
    m.quitPosted = true;
    m.endSlice = true;
    if (m.platform) m.platform->postQuit();
}

void raise(Machine& m, int code) {
    if (m.runtimeTestMode) makeDump(m);
    if (isRecoverable(code)) {
        raiseRecoverable(m, code);
        return;
    }
    m.endSlice = true;
    m.errorCode = code;
    m.errorLine = lineOfRaise(m);
    m.warning = false;
    postQuit(m);
    m.programEnded = true;
}

void raiseRecoverable(Machine& m, int code) {
    if (m.standaloneRun) return;  // the handler's fallback result stands and the program goes on
    m.endSlice = true;
    m.errorCode = code;
    m.errorLine = lineOfRaise(m);
    m.warning = true;
    postQuit(m);
}

std::string composeMessage(const Machine& m) {
    std::string message = m.errorCode < 10000 ? "Runtime " : "System ";
    message += m.warning ? "Warning" : "Error";
    message += " : ";
    int slot = errorSlot(m.errorCode);
    if (slot >= 0) message += m.errorTexts[slot];
    message += ". ";
    message += m.engineDetail;
    return message;
}

std::string errorDump(const Machine& m, const Op* commandWord) {
    const Program& p = m.program;
    if (p.code.empty() || commandWord < p.code.data() || commandWord >= p.code.data() + p.codeSize) return {};
    int w = static_cast<int>(commandWord - p.code.data());
    int command = p.rawCode[w];
    if (command <= 0) return {};

    auto wordAt = [&p](int index) { return index < p.codeSize ? p.rawCode[index] : 0; };
    std::string name, signature;
    bool named = m.commandNames && m.commandNames(command, &name, &signature);

    std::string dump = format("Line Number:%d\n", p.lines[w], 0);
    if (named) {
        dump += format("Command Number:%d\n", command, 0);
        dump += "Name:" + name + "\n";
    } else {
        dump += format("Command Number:%d\n", command, 0);
        dump += format("Internal Error Code:%d\n", m.internalDetailCode, 0);
    }
    for (int k = 1; k <= 9; ++k) {
        int word = wordAt(w + k);
        if (word == 0 || word < 10000 || word >= 25000) continue;  // only words that designate a cell
        int cell = word - 10000;
        CellKind kind;
        if (named) {
            // With a vocabulary the signature decides, for cells below the DATA range.
            kind = cell < kDataBase && size_t(k) <= signature.size() ? kindOfLetter(signature[k - 1]) : CellKind::None;
        } else {
            kind = kindOfCell(cell);
        }
        dump += operandLine(k, kind, m.cells[cell]);
    }
    return dump;
}

void setErrorTexts(Machine& m, const std::vector<std::pair<int, std::string>>& texts) {
    for (const auto& [slot, value] : texts)
        if (slot >= 0 && slot < static_cast<int>(m.errorTexts.size())) m.errorTexts[slot] = value;
}

void resetErrorTexts(Machine& m) {
    for (size_t k = 0; k < m.errorTexts.size(); ++k) m.errorTexts[k] = "ERROR " + std::to_string(k);
}

}  // namespace vm
