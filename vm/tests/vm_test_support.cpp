#include "vm/tests/vm_test_support.h"

#include <stdexcept>

namespace vm::testing {

namespace {

void set(Machine& m) {
    m.pc[0].cell->i = m.pc[1].cell->i;
    m.pc += 2;
}
void add(Machine& m) {
    m.pc[0].cell->i += m.pc[1].cell->i;
    m.pc += 2;
}
void jumpIfLess(Machine& m) {
    const Op* pc = m.pc;
    m.pc = pc[0].cell->i < pc[1].cell->i ? &m.program.code[pc[2].target] : pc + 3;
}
void jump(Machine& m) { m.pc = &m.program.code[m.pc[0].target]; }
void raiseNow(Machine& m) {
    raise(m, m.pc[0].cell->i);
    m.pc += 1;
}
void raiseLate(Machine& m) {
    int code = m.pc[0].cell->i;
    m.pc += 1;
    raise(m, code);
}
void throwNow(Machine&) { throw std::runtime_error("handler fault"); }
void yield(Machine& m) { m.endSlice = true; }
void count(Machine& m) {
    if (++m.cells[0].i % 5000 == 0) m.endSlice = true;
    m.pc -= 1;  // runs itself again
}
void recoverable(Machine& m) {
    raiseRecoverable(m, m.pc[0].cell->i);
    m.pc += 1;
}
void end(Machine& m) {
    m.programEnded = true;
    postQuit(m);
}

}  // namespace

void installTestInstructions(Machine& m) {
    setHandler(m, kSet, &set);
    setHandler(m, kAdd, &add);
    setHandler(m, kJumpIfLess, &jumpIfLess);
    setHandler(m, kJump, &jump);
    setHandler(m, kRaise, &raiseNow);
    setHandler(m, kRaiseLate, &raiseLate);
    setHandler(m, kThrow, &throwNow);
    setHandler(m, kYield, &yield);
    setHandler(m, kCount, &count);
    setHandler(m, kRecoverable, &recoverable);
    setHandler(m, kEnd, &end);
}

std::unique_ptr<Machine> machineWith(const std::vector<uint8_t>& image) {
    auto m = createMachine();
    installTestInstructions(*m);
    std::string why;
    EXPECT_TRUE(loadImage(*m, image.data(), image.size(), &why)) << why;
    resetForRun(*m);
    return m;
}

int runToEnd(Machine& m, int maxSlices) {
    int slices = 0;
    while (!m.quitPosted && slices < maxSlices) {
        runSlice(m);
        ++slices;
    }
    return slices;
}

}  // namespace vm::testing
