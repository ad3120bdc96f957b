// The interpreter loop: one execution slice per frame.
//
// Correctness rules of the loop (and of every handler it calls):
//  1. A handler starts with m.pc on its first operand and leaves it past its operands or on a jump
//     target. The loop writes m.pc before the call and reads it back after: a handler may move it.
//  2. Any handler may set m.endSlice; the loop tests it after every instruction and stops there.
//  3. The clock is read only at checkpoints (every kClockCheckInterval instructions in timed slices,
//     every 201st instruction in untimed ones); the instructions run so far are reported to the
//     platform just before, so a virtual clock advances deterministically with the program.
//  4. An exception escaping a handler ends the slice with system error 10010; the machine stays
//     usable (the host then shuts the program down normally).
//  5. The command code fetched is checked against the table size, so a word that is no command
//     (an operand reached by a wild jump, a negative word) ends the program like an unknown code.
#include "platform/platform.h"
#include "vm/core_ops.h"
#include "vm/machine.h"

namespace vm {

namespace {

// Instructions between clock readings in timed slices. Small enough that a slice of ordinary
// instructions overruns its budget by far less than a millisecond, large enough that the clock
// costs nothing measurable (bench/README.md).
constexpr int kClockCheckInterval = 2048;
// Untimed slices look at the break keys and the DrawQueue every 201st instruction.
constexpr int kUntimedCheckEvery = 201;
constexpr int kDrawQueueYieldLength = 32000;
// Without a platform the machine keeps its own clock: one millisecond per this many instructions.
constexpr uint64_t kVirtualInstructionsPerMs = 10000;
constexpr int kSystemErrorHandlerFault = 10010;

void account(Machine& m, int executed) {
    if (executed <= 0) return;
    uint64_t before = m.instructionsExecuted / kVirtualInstructionsPerMs;
    m.instructionsExecuted += static_cast<uint64_t>(executed);
    m.virtualMillis += m.instructionsExecuted / kVirtualInstructionsPerMs - before;
    if (m.platform) m.platform->addInstructions(static_cast<uint64_t>(executed));
}

int chunkLength(const Machine& m) {
    return m.timedSlices ? kClockCheckInterval : kUntimedCheckEvery - m.instructionCounter;
}

bool breakKeyDown(Machine& m) {
    return m.platform && (m.platform->keyDown(platform::kScanF11) || m.platform->keyDown(platform::kScanF12));
}

// The checkpoint after a chunk of `executed` instructions.
void checkpoint(Machine& m, int executed) {
    account(m, executed);
    if (m.timedSlices) {
        if (nowMillis(m) - m.sliceStartMs > static_cast<uint32_t>(m.sliceBudgetMs)) m.endSlice = true;
        return;
    }
    if (!m.standaloneRun && breakKeyDown(m)) m.endSlice = true;
    if (m.drawQueueLength > kDrawQueueYieldLength) m.endSlice = true;
    m.instructionCounter = 0;
    m.inputRefresh = true;
}

// The slice's end: the instructions run in the last chunk are accounted, and an untimed slice keeps
// its count for the next one.
void finishSlice(Machine& m, int chunk, int countdown) {
    int executed = chunk - countdown;
    account(m, executed);
    if (!m.timedSlices) {
        // A switch from timed slices inside this chunk leaves a longer chunk: start counting afresh.
        int counter = kUntimedCheckEvery - countdown;
        m.instructionCounter = counter < 0 ? 0 : counter;
    }
}

// Runs one instruction through the handler table (the command word is `pc`).
inline void runHandler(Machine& m, const Op* pc) {
    m.pc = pc + 1;
    Handler handler = handlerOf(m, pc->n);
    (handler ? handler : &unknownCommand)(m);
}

// Debug mode: every instruction goes through the handler table and is traced first.
void executeTraced(Machine& m) {
    const Op* const codeStart = m.program.code.data();
    int chunk = chunkLength(m);
    int countdown = chunk;
    try {
        for (;;) {
            const Op* pc = m.pc;
            if (m.traceInstruction) m.traceInstruction(static_cast<int>(pc - codeStart), pc->n);
            runHandler(m, pc);
            if (--countdown == 0) {
                checkpoint(m, chunk);
                chunk = countdown = chunkLength(m);
            }
            if (m.endSlice) break;
        }
    } catch (...) {
        raise(m, kSystemErrorHandlerFault);
    }
    finishSlice(m, chunk, countdown);
}

// Runs instructions until the end-slice flag is set. The hottest core instructions
// (ZV_CORE_FAST_STEPS) run inline, every other one through the handler table. Each inline step
// ends with its own jump to the next instruction (threaded code), so the processor predicts the
// next instruction from the current one rather than through one shared jump. The jump goes
// through Op::step, filled in for the whole program before its first slice.
//
// m.pc is written only where something may look at it: handlers get it from runHandler, a step
// that raises stores its own, and the slice's end stores where execution stopped.
void execute(Machine& m) {
    static void* const kStepLabels[] = {
        &&handlerStep,
#define ZV_STEP_LABEL(name, ...) &&run##name,
        ZV_CORE_FAST_STEPS(ZV_STEP_LABEL)
#undef ZV_STEP_LABEL
    };
    static void* const kPairedLabels[] = {
        &&handlerStep,
#define ZV_PAIRED_LABEL(name, ...) &&run##name##Paired,
        ZV_CORE_FAST_STEPS(ZV_PAIRED_LABEL)
#undef ZV_PAIRED_LABEL
    };
    // A value computed for a call's argument or for a function's result: the call or the return
    // runs with the computation.
    static void* const kCallPairedLabels[] = {
        &&handlerStep,
#define ZV_CALL_PAIRED_LABEL(name, ...) &&run##name##ThenCall,
        ZV_CORE_FAST_STEPS(ZV_CALL_PAIRED_LABEL)
#undef ZV_CALL_PAIRED_LABEL
    };
    static void* const kReturnPairedLabels[] = {
        &&handlerStep,
#define ZV_RETURN_PAIRED_LABEL(name, ...) &&run##name##ThenReturn,
        ZV_CORE_FAST_STEPS(ZV_RETURN_PAIRED_LABEL)
#undef ZV_RETURN_PAIRED_LABEL
    };
    if (!m.program.threaded) {
        // A word outside the command codes goes to the handler path, which ends the program like
        // an unknown code. An instruction whose partner is where it continues runs as a pair.
        const uint8_t* const stepOf = core::fastStepOfCode();
        auto& code = m.program.code;
        const size_t size = code.size();
        for (size_t k = 0; k < size; ++k) {
            Op& op = code[k];
            const bool command = static_cast<uint32_t>(op.n) <= static_cast<uint32_t>(kMaxCommandCode);
            const uint8_t step = command ? stepOf[op.n] : 0;
            op.step = kStepLabels[step];
            const core::Partner partner = core::kPartnerOf[step];
            if (partner == core::Partner::None) continue;
            size_t at = k + 1 + core::kOperandsOf[step];
            if (partner == core::Partner::ForStep) {
                if (k + 2 >= size) continue;
                at = static_cast<size_t>(code[k + 2].target);
            }
            if (at >= size) continue;
            // Pairs hand the first instruction's value to their partner, so the partner must read
            // that word; otherwise each runs on its own.
            if (core::isPartner(partner, code[at].n)) {
                if (at + 2 < size && core::readsResult(code.data(), k, at, partner)) op.step = kPairedLabels[step];
            } else if (partner == core::Partner::Copy && code[at].n == 21) {
                op.step = kCallPairedLabels[step];
            } else if (partner == core::Partner::Copy && core::isReturnWord(code[at].n)) {
                if (at + 1 < size && code[at + 1].cell == code[k + 1].cell) op.step = kReturnPairedLabels[step];
            }
        }
        m.program.threaded = true;
    }
    m.haltWord.step = &&haltStep;
    int chunk = chunkLength(m);
    int countdown = chunk;
    const Op* pc = m.pc;
    // After every instruction the clock is counted down; after those that may end the slice the
    // end-slice flag is tested too.
#define ZV_NEXT()                                                  \
    do {                                                           \
        if (--countdown == 0) [[unlikely]] goto bookkeeping;       \
        goto* pc->step;                                            \
    } while (0)
#define ZV_NEXT_CHECKED()                                                  \
    do {                                                                   \
        if (--countdown == 0 || m.endSlice) [[unlikely]] goto bookkeeping; \
        goto* pc->step;                                                    \
    } while (0)
    try {
        goto* pc->step;

    handlerStep:
        runHandler(m, pc);
        pc = m.pc;
        ZV_NEXT_CHECKED();

#define ZV_STEP_BODY(name, expression, partner, ...)                   \
    run##name : {                                                      \
        using namespace core;                                          \
        const Op* const p = pc + 1;                                    \
        pc = expression;                                               \
        if constexpr (mayEndSlice(FastStep::name)) ZV_NEXT_CHECKED();   \
        else ZV_NEXT();                                                \
    }                                                                  \
    run##name##Paired : {                                              \
        using namespace core;                                          \
        const Op* const p = pc + 1;                                    \
        const Op* const q = expression;                                \
        pc = partnerStep<Partner::partner>(m, q, p[0].cell->i);        \
        if constexpr (mayEndSlice(FastStep::name)) ZV_NEXT_CHECKED();   \
        else ZV_NEXT();                                                \
    }                                                                  \
    run##name##ThenCall : {                                            \
        using namespace core;                                          \
        if constexpr (Partner::partner == Partner::Copy) {             \
            const Op* const p = pc + 1;                                \
            pc = callStep(m, (expression) + 1);                        \
            ZV_NEXT();                                                 \
        } else {                                                       \
            goto handlerStep;                                          \
        }                                                              \
    }                                                                  \
    run##name##ThenReturn : {                                          \
        using namespace core;                                          \
        if constexpr (Partner::partner == Partner::Copy) {             \
            const Op* const p = pc + 1;                                \
            const Op* const q = expression;                            \
            pc = thenCopyAfterReturn(m, returnValueStep(m, q + 1, p[0].cell->i)); \
            ZV_NEXT();                                                 \
        } else {                                                       \
            goto handlerStep;                                          \
        }                                                              \
    }
        ZV_CORE_FAST_STEPS(ZV_STEP_BODY)
