// User-function calls and returns.
//
// A call passes the arguments into the called function's parameter cells and enters it; the return
// takes its value, puts back what the call saved and writes the value into the call's destination.
//
// Saving. A function's variables and its temporaries (50 of each kind at 50 x its number, function
// 19 and above sharing the last block) are fixed cells, shared by every activation. A call into a
// function that is already active (recursion, directly or through other functions) saves that
// function's parameters and locals (SavedLocals), and a call into a block of temporaries that an
// active call uses saves those temporaries too, so that values the outer activation computed before
// the call (fib(n-1) + fib(n-2)) survive it. The return puts them back before it writes the result.
// A call into a function and block nobody is using saves nothing: no code can change the caller's
// cells while the callee runs, so plain calls cost nothing extra. Only the temporaries the program
// ever names in a block are saved.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "vm/core_families.h"
#include "vm/core_support.h"

namespace vm {

CallState::~CallState() {
    for (char* s : texts) deleteString(s);
}

namespace {

// A call whose operands or parameter list run past the code: the image is damaged.
constexpr int kDamagedCall = 10010;

int blockOf(int function) {
    if (function <= 0) return 0;
    return function < kTemporaryBlocks ? function : kTemporaryBlocks - 1;
}

inline size_t planIndex(int16_t function) { return static_cast<uint16_t>(function); }

bool isNumberCell(int cell) { return cell >= kIntVarBase && cell < kStringVarBase; }

void addOnce(std::vector<Cell*>& cells, Cell* c) {
    if (std::find(cells.begin(), cells.end(), c) == cells.end()) cells.push_back(c);
}

// The temporaries of every block, from the cells the code names, and room for the active counts.
void buildTables(Machine& m) {
    CallState& cs = m.calls;
    int used[3][kTemporaryBlocks] = {};
    for (const Op& word : m.program.code) {
        const unsigned cell = static_cast<unsigned>(cellIndex(m, word.cell));
        if (cell >= static_cast<unsigned>(kIntVarBase)) continue;
        const int offset = static_cast<int>(cell % 1000);
        int& top = used[cell / 1000][offset / kTemporariesPerBlock];
        top = std::max(top, offset % kTemporariesPerBlock + 1);
    }
    for (int block = 0; block < kTemporaryBlocks; ++block) {
        SavePlan& plan = cs.blockPlans[block];
        plan = SavePlan{};
        const int first = block * kTemporariesPerBlock;
        for (int i = 0; i < used[0][block]; ++i) plan.numbers.push_back(&m.cells[kIntTempBase + first + i]);
        for (int i = 0; i < used[1][block]; ++i) plan.numbers.push_back(&m.cells[kRealTempBase + first + i]);
        for (int i = 0; i < used[2][block]; ++i) plan.strings.push_back(&m.cells[kStringTempBase + first + i]);
        plan.ready = true;
    }
    cs.functionPlans.assign(65536, SavePlan{});
    cs.activeCalls.assign(65536, 0);
    cs.tablesReady = true;
}

// The function's parameters (from its header) and every variable the owner tables give it.
const SavePlan& functionPlan(Machine& m, int16_t function, const Op* params, int n) {
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
            Cell* c = &m.cells[kBases[kind] + static_cast<int>(v)];
            addOnce(kind == 2 ? plan.strings : plan.numbers, c);
        }
    }
    plan.ready = true;
    return plan;
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

void saveNumbers(CallState& cs, const SavePlan& plan) {
    for (const Cell* c : plan.numbers) cs.words.push_back(c->i);
}

// 21: entry, d, n, a1 ... an
void callFunction(Machine& m) {
    const Op* p = m.pc;
    const Op* code = m.program.code.data();
    const int64_t codeSize = static_cast<int64_t>(m.program.code.size());
    const int32_t n = p[2].cell->i;
    const int32_t entry = p[0].target;
    if (n < 0 || n > 255 || (p - code) + 3 + int64_t{n} > codeSize || int64_t{entry} + n >= codeSize) {
        raise(m, kDamagedCall);
        return;
    }
    if (m.depth + 1 >= kCallStackSize) {
        raise(m, 108);
        m.pc = p + 3 + n;
        return;
    }
    if (static_cast<size_t>(m.depth) >= m.frames.size()) m.frames.resize(kCallStackSize);
    CallState& cs = m.calls;
    if (!cs.tablesReady) buildTables(m);

    const Op* params = code + entry;
    const auto function = static_cast<int16_t>(params[n].n);
    const int block = blockOf(function);
    Frame& f = m.frames[m.depth];
    f.returnTo = p;
    f.entry = params;
    f.argumentCount = static_cast<uint8_t>(n);
    f.callerFunction = m.currentFunction;
    f.savedFrom = -1;

    int32_t& active = cs.activeCalls[planIndex(function)];
    const bool reentered = active > 0;
    const bool blockInUse = block > 0 && cs.activeInBlock[block] > 0;
    if (reentered || blockInUse) {
        SaveRecord record;
        record.wordsAt = static_cast<uint32_t>(cs.words.size());
        record.textsAt = static_cast<uint32_t>(cs.texts.size());
        if (reentered) {
            // Before the arguments arrive: the parameters are the outer activation's.
            const SavePlan& plan = functionPlan(m, function, params, n);
            record.locals = &plan;
            saveNumbers(cs, plan);
            for (const Cell* c : plan.strings) cs.texts.push_back(c->s ? newString(c->s, core::cappedLength(c->s)) : nullptr);
        }
        if (blockInUse) {
            // After them (the arguments may be these temporaries); the next activation writes a
            // temporary before it reads it, so strings are moved out rather than copied.
            record.temporaries = &cs.blockPlans[block];
        }
        f.savedFrom = static_cast<int32_t>(cs.records.size());
        cs.records.push_back(record);
    }
    passArguments(m, params, p + 3, n);
    if (blockInUse) {
        const SavePlan& plan = cs.blockPlans[block];
        saveNumbers(cs, plan);
        for (Cell* c : plan.strings) {
            cs.texts.push_back(c->s);
            c->s = nullptr;
        }
    }

    ++active;
    ++cs.activeInBlock[block];
    ++cs.callFrames;
    m.currentFunction = function;
    ++m.depth;
    m.pc = params + n + 1;
}

// Pops the label calls the function made and did not return from, then the call itself; nullptr
// when no user-function call is active (a return at depth 0 does nothing).
Frame* popCall(Machine& m) {
    if (m.calls.callFrames == 0 || m.depth == 0) return nullptr;
    while (m.depth > 0 && m.frames[m.depth - 1].entry == nullptr) --m.depth;
    if (m.depth == 0) return nullptr;
    --m.depth;
    return &m.frames[m.depth];
}

// Puts the saved values back and continues after the call; returns the call's destination.
Cell& finishCall(Machine& m, const Frame& f) {
    CallState& cs = m.calls;
    --cs.activeCalls[planIndex(m.currentFunction)];
    --cs.activeInBlock[blockOf(m.currentFunction)];
    --cs.callFrames;
    m.currentFunction = f.callerFunction;
    if (f.savedFrom >= 0) {
        const SaveRecord record = cs.records[static_cast<size_t>(f.savedFrom)];
        const int32_t* word = cs.words.data() + record.wordsAt;
        char** saved = cs.texts.data() + record.textsAt;
        for (const SavePlan* plan : {record.locals, record.temporaries}) {
            if (plan == nullptr) continue;
            for (Cell* c : plan->numbers) c->i = *word++;
            for (Cell* c : plan->strings) core::adoptString(*c, *saved++);
        }
        cs.words.resize(record.wordsAt);
        cs.texts.resize(record.textsAt);
        cs.records.resize(static_cast<size_t>(f.savedFrom));
    }
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
    for (char* s : cs.texts) deleteString(s);
    cs.texts.clear();
    cs.words.clear();
    cs.records.clear();
    cs.tablesReady = false;
    for (int16_t& count : cs.activeInBlock) count = 0;
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
