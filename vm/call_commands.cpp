// User-function calls and returns.
//
// A call saves, at depth > 0, the called function's parameter cells and the calling function's own
// variables (SavedLocals), passes the arguments and enters the function; the return takes its
// value, puts the saved values back and writes the value into the call's destination.
//
// Temporaries: every function computes its expressions in a fixed block of temporaries (50 of each
// kind at 50 x its number, function 19 and above sharing the last block), so a second activation of
// a function whose block is already in use would overwrite values the first one computed before the
// call (fib(n-1) + fib(n-2)). A call into a block that an active call uses therefore saves that
// block's temporaries, only as many per kind as the program ever names in the block, and its
// return puts them back before writing the result. Calls into an unused block save nothing, so
// non-recursive calls cost nothing extra. The main program's block is never entered by a function.
//
// Saving the locals of the main program would restore values no function can change (a function
// reaches only its own variables), so calls made by the main program save nothing.
#include <cstring>
#include <string>
#include <vector>

#include "vm/core_families.h"
#include "vm/core_support.h"

namespace vm {

CallState::~CallState() {
    for (SavedValue& v : saved) {
        if (v.isString) deleteString(v.text);
    }
}

namespace {

// A call whose operands or parameter list run past the code: the image is damaged.
constexpr int kDamagedCall = 10010;

int blockOf(int function) {
    if (function <= 0) return 0;
    return function < kTemporaryBlocks ? function : kTemporaryBlocks - 1;
}

bool isNumberCell(int cell) { return cell >= kIntVarBase && cell < kStringVarBase; }

void buildTables(Machine& m) {
    CallState& cs = m.calls;
    static constexpr int kBases[3] = {kIntVarBase, kRealVarBase, kStringVarBase};
    for (int kind = 0; kind < 3; ++kind) {
        auto& locals = cs.locals[kind];
        locals.clear();
        const auto& owners = m.program.owners[kind];
        const size_t count = std::min<size_t>(owners.size(), kVariableCellCount / 3);
        for (size_t v = 0; v < count; ++v) {
            const int owner = owners[v];
            if (owner <= 0) continue;
            if (locals.size() <= static_cast<size_t>(owner)) locals.resize(owner + 1);
            locals[owner].push_back(kBases[kind] + static_cast<int32_t>(v));
        }
    }
    for (auto& perKind : cs.highWater) {
        for (int& used : perKind) used = 0;
    }
    for (const Op& word : m.program.code) {
        const unsigned cell = static_cast<unsigned>(cellIndex(m, word.cell));
        if (cell >= static_cast<unsigned>(kIntVarBase)) continue;
        const int offset = static_cast<int>(cell % 1000);
        int& used = cs.highWater[cell / 1000][offset / kTemporariesPerBlock];
        used = std::max(used, offset % kTemporariesPerBlock + 1);
    }
    cs.tablesReady = true;
}

void saveCell(CallState& cs, Cell* c, bool number) {
    if (number) {
        cs.saved.push_back({c, nullptr, c->i, false});
    } else {
        const char* s = c->s;
        cs.saved.push_back({c, s ? newString(s, core::cappedLength(s)) : nullptr, 0, true});
    }
}

void saveLocals(Machine& m, const Op* params, int n) {
    CallState& cs = m.calls;
    for (int i = 0; i < n; ++i) saveCell(cs, params[i].cell, isNumberCell(cellIndex(m, params[i].cell)));
    const auto function = static_cast<size_t>(m.currentFunction);
    for (int kind = 0; kind < 3; ++kind) {
        if (function >= cs.locals[kind].size()) continue;
        for (const int32_t cell : cs.locals[kind][function]) {
            if (m.arrays[cell - kIntVarBase].storage != nullptr) continue;
            Cell* c = &m.cells[cell];
            if (kind == 2 && c->s == nullptr) continue;
            saveCell(cs, c, kind != 2);
        }
    }
}

// Numbers by value; strings are moved out, since the next activation writes a temporary before it reads it.
void saveTemporaries(Machine& m, int block) {
    CallState& cs = m.calls;
    const int first = block * kTemporariesPerBlock;
    for (int i = 0; i < cs.highWater[0][block]; ++i) {
        Cell* c = &m.cells[kIntTempBase + first + i];
        cs.saved.push_back({c, nullptr, c->i, false});
    }
    for (int i = 0; i < cs.highWater[1][block]; ++i) {
        Cell* c = &m.cells[kRealTempBase + first + i];
        cs.saved.push_back({c, nullptr, c->i, false});
    }
    for (int i = 0; i < cs.highWater[2][block]; ++i) {
        Cell* c = &m.cells[kStringTempBase + first + i];
        cs.saved.push_back({c, c->s, 0, true});
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
    Frame& f = m.frames[m.depth];
    f.returnTo = p;
    f.entry = params;
    f.argumentCount = static_cast<uint8_t>(n);
    f.callerFunction = m.currentFunction;

    const size_t mark = cs.saved.size();
    if (m.depth > 0 && m.currentFunction > 0) saveLocals(m, params, n);
    passArguments(m, params, p + 3, n);
    const int block = blockOf(function);
    if (block > 0 && cs.activeInBlock[block] > 0) saveTemporaries(m, block);
    f.savedFrom = cs.saved.size() != mark ? static_cast<int32_t>(mark) : -1;

    ++cs.activeInBlock[block];
    ++cs.activeCalls;
    m.currentFunction = function;
    ++m.depth;
    m.pc = params + n + 1;
}

// Pops the label calls the function made and did not return from, then the call itself; nullptr
// when no user-function call is active (a return at depth 0 does nothing).
Frame* popCall(Machine& m) {
    if (m.calls.activeCalls == 0 || m.depth == 0) return nullptr;
    while (m.depth > 0 && m.frames[m.depth - 1].entry == nullptr) --m.depth;
    if (m.depth == 0) return nullptr;
    --m.depth;
    return &m.frames[m.depth];
}

// Puts the saved values back and continues after the call; returns the call's destination.
Cell& finishCall(Machine& m, const Frame& f) {
    CallState& cs = m.calls;
    --cs.activeInBlock[blockOf(m.currentFunction)];
    --cs.activeCalls;
    m.currentFunction = f.callerFunction;
    if (f.savedFrom >= 0) {
        for (size_t i = static_cast<size_t>(f.savedFrom); i < cs.saved.size(); ++i) {
            SavedValue& v = cs.saved[i];
            if (v.isString) {
                core::adoptString(*v.cell, v.text);
            } else {
                v.cell->i = v.word;
            }
        }
        cs.saved.resize(static_cast<size_t>(f.savedFrom));
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
    for (SavedValue& v : cs.saved) {
        if (v.isString) deleteString(v.text);
    }
    cs.saved.clear();
    cs.tablesReady = false;
    for (int16_t& count : cs.activeInBlock) count = 0;
    cs.activeCalls = 0;
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
