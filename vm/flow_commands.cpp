// Structure jumps (if, else, exit, loops), the integer for step, label jumps, label calls and
// subroutine returns. Label calls share the call stack and its depth with user-function calls.
#include "vm/core_families.h"
#include "vm/core_ops.h"
#include "vm/core_support.h"

namespace vm {
namespace {

using core::codeAt;
using core::stepHandler;

// 26: running into a function header from above ends the program.
void functionHeader(Machine& m) { raise(m, 21); }

// 41: t — push the position after t and jump.
void labelCall(Machine& m) {
    const Op* p = m.pc;
    if (m.depth + 1 >= kCallStackSize) {
        raise(m, 108);
        m.pc = p + 1;
        return;
    }
    Frame& f = core::frameAt(m, m.depth);
    f.returnTo = p + 1;
    f.active = nullptr;  // marks a label call: a subroutine return pops only these
    ++m.depth;
    m.pc = codeAt(m, p[0].target);
}

// 43: pop and continue after the label call; with no label call to return from, continue.
// A user-function call on top is left alone: its return position is an operand list, not code, and
// its saved locals belong to the function's own return.
void subroutineReturn(Machine& m) {
    if (m.depth == 0) return;
    const Frame& f = m.frames[m.depth - 1];
    if (f.active != nullptr) return;
    --m.depth;
    m.pc = f.returnTo;
}

constexpr CommandEntry kFlowCommands[] = {
    {1, &stepHandler<core::jumpIfFalse>, "if: jump to t when cond is 0"},
    {2, &stepHandler<core::jump>, "else: jump to t"},
    {5, &stepHandler<core::jump>, "exit: jump to t"},
    {6, &stepHandler<core::jump>, "loop: jump to t"},
    {7, &stepHandler<core::forStep>, "for step: v += step, jump to t once v has passed the limit"},
    {8, &stepHandler<core::next>, "next: jump to t"},
    {9, &stepHandler<core::jumpIfFalse>, "while: jump to t when cond is 0"},
    {10, &stepHandler<core::jump>, "endwhile: jump to t"},
    {12, &stepHandler<core::jumpIfFalse>, "until: jump to t when cond is 0"},
    {26, &functionHeader, "function header reached: runtime error 21"},
    {41, &labelCall, "label call: push the return position, jump to t"},
    {42, &stepHandler<core::jump>, "label jump: jump to t"},
    {43, &subroutineReturn, "subroutine return"},
};

}  // namespace

void registerFlowCommands(Machine& m) { registerCommands(m, kFlowCommands); }

}  // namespace vm
