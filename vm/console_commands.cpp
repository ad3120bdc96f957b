// Printing and keyboard input at the print cursor, and the program-end statements.
//
// Input never blocks: each execution takes the last key typed, edits the entry, ends the slice and,
// until Enter arrives, moves the program counter back onto its own command word so that it runs
// again in the next slice.
#include <charconv>
#include <cstdio>
#include <string>

#include "vm/core_families.h"
#include "vm/core_support.h"

namespace vm {
namespace {

constexpr int kBackspace = 8;
constexpr int kEnter = 13;

void printText(Machine& m, const char* text, size_t length, bool stayOnLine) {
    if (m.console != nullptr) m.console->print(std::string(text, length), stayOnLine, false, stayOnLine);
    // Under automatic refresh every print to the screen shows at once.
    if (m.currentBitmap == 0 && m.autoRefresh) m.endSlice = true;
}

template <bool StayOnLine>
void printInt(Machine& m) {
    char out[16];
    const char* end = std::to_chars(out, out + sizeof out, static_cast<int>(m.pc[0].cell->i)).ptr;
    printText(m, out, static_cast<size_t>(end - out), StayOnLine);
    m.pc += 1;
}

template <bool StayOnLine>
void printReal(Machine& m) {
    char out[32];
    printText(m, out, core::formatReal(out, m.pc[0].cell->f), StayOnLine);
    m.pc += 1;
}

template <bool StayOnLine>
void printString(Machine& m) {
    const char* s = text(*m.pc[0].cell);
    printText(m, s, core::cappedLength(s), StayOnLine);
    m.pc += 1;
}

void printBlankLine(Machine& m) { printText(m, " ", 1, false); }

enum class InputKind { Int, Real, String };

template <InputKind Kind>
bool acceptsKey(int key) {
    if (key == kBackspace) return true;
    if constexpr (Kind == InputKind::String) {
        return key >= 32 && key <= 127;
    } else {
        return (key >= '0' && key <= '9') || key == '-' || key == '.';
    }
}

// Shows `shown` at the entry's start: opaque, staying on the line, without wrapping.
void showEntry(Machine& m, const std::string& shown) {
    if (m.console == nullptr) return;
    m.console->setCursorX(m.inputStartX);
    m.console->print(shown, true, true, false);
}

void startEntry(Machine& m) {
    m.inputStartX = m.console ? m.console->cursorX() : 0;
    m.inputLength = 0;
    m.inputEntry.clear();
}

template <InputKind Kind>
void input(Machine& m) {
    const int key = m.lastKey;
    if (acceptsKey<Kind>(key)) {
        if (m.inputLength < 0) {
            startEntry(m);
            showEntry(m, "_");
        }
        if (key == kBackspace) {
            if (m.inputLength > 0) {
                if (m.console) m.console->erase(m.inputStartX, m.inputLength + 1);  // the entry and its mark
                m.inputEntry.pop_back();
                --m.inputLength;
            }
        } else if (m.inputLength < kMaxStringLength) {
            m.inputEntry.push_back(static_cast<char>(key));
            ++m.inputLength;
        }
        showEntry(m, m.inputEntry + "_");
    }
    if (key == kEnter) {
        if (m.inputLength < 0) startEntry(m);
        if (m.console != nullptr) {
            m.console->setCursorX(m.inputStartX);
            m.console->print(m.inputEntry + "  ", false, true, false);  // the blanks cover the mark
        }
        m.inputLength = -1;
        Cell& d = *m.pc[0].cell;
        if constexpr (Kind == InputKind::Int) {
            d.i = core::textToInt(m.inputEntry.c_str());
        } else if constexpr (Kind == InputKind::Real) {
            d.f = core::textToReal(m.inputEntry.c_str());
        } else {
            setString(d, m.inputEntry.data(), m.inputEntry.size());
        }
        m.inputEntry.clear();
        m.pc += 1;
    } else {
        m.pc -= 1;  // back onto the command word: the input runs again next slice
    }
    m.lastKey = 0;
    m.endSlice = true;
}

template <bool MarkEnded, int Operands>
void endProgram(Machine& m) {
    postQuit(m);
    m.endSlice = true;
    if (MarkEnded) m.programEnded = true;
    m.pc += Operands;
}

constexpr CommandEntry kConsoleCommands[] = {
    {301, &printInt<false>, "print an integer and end the line"},
    {302, &printReal<false>, "print a real and end the line"},
    {303, &printString<false>, "print a string and end the line"},
    {304, &printBlankLine, "print a blank and end the line"},
    {305, &printInt<true>, "print an integer and stay on the line"},
    {306, &printReal<true>, "print a real and stay on the line"},
    {307, &printString<true>, "print a string and stay on the line"},
    {351, &input<InputKind::Int>, "input an integer"},
    {355, &input<InputKind::Real>, "input a real"},
    {352, &input<InputKind::String>, "input a string"},
    {213, &endProgram<true, 0>, "end the program"},
    {217, &endProgram<false, 0>, "end the program (program-ended flag not set)"},
    {266, &endProgram<false, 1>, "end the program with a text that is not used"},
};

}  // namespace

void registerConsoleCommands(Machine& m) { registerCommands(m, kConsoleCommands); }

}  // namespace vm
