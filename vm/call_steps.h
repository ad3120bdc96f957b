// User-function calls and returns as inline steps, so that the interpreter runs the common case
// without a function call of its own: the call site already worked out, the saves a few words.
// Everything rarer (working a site out, strings, arguments that overlap their parameters, growing
// the value stacks) lives out of line in vm/call_commands.cpp, which explains the saving rules.
#pragma once

#include <algorithm>

#include "vm/core_support.h"

namespace vm::core {

#define ZV_CALL_INLINE inline __attribute__((always_inline))

// --- the call stack ---

// Frames are made as calls first reach them: the whole stack is 3 MB that most programs never
// touch, and making it cost a short program more than its run. Room for every frame is reserved
// on the first growth, so frames never move afterwards.
[[gnu::noinline]] inline void growFrames(Machine& m, int depth) {
    if (m.frames.capacity() < static_cast<size_t>(kCallStackSize)) m.frames.reserve(kCallStackSize);
    const size_t wanted = std::max<size_t>({static_cast<size_t>(depth) + 1, m.frames.size() * 2, 256});
    m.frames.resize(std::min<size_t>(wanted, kCallStackSize));
    m.framesMade = static_cast<int32_t>(m.frames.size());
}

// The frame at `depth` (below kCallStackSize), made when first reached.
inline Frame& frameAt(Machine& m, int depth) {
    if (depth >= m.framesMade) [[unlikely]] growFrames(m, depth);
    return m.frames[static_cast<size_t>(depth)];
}

// --- out of line (vm/call_commands.cpp) ---

namespace calls {
// The call's site, worked out (again); nullptr after raising the error of a damaged call.
const CallSite* prepareCall(Machine& m, const Op* p);
// Raises the call stack's overflow and gives where execution continues.
const Op* stackFull(Machine& m, const Op* p, int32_t argumentCount);
void growWords(CallState& cs, size_t count);
void saveLocalStrings(CallState& cs, const SavePlan& plan);
void saveLive(CallState& cs, const SavePlan& plan);
void passArguments(Machine& m, const Op* params, const Op* args, int n);
// Puts saved strings back into their cells, freeing what the cells hold; returns the next saved text.
char** restoreStrings(const SavePlan& plan, char** text);

ZV_CALL_INLINE int32_t* pushWords(CallState& cs, size_t count) {
    if (cs.wordCount + count > cs.words.size()) [[unlikely]] growWords(cs, count);
    int32_t* out = cs.words.data() + cs.wordCount;
    cs.wordCount += count;
    return out;
}

// Variables keep their strings (the next activation may read them): their texts are copied.
ZV_CALL_INLINE void saveLocals(CallState& cs, const SavePlan& plan) {
    int32_t* word = pushWords(cs, plan.numbers.size());
    for (const CellRun& run : plan.numberRuns) {
        const Cell* cell = run.first;
        for (uint32_t k = 0; k < run.count; ++k) *word++ = cell[k].i;
    }
    if (!plan.strings.empty()) [[unlikely]] saveLocalStrings(cs, plan);
}

// Pops the label calls the function made and did not return from, then the call itself; nullptr
// when no user-function call is active (a return at depth 0 does nothing).
ZV_CALL_INLINE Frame* popCall(Machine& m) {
    int depth = m.depth - 1;
    while (depth >= 0 && m.frames[static_cast<size_t>(depth)].active == nullptr) --depth;
    if (depth < 0) [[unlikely]] return nullptr;
    m.depth = depth;
    return &m.frames[static_cast<size_t>(depth)];
}

// Puts the saved values back (in the order they were saved); returns the call's destination.
ZV_CALL_INLINE Cell& finishCall(Machine& m, const Frame& f) {
    CallState& cs = m.calls;
    --*f.active;
    const int32_t* word = cs.words.data() + f.savedWordsAt;
    char** text = cs.texts.data() + f.savedTextsAt;
    if (const SavePlan* plan = f.savedLocals) {
        for (const CellRun& run : plan->numberRuns) {
            Cell* cell = run.first;
            for (uint32_t k = 0; k < run.count; ++k) cell[k].i = *word++;
        }
        if (!plan->strings.empty()) [[unlikely]] text = restoreStrings(*plan, text);
    }
    if (const SavePlan* plan = f.savedLive) [[unlikely]] {
        for (Cell* c : plan->numbers) c->i = *word++;
        if (!plan->strings.empty()) restoreStrings(*plan, text);
    }
    cs.wordCount = f.savedWordsAt;
    cs.textCount = f.savedTextsAt;
    return *f.returnTo[1].cell;
}

inline const Op* afterCall(const Frame& f) { return f.returnTo + 3 + f.argumentCount; }
}  // namespace calls

// 21: entry, d, n, a1 ... an
// Only the rare paths raise; they continue through Machine::haltWord, so the step needs no test of
// the end-slice flag after it.
ZV_CALL_INLINE const Op* callStep(Machine& m, const Op* p) {
    CallState& cs = m.calls;
    const CallSite* site = static_cast<const CallSite*>(p[-1].aux);
    if (site == nullptr || site->count != p[2].cell->i) [[unlikely]] {
        site = calls::prepareCall(m, p);
        if (site == nullptr) {
            m.pc = p;
            return &m.haltWord;
        }
    }
    const int32_t n = site->count;
    if (m.depth + 1 >= kCallStackSize) [[unlikely]] {
        m.pc = calls::stackFull(m, p, n);
        return &m.haltWord;
    }
    const Op* params = site->params;
    Frame& f = frameAt(m, m.depth);
    f.returnTo = p;
    f.argumentCount = static_cast<uint8_t>(n);
    f.savedWordsAt = static_cast<uint32_t>(cs.wordCount);
    f.savedTextsAt = static_cast<uint32_t>(cs.textCount);
    f.active = site->active;
    f.savedLocals = nullptr;
    if (*site->active > 0) {
        // Before the arguments arrive: the parameters are still the outer activation's.
        f.savedLocals = site->locals;
        calls::saveLocals(cs, *site->locals);
    }
    if (site->oneNumber) [[likely]] {
        params[0].cell->i = p[3].cell->i;
    } else {
        calls::passArguments(m, params, p + 3, n);
    }
    // After the arguments: one of them may be a live temporary whose string is moved out.
    f.savedLive = site->live;
    if (site->live != nullptr) [[unlikely]] calls::saveLive(cs, *site->live);

    ++*site->active;
    ++m.depth;
    return params + n + 1;
}

// 22, 27
ZV_CALL_INLINE const Op* returnNothingStep(Machine& m, const Op* p) {
    Frame* f = calls::popCall(m);
    if (f == nullptr) return p;
    calls::finishCall(m, *f).i = 0;
    return calls::afterCall(*f);
}

// 23, 28 and 24, 29 with the word to return already taken.
ZV_CALL_INLINE const Op* returnValueStep(Machine& m, const Op* p, int32_t value) {
    Frame* f = calls::popCall(m);
    if (f == nullptr) return p + 1;
    calls::finishCall(m, *f).i = value;
    return calls::afterCall(*f);
}

// 23, 28 and 24, 29: the word is taken before the restore, so a function may return its own local.
ZV_CALL_INLINE const Op* returnWordStep(Machine& m, const Op* p) { return returnValueStep(m, p, p[0].cell->i); }

}  // namespace vm::core
