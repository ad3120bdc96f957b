// What user-function calls keep during a run (vm/call_commands.cpp): the values saved at calls and
// put back by their returns, and the per-function tables those saves use.
#pragma once

#include <cstdint>
#include <vector>

namespace vm {

struct Cell;

// One value saved by a call. Numbers keep their word; strings keep an owned heap copy (or, for a
// temporary, the cell's own string, moved out), which the return puts back into the cell.
struct SavedValue {
    Cell* cell;
    char* text;
    int32_t word;
    bool isString;
};

// Temporaries come in blocks of 50 of each kind: block n (n >= 1) is function n's, function 19 and
// above share the last block, block 0 is the main program's.
constexpr int kTemporaryBlocks = 20;
constexpr int kTemporariesPerBlock = 50;

struct CallState {
    CallState() = default;
    CallState(const CallState&) = delete;
    CallState& operator=(const CallState&) = delete;
    ~CallState();

    std::vector<SavedValue> saved;  // the SavedLocals of every active call, innermost last

    // Built on the first call of a run from the loaded program.
    bool tablesReady = false;
    std::vector<std::vector<int32_t>> locals[3];   // per function number: its int, real, string variable cells
    int highWater[3][kTemporaryBlocks] = {};        // temporaries per kind and block the code ever names
    int16_t activeInBlock[kTemporaryBlocks] = {};   // active calls of functions using each block
    int activeCalls = 0;                            // user-function frames on the call stack
};

}  // namespace vm