#undef ZV_STEP_BODY

    haltStep:
        pc = m.pc;  // where the step that handed back the halt word continues
        goto bookkeeping;

    bookkeeping:
        m.pc = pc;
        if (countdown == 0) {
            checkpoint(m, chunk);
            chunk = countdown = chunkLength(m);
        }
        if (!m.endSlice) goto* pc->step;
    } catch (...) {
        // The command word that failed is just before the counter, as for any raised error.
        m.pc = pc + 1;
        raise(m, kSystemErrorHandlerFault);
    }
#undef ZV_NEXT
#undef ZV_NEXT_CHECKED
    finishSlice(m, chunk, countdown);
}

}  // namespace

uint32_t nowMillis(Machine& m) {
    return m.platform ? m.platform->millis() : static_cast<uint32_t>(m.virtualMillis);
}

void resetForRun(Machine& m) {
    for (auto hook : m.runStartHooks) hook(m);
    m.pc = m.program.code.empty() ? nullptr : m.program.code.data();
    m.endSlice = true;  // the first slice only clears it
    m.autoRefresh = true;
    m.timedSlices = true;
    m.sliceBudgetMs = 33;
    m.instructionCounter = 0;
    m.inputRefresh = false;
    m.frameIntervalMs = 25;
    m.escapeQuits = true;
    m.systemKeysEnabled = true;
    m.programEnded = false;
    m.quitPosted = false;
    m.errorCode = 0;
    m.errorLine = 0;
    m.warning = false;
    m.errorDumpText.clear();
    // Every push writes its frame before anything reads it, so old frames need no clearing; they
    // are made as calls reach them (core::frameAt).
    m.depth = 0;
    m.dataPointer = 0;
    m.inputEntry.clear();
    m.inputLength = -1;
    m.inputStartX = 0;
    m.waitDeadline = -1;
}

void runSlice(Machine& m) {
    if (!m.windowActive) return;
    if (!m.pc) {  // nothing loaded
        m.endSlice = false;
        return;
    }
    m.inputRefresh = false;
    m.sliceStartMs = nowMillis(m);
    if (!m.endSlice) {
        if (m.debugMode)
            executeTraced(m);
        else
            execute(m);
    }
    m.endSlice = false;
}

}  // namespace vm
