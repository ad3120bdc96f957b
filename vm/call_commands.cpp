// User-function calls and returns.
//
// A call passes the arguments into the called function's parameter cells and enters it; the return
// takes its value, puts back what the call saved and writes the value into the call's destination.
//
// Saving. A function's variables and temporaries are fixed cells shared by every activation of it.
//  - Variables: a call into a function that is already active (recursion, directly or through other
//    functions) saves that function's parameters and locals (SavedLocals) and its return puts them
//    back. A call into a function nobody is running saves nothing: no code can change those cells
//    while it runs, so the outcome is the same and plain calls cost nothing extra.
//  - Temporaries: the compiler computes each statement in the calling function's block of
//    temporaries, so a value computed before a call and used after it (fib(n-1) + fib(n-2)) would
//    be overwritten by another activation of the same block. Each call therefore saves the
//    temporaries live across it and its return puts them back before writing the result. A
//    temporary lives only within its statement, whose words share one source line, so the live
//    ones are those named on the call's line both before and after the call; they are worked out
//    once per call site. Most calls have none.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "vm/core_families.h"
#include "vm/core_support.h"

namespace vm {

CallState::~CallState() {
    for (size_t i = 0; i < textCount; ++i) deleteString(texts[i]);
}

namespace {

// A call whose operands or parameter list run past the code: the image is damaged.
constexpr int kDamagedCall = 10010;

// Slot 0 stands for every number outside 1 to 1023 (a damaged image): it is saved more often, never less.
inline size_t planIndex(int16_t function) {
    return function > 0 && function <= kMaxFunctionNumber ? static_cast<size_t>(function) : 0;
}

// Marks a call site whose live temporaries are not worked out yet.
const SavePlan kNotWorkedOut;

#define ZV_INLINE inline __attribute__((always_inline))

bool isNumberCell(int cell) { return cell >= kIntVarBase && cell < kStringVarBase; }

bool isTemporary(const Machine& m, const Cell* c) {
    return static_cast<unsigned>(cellIndex(m, c)) < static_cast<unsigned>(kIntVarBase);
}

void addOnce(std::vector<Cell*>& cells, Cell* c) {
    if (std::find(cells.begin(), cells.end(), c) == cells.end()) cells.push_back(c);
}

void buildTables(Machine& m) {
    CallState& cs = m.calls;
    cs.functionPlans.assign(kMaxFunctionNumber + 1, SavePlan{});
    cs.activeCalls.assign(kMaxFunctionNumber + 1, 0);
    cs.sitePlans.assign(m.program.code.size(), &kNotWorkedOut);
    cs.livePlans.clear();
    if (m.frames.size() < static_cast<size_t>(kCallStackSize)) m.frames.resize(kCallStackSize);
    cs.tablesReady = true;
}

// The function's parameters (from its header) and every variable the owner tables give it.
const SavePlan& functionPlan(Machine& m, int16_t function, const Op* params, int n) {
    // A damaged image's out-of-range numbers share slot 0, whose plan is the first one's.
    SavePlan& plan = m.calls.functionPlans[planIndex(function)];
    if (plan.ready) return plan;
    for (int i = 0; i < n; ++i) {
        Cell* c = params[i].cell;
        addOnce(isNumberCell(cellIndex(m, c)) ? plan.numbers : plan.strings, c);
    }
    static constexpr int kBases[3] = {kIntVarBase, kRealVarBase, kStringVarBase};
    for (int kind = 0; kind < 3; ++kind) {
        const auto& owners = m.program.owners[kind];
        const size_t count = std::min<size_t>(owners.size(), kVariableCellCount / 3);
        for (size_t v = 0; v < count; ++v) {
            if (owners[v] != function) continue;
            addOnce(kind == 2 ? plan.strings : plan.numbers, &m.cells[kBases[kind] + static_cast<int>(v)]);
        }
    }
    plan.ready = true;
    return plan;
}

// The temporaries named on the call's source line both before the call and after its operands;
// nullptr when there are none (most calls).
const SavePlan* workOutLivePlan(Machine& m, size_t site, int n) {
    CallState& cs = m.calls;
    const SavePlan*& entry = cs.sitePlans[site];
    const Program& p = m.program;
    const auto lineOf = [&](size_t k) { return k < p.lines.size() ? p.lines[k] : INT32_MIN; };
    const int32_t line = lineOf(site);
    std::vector<Cell*> before;
    for (size_t k = site; k-- > 0 && lineOf(k) == line;) {
        if (isTemporary(m, p.code[k].cell)) addOnce(before, p.code[k].cell);
    }
    SavePlan plan;
    for (size_t k = site + 4 + static_cast<size_t>(n); k < p.code.size() && lineOf(k) == line; ++k) {
        Cell* c = p.code[k].cell;
        if (!isTemporary(m, c) || std::find(before.begin(), before.end(), c) == before.end()) continue;
        addOnce(cellIndex(m, c) >= kStringTempBase ? plan.strings : plan.numbers, c);
    }
    if (plan.numbers.empty() && plan.strings.empty()) {
        entry = nullptr;
    } else {
        plan.ready = true;
        cs.livePlans.push_back(std::move(plan));
        entry = &cs.livePlans.back();
    }
    return entry;
}

ZV_INLINE const SavePlan* livePlan(Machine& m, size_t site, int n) {
    const SavePlan* plan = m.calls.sitePlans[site];
    return plan != &kNotWorkedOut ? plan : workOutLivePlan(m, site, n);
}

ZV_INLINE int32_t* pushWords(CallState& cs, size_t count) {
    if (cs.wordCount + count > cs.words.size()) cs.words.resize(std::max(cs.words.size() * 2, cs.wordCount + count + 256));
    int32_t* out = cs.words.data() + cs.wordCount;
    cs.wordCount += count;
    return out;
}

ZV_INLINE char** pushTexts(CallState& cs, size_t count) {
    if (cs.textCount + count > cs.texts.size()) cs.texts.resize(std::max(cs.texts.size() * 2, cs.textCount + count + 64));
    char** out = cs.texts.data() + cs.textCount;
    cs.textCount += count;
    return out;
}

// Variables keep their strings (the next activation may read them): their texts are copied.
ZV_INLINE void saveLocals(CallState& cs, const SavePlan& plan) {
    int32_t* word = pushWords(cs, plan.numbers.size());
    for (const Cell* c : plan.numbers) *word++ = c->i;
    if (plan.strings.empty()) return;
    char** text = pushTexts(cs, plan.strings.size());
    for (const Cell* c : plan.strings) *text++ = c->s ? newString(c->s, core::cappedLength(c->s)) : nullptr;
}

// A temporary is written before it is read, so its string is moved out rather than copied.
ZV_INLINE void saveLive(CallState& cs, const SavePlan& plan) {
    int32_t* word = pushWords(cs, plan.numbers.size());
    for (const Cell* c : plan.numbers) *word++ = c->i;
    if (plan.strings.empty()) return;
    char** text = pushTexts(cs, plan.strings.size());
    for (Cell* c : plan.strings) {
        *text++ = c->s;
        c->s = nullptr;
    }
}

void assignParameter(Machine& m, Cell* param, const Cell* argument) {
    if (isNumberCell(cellIndex(m, param))) {
        param->i = argument->i;
    } else {
        core::copyString(*param, *argument);
    }
}

// Parameters receive their arguments in order. An argument that is an earlier parameter of the same
// call (f(b, a) inside f(a, b)) would be read after it was overwritten, so such calls take every
// argument's value first.
void passArguments(Machine& m, const Op* params, const Op* args, int n) {
    bool overlap = false;
    for (int i = 1; i < n && !overlap; ++i) {
        for (int j = 0; j < i; ++j) {
            if (args[i].cell == params[j].cell) {
                overlap = true;
                break;
            }
        }
    }
    if (!overlap) {
        for (int i = 0; i < n; ++i) assignParameter(m, params[i].cell, args[i].cell);
        return;
    }
    std::vector<Cell> values(n);
    std::vector<std::string> texts(n);
    for (int i = 0; i < n; ++i) {
        values[i].i = args[i].cell->i;
        values[i].s = nullptr;
        texts[i].assign(text(*args[i].cell), core::cappedLength(text(*args[i].cell)));
    }
    for (int i = 0; i < n; ++i) {
        Cell* param = params[i].cell;
        if (isNumberCell(cellIndex(m, param))) {
            param->i = values[i].i;
        } else {
            setString(*param, texts[i].data(), texts[i].size());
        }
    }
}

// 21: entry, d, n, a1 ... an
void callFunction(Machine& m) {
    const Op* p = m.pc;
    const Op* code = m.program.code.data();
    const int64_t codeSize = static_cast<int64_t>(m.program.code.size());
    const int32_t n = p[2].cell->i;
    const int32_t entry = p[0].target;
    if (static_cast<uint32_t>(n) > 255u || (p - code) + 3 + int64_t{n} > codeSize || int64_t{entry} + n >= codeSize) {
        raise(m, kDamagedCall);
        return;
    }
    if (m.depth + 1 >= kCallStackSize) {
        raise(m, 108);
        m.pc = p + 3 + n;
        return;
    }
    CallState& cs = m.calls;
    if (!cs.tablesReady) buildTables(m);

    const Op* params = code + entry;
    const auto function = static_cast<int16_t>(params[n].n);
    Frame& f = m.frames[static_cast<size_t>(m.depth)];
    f.returnTo = p;
    f.entry = params;
    f.argumentCount = static_cast<uint8_t>(n);
    f.callerFunction = m.currentFunction;
    f.savedWordsAt = static_cast<uint32_t>(cs.wordCount);
    f.savedTextsAt = static_cast<uint32_t>(cs.textCount);
    f.savedLocals = nullptr;

    int32_t& active = cs.activeCalls[planIndex(function)];
    if (active > 0) {
        // Before the arguments arrive: the parameters are still the outer activation's.
        f.savedLocals = &functionPlan(m, function, params, n);
        saveLocals(cs, *f.savedLocals);
    }
    if (n == 1 && !isNumberCell(cellIndex(m, params[0].cell))) {
        core::copyString(*params[0].cell, *p[3].cell);
    } else if (n == 1) {
        params[0].cell->i = p[3].cell->i;
    } else {
        passArguments(m, params, p + 3, n);
    }
    // After the arguments: one of them may be a live temporary whose string is moved out.
    f.savedLive = livePlan(m, static_cast<size_t>(p - 1 - code), n);
    if (f.savedLive != nullptr) saveLive(cs, *f.savedLive);

    ++active;
    ++cs.callFrames;
    m.currentFunction = function;
    ++m.depth;
    m.pc = params + n + 1;
}

// Pops the label calls the function made and did not return from, then the call itself; nullptr
// when no user-function call is active (a return at depth 0 does nothing).
ZV_INLINE Frame* popCall(Machine& m) {
    if (m.calls.callFrames == 0 || m.depth == 0) return nullptr;
    while (m.frames[static_cast<size_t>(m.depth - 1)].entry == nullptr) --m.depth;
    --m.depth;
    return &m.frames[static_cast<size_t>(m.depth)];
}

// Puts the saved values back (in the order they were saved) and continues after the call; returns
// the call's destination.
ZV_INLINE Cell& finishCall(Machine& m, const Frame& f) {
    CallState& cs = m.calls;
    --cs.activeCalls[planIndex(m.currentFunction)];
    --cs.callFrames;
    m.currentFunction = f.callerFunction;
    const int32_t* word = cs.words.data() + f.savedWordsAt;
    char** text = cs.texts.data() + f.savedTextsAt;
    if (const SavePlan* plan = f.savedLocals) {
        for (Cell* c : plan->numbers) c->i = *word++;
        for (Cell* c : plan->strings) core::adoptString(*c, *text++);
    }
    if (const SavePlan* plan = f.savedLive) {
        for (Cell* c : plan->numbers) c->i = *word++;
        for (Cell* c : plan->strings) core::adoptString(*c, *text++);
    }
    cs.wordCount = f.savedWordsAt;
    cs.textCount = f.savedTextsAt;
    m.pc = f.returnTo + 3 + f.argumentCount;
    return *f.returnTo[1].cell;
}

// 22, 27
void returnNothing(Machine& m) {
    if (Frame* f = popCall(m)) finishCall(m, *f).i = 0;
}

// 23, 28 and 24, 29: the word is taken before the restore, so a function may return its own local.
void returnWord(Machine& m) {
    const int32_t value = m.pc[0].cell->i;
    Frame* f = popCall(m);
    if (f == nullptr) {
        m.pc += 1;
        return;
    }
    finishCall(m, *f).i = value;
}

// 25, 30
void returnString(Machine& m) {
    const char* s = text(*m.pc[0].cell);
    const size_t length = core::cappedLength(s);
    char value[kMaxStringLength + 1];
    std::memcpy(value, s, length);
    Frame* f = popCall(m);
    if (f == nullptr) {
        m.pc += 1;
        return;
    }
    setString(finishCall(m, *f), value, length);
}

void resetCalls(Machine& m) {
    CallState& cs = m.calls;
    for (size_t i = 0; i < cs.textCount; ++i) deleteString(cs.texts[i]);
    cs.textCount = 0;
    cs.wordCount = 0;
    cs.tablesReady = false;
    cs.callFrames = 0;
}

constexpr CommandEntry kCallCommands[] = {
    {21, &callFunction, "call a user function: entry, result, count, arguments"},
    {22, &returnNothing, "endfunction without value"},
    {23, &returnWord, "endfunction with an integer"},
    {24, &returnWord, "endfunction with a real"},
    {25, &returnString, "endfunction with a string"},
    {27, &returnNothing, "exitfunction without value"},
    {28, &returnWord, "exitfunction with an integer"},
    {29, &returnWord, "exitfunction with a real"},
    {30, &returnString, "exitfunction with a string"},
};

}  // namespace

void registerCallCommands(Machine& m) {
    registerCommands(m, kCallCommands);
    m.runStartHooks.push_back(&resetCalls);
}

}  // namespace vm
