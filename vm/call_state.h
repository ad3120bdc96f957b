// What user-function calls keep during a run (vm/call_commands.cpp): the values saved at calls and
// put back by their returns, and the plans those saves follow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace vm {

// User-function numbers run from 1 to 1023.
constexpr int kMaxFunctionNumber = 1023;

struct Cell;
struct Op;

// Neighbouring cells: a function's variables of one type sit side by side.
struct CellRun {
    Cell* first = nullptr;
    uint32_t count = 0;
};

// The cells one kind of save covers: number cells keep their word, string cells their text.
struct SavePlan {
    std::vector<Cell*> numbers;  // in address order once ready
    std::vector<CellRun> numberRuns;  // the same cells as runs of neighbours, in the same order
    std::vector<Cell*> strings;
    bool ready = false;
};

// A call instruction as its first execution worked it out.
struct CallSite {
    const Op* params = nullptr;        // the called function's parameter list
    const SavePlan* locals = nullptr;  // its variables, saved when it is entered again
    const SavePlan* live = nullptr;    // the caller's temporaries live across the call; nullptr = none
    int32_t* active = nullptr;         // the function's count of active calls
    int32_t count = 0;                 // arguments
    int16_t function = 0;
    bool oneNumber = false;            // a single number parameter: the word is copied
};

struct CallState {
    CallState() = default;
    CallState(const CallState&) = delete;
    CallState& operator=(const CallState&) = delete;
    ~CallState();

    // Built on the first call of a run from the loaded program.
    bool tablesReady = false;
    std::deque<SavePlan> functionPlans;       // per function number (1 to 1023; 0 stands for any other)
    std::deque<int32_t> activeCalls;          // per function number as above: calls now active
    std::deque<CallSite> siteStore;           // what calls' Op::aux point to (a deque: entries never move)
    std::deque<SavePlan> livePlans;           // the live plans of the sites

    // The saved values of every active call, innermost last.
    std::vector<int32_t> words;
    size_t wordCount = 0;
    std::vector<char*> texts;  // owned heap strings (or nullptr)
    size_t textCount = 0;
};

}  // namespace vm
