// What user-function calls keep during a run (vm/call_commands.cpp): the values saved at calls and
// put back by their returns, and the per-function tables those saves follow.
#pragma once

#include <cstdint>
#include <vector>

namespace vm {

struct Cell;

// Temporaries come in blocks of 50 of each kind: block n (n >= 1) is function n's, function 19 and
// above share the last block, block 0 is the main program's.
constexpr int kTemporaryBlocks = 20;
constexpr int kTemporariesPerBlock = 50;

// The cells one kind of save covers: number cells keep their word, string cells their text.
struct SavePlan {
    std::vector<Cell*> numbers;
    std::vector<Cell*> strings;
    bool ready = false;
};

// One call's saves: which plans it followed and where their values start on the value stacks.
struct SaveRecord {
    const SavePlan* locals = nullptr;      // the called function's variables (copies of strings)
    const SavePlan* temporaries = nullptr; // its block's temporaries (strings moved out)
    uint32_t wordsAt = 0;
    uint32_t textsAt = 0;
};

struct CallState {
    CallState() = default;
    CallState(const CallState&) = delete;
    CallState& operator=(const CallState&) = delete;
    ~CallState();

    // Built on the first call of a run from the loaded program.
    bool tablesReady = false;
    std::vector<SavePlan> functionPlans;         // per function number (as unsigned 16 bits): its parameters and locals
    SavePlan blockPlans[kTemporaryBlocks];       // per block: the temporaries the code ever names
    std::vector<int32_t> activeCalls;            // per function number (as unsigned 16 bits): calls now active
    int16_t activeInBlock[kTemporaryBlocks] = {};  // active calls of functions using each block
    int callFrames = 0;                          // user-function frames on the call stack

    std::vector<SaveRecord> records;  // one per call that saved something, innermost last
    std::vector<int32_t> words;       // saved number words, innermost last
    std::vector<char*> texts;         // saved strings (owned), innermost last
};

}  // namespace vm
