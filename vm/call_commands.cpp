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
#include "vm/core_ops.h"
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

bool isNumberCell(int cell) { return cell >= kIntVarBase && cell < kStringVarBase; }

bool isTemporary(const Machine& m, const Cell* c) {
    return static_cast<unsigned>(cellIndex(m, c)) < static_cast<unsigned>(kIntVarBase);
}

void addOnce(std::vector<Cell*>& cells, Cell* c) {
    if (std::find(cells.begin(), cells.end(), c) == cells.end()) cells.push_back(c);
}

// Orders the number cells by address and groups neighbours into runs: saving and restoring a
// function's variables then reads them as a row rather than one pointer at a time.
void settle(SavePlan& plan) {
    std::sort(plan.numbers.begin(), plan.numbers.end());
    plan.numberRuns.clear();
    for (Cell* c : plan.numbers) {
        if (!plan.numberRuns.empty()) {
            CellRun& last = plan.numberRuns.back();
            if (last.first + last.count == c) {
                ++last.count;
                continue;
            }
        }
        plan.numberRuns.push_back({c, 1});
    }
    plan.ready = true;
}

// The entry of a function number in a per-function table, made when first asked for: programs use
// a few of the 1,024 numbers. The tables are deques, so entries never move once sites point at them.
template <class T>
T& functionSlot(std::deque<T>& table, size_t index) {
    if (index >= table.size()) table.resize(index + 1);
    return table[index];
}

[[gnu::noinline]] void buildTables(Machine& m) {
    CallState& cs = m.calls;
    cs.functionPlans.clear();
    cs.activeCalls.clear();
    cs.siteStore.clear();
    cs.livePlans.clear();
    cs.tablesReady = true;
}

// The function's parameters (from its header) and every variable the owner tables give it.
const SavePlan& functionPlan(Machine& m, int16_t function, const Op* params, int n) {
    // A damaged image's out-of-range numbers share slot 0, whose plan is the first one's.
    SavePlan& plan = functionSlot(m.calls.functionPlans, planIndex(function));
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
    settle(plan);
    return plan;
}

// The temporaries named on the call's source line both before the call and after its operands;
// nullptr when there are none (most calls).
const SavePlan* livePlan(Machine& m, size_t site, int n) {
    CallState& cs = m.calls;
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
    if (plan.numbers.empty() && plan.strings.empty()) return nullptr;
    settle(plan);
    cs.livePlans.push_back(std::move(plan));
    return &cs.livePlans.back();
}

void assignParameter(Machine& m, Cell* param, const Cell* argument) {
    if (isNumberCell(cellIndex(m, param))) {
        param->i = argument->i;
    } else {
        core::copyString(*param, *argument);
    }
}

// Works out a call site on its first execution (and again should its count cell change); nullptr
// when its operands or the parameter list run past the code.
[[gnu::noinline]] CallSite* prepareSite(Machine& m, const Op* p) {
    CallState& cs = m.calls;
    const Op* code = m.program.code.data();
    const int64_t codeSize = static_cast<int64_t>(m.program.code.size());
    const int32_t n = p[2].cell->i;
    const int32_t entry = p[0].target;
    if (static_cast<uint32_t>(n) > 255u || (p - code) + 3 + int64_t{n} > codeSize || int64_t{entry} + n >= codeSize) {
        return nullptr;
    }
    const size_t index = static_cast<size_t>(p - 1 - code);
    Op& word = m.program.code[index];
    if (word.aux == nullptr) word.aux = &cs.siteStore.emplace_back();
    CallSite& site = *static_cast<CallSite*>(word.aux);
    site.params = code + entry;
    site.count = n;
    site.function = static_cast<int16_t>(site.params[n].n);
    site.locals = &functionPlan(m, site.function, site.params, n);
    site.live = livePlan(m, index, n);
    site.active = &functionSlot(cs.activeCalls, planIndex(site.function));
    site.oneNumber = n == 1 && isNumberCell(cellIndex(m, site.params[0].cell));
    return &site;
}

}  // namespace

