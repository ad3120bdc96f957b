// Structure jumps (if, else, exit, loops), the integer for step, label jumps, label calls and
// subroutine returns. Label calls share the call stack and its depth with user-function calls.
#include "vm/core_families.h"
#include "vm/core_support.h"

namespace vm {
namespace {

using core::codeAt;

// 1, 9, 12: cond, t — jump when the condition is false.
void jumpIfFalse(Machine& m) {
    const Op* p = m.pc;
    m.pc = p[0].cell->i == 0 ? codeAt(m, p[1].target) : p + 2;
}

// 2, 5, 6, 10, 42: t
void jump(Machine& m) { m.pc = codeAt(m, m.pc[0].target); }

// 8: v, t — v is not read.
void next(Machine& m) { m.pc = codeAt(m, m.pc[1].target); }

// 7: v, limit, step, t — v = v + step; leave the loop once v has passed the limit. Step 0 never ends.
void forStep(Machine& m) {
    const Op* p = m.pc;
    const int32_t step = p[2].cell->i;
    const int32_t limit = p[1].cell->i;
    const int32_t v = core::wrapAdd(p[0].cell->i, step);
    p[0].cell->i = v;
    const bool done = (step > 0 && v > limit) || (step < 0 && v < limit);
    m.pc = done ? codeAt(m, p[3].target) : p + 4;
}

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
    if (static_cast<size_t>(m.depth) >= m.frames.size()) m.frames.resize(kCallStackSize);
    Frame& f = m.frames[m.depth];
    f.returnTo = p + 1;
    f.entry = nullptr;  // marks a label call: a subroutine return pops only these
    ++m.depth;
    m.pc = codeAt(m, p[0].target);
}

// 43: pop and continue after the label call; with no label call to return from, continue.
// A user-function call on top is left alone: its return position is an operand list, not code, and
// its saved locals belong to the function's own return.
void subroutineReturn(Machine& m) {
    if (m.depth == 0) return;
    const Frame& f = m.frames[m.depth - 1];
    if (f.entry != nullptr) return;
    --m.depth;
    m.pc = f.returnTo;
}

constexpr CommandEntry kFlowCommands[] = {
    {1, &jumpIfFalse, "if: jump to t when cond is 0"},
    {2, &jump, "else: jump to t"},
    {5, &jump, "exit: jump to t"},
    {6, &jump, "loop: jump to t"},
    {7, &forStep, "for step: v += step, jump to t once v has passed the limit"},
    {8, &next, "next: jump to t"},
    {9, &jumpIfFalse, "while: jump to t when cond is 0"},
    {10, &jump, "endwhile: jump to t"},
    {12, &jumpIfFalse, "until: jump to t when cond is 0"},
    {26, &functionHeader, "function header reached: runtime error 21"},
    {41, &labelCall, "label call: push the return position, jump to t"},
    {42, &jump, "label jump: jump to t"},
    {43, &subroutineReturn, "subroutine return"},
};

}  // namespace

void registerFlowCommands(Machine& m) { registerCommands(m, kFlowCommands); }

}  // namespace vm