namespace core::calls {

const CallSite* prepareCall(Machine& m, const Op* p) {
    if (!m.calls.tablesReady) buildTables(m);
    const CallSite* site = prepareSite(m, p);
    if (site == nullptr) {
        m.pc = p;
        raise(m, kDamagedCall);
    }
    return site;
}

const Op* stackFull(Machine& m, const Op* p, int32_t argumentCount) {
    m.pc = p;
    raise(m, 108);
    return p + 3 + argumentCount;
}

void growWords(CallState& cs, size_t count) {
    cs.words.resize(std::max(cs.words.size() * 2, cs.wordCount + count + 256));
}

namespace {
void growTexts(CallState& cs, size_t count) {
    cs.texts.resize(std::max(cs.texts.size() * 2, cs.textCount + count + 64));
}

char** pushTexts(CallState& cs, size_t count) {
    if (cs.textCount + count > cs.texts.size()) growTexts(cs, count);
    char** out = cs.texts.data() + cs.textCount;
    cs.textCount += count;
    return out;
}
}  // namespace

void saveLocalStrings(CallState& cs, const SavePlan& plan) {
    char** text = pushTexts(cs, plan.strings.size());
    for (const Cell* c : plan.strings) *text++ = c->s ? newString(c->s, core::cappedLength(c->s)) : nullptr;
}

char** restoreStrings(const SavePlan& plan, char** text) {
    for (Cell* c : plan.strings) core::adoptString(*c, *text++);
    return text;
}

// A temporary is written before it is read, so its string is moved out rather than copied.
void saveLive(CallState& cs, const SavePlan& plan) {
    int32_t* word = pushWords(cs, plan.numbers.size());
    for (const Cell* c : plan.numbers) *word++ = c->i;
    if (plan.strings.empty()) return;
    char** text = pushTexts(cs, plan.strings.size());
    for (Cell* c : plan.strings) {
        *text++ = c->s;
        c->s = nullptr;
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


}  // namespace core::calls

namespace {

// 25, 30
void returnString(Machine& m) {
    const char* s = text(*m.pc[0].cell);
    const size_t length = core::cappedLength(s);
    char value[kMaxStringLength + 1];
    std::memcpy(value, s, length);
    Frame* f = core::calls::popCall(m);
    if (f == nullptr) {
        m.pc += 1;
        return;
    }
    setString(core::calls::finishCall(m, *f), value, length);
    m.pc = core::calls::afterCall(*f);
}

void resetCalls(Machine& m) {
    CallState& cs = m.calls;
    for (size_t i = 0; i < cs.textCount; ++i) deleteString(cs.texts[i]);
    cs.textCount = 0;
    cs.wordCount = 0;
    // The sites of the last run are about to go: calls work theirs out again.
    if (cs.tablesReady)
        for (Op& word : m.program.code) word.aux = nullptr;
    cs.tablesReady = false;
}

constexpr CommandEntry kCallCommands[] = {
    {21, &core::stepHandler<core::callStep>, "call a user function: entry, result, count, arguments"},
    {22, &core::stepHandler<core::returnNothingStep>, "endfunction without value"},
    {23, &core::stepHandler<core::returnWordStep>, "endfunction with an integer"},
    {24, &core::stepHandler<core::returnWordStep>, "endfunction with a real"},
    {25, &returnString, "endfunction with a string"},
    {27, &core::stepHandler<core::returnNothingStep>, "exitfunction without value"},
    {28, &core::stepHandler<core::returnWordStep>, "exitfunction with an integer"},
    {29, &core::stepHandler<core::returnWordStep>, "exitfunction with a real"},
    {30, &returnString, "exitfunction with a string"},
};

}  // namespace

void registerCallCommands(Machine& m) {
    registerCommands(m, kCallCommands);
    m.runStartHooks.push_back(&resetCalls);
}

}  // namespace vm
