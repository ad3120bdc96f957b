// The run-time form of a loaded program and the state every command handler works on.
//
// Correctness rules for everything that touches a Machine:
//  1. Operands are read through `pc[k]`; the loader has made every operand word safe to read as a
//     cell (`cell` always points at a real cell, the scratch cell for words that are no cell) and as a
//     code target (`target` is always a valid code index). A handler never decodes raw words.
//  2. A cell keeps its 32-bit value (`i` / `f`) and its heap string (`s`) side by side, so reading a
//     cell with the wrong kind gives a wrong value, never a crash.
//  3. Strings are written only through setString()/takeString(); the old string is freed there.
//  4. Array storage is reached only through the ArrayTable entry of a variable cell (index checked)
//     and array element references through ElementRef (checked against the array's current size).
//  5. A handler checks everything before it changes anything; raise() does not unwind: the handler
//     writes its fallback result and returns.
#pragma once

#include <algorithm>
#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/memory_tuning.h"
#include "vm/call_state.h"

namespace platform {
class Platform;
}

namespace vm {

struct Machine;

// --- cells -------------------------------------------------------------------------------------

// 29000 cells, numbered by the image format's typed ranges.
constexpr int kCellCount = 29000;
constexpr int kIntTempBase = 0;
constexpr int kRealTempBase = 1000;
constexpr int kStringTempBase = 2000;
constexpr int kIntVarBase = 3000;
constexpr int kRealVarBase = 5000;
constexpr int kStringVarBase = 7000;
constexpr int kIntConstBase = 9000;
constexpr int kRealConstBase = 11000;
constexpr int kStringConstBase = 13000;
constexpr int kDataBase = 15000;
constexpr int kUnaddressedBase = 25000;
constexpr int kVariableCellCount = 6000;  // cells 3000..8999: the ArrayTable's entries
constexpr int kMaxStringLength = 255;
constexpr int kCellBlock = 256;
constexpr int kCellBlockCount = (kCellCount + kCellBlock - 1) / kCellBlock;

struct Cell {
    union {
        int32_t i;
        float f;
    };
    char* s;  // heap string owned by the cell; nullptr = no string (reads as "")
};

// Operand word after loading. Every field is valid whatever the stored word was.
struct Op {
    Cell* cell;      // the designated cell, or &Machine::scratch when the word is not a cell index
    int32_t n;       // plain number: command code, function number, DATA position (value - 25000), raw value otherwise
    int32_t target;  // code index for a code position (value - 37000); the final word's index otherwise
    // Where the interpreter continues when this word is run as a command, worked out from `n` by
    // the interpreter before the program's first slice (Program::threaded).
    const void* step = nullptr;
    // What the interpreter keeps for this word as a command: a user-function call's worked-out
    // site (CallSite), made by its first run.
    void* aux = nullptr;
};

// --- arrays ------------------------------------------------------------------------------------

enum class ArrayKind : uint8_t { None, Int, Real, String };

// All zero is the empty entry. The machine's tables start as untouched zero pages (see
// Machine::operator new), so these carry no member initialisers that would write every entry.
struct ArrayEntry {
    void* storage;  // int32_t[], float[] or char*[] by kind
    ArrayKind kind;
    int32_t sizes[5];  // highest index + 1 per dimension (dimension 1 alone for 1-D)
    int32_t total;
};

// One ReferenceTable entry: the array element a temporary was last read from.
struct ElementRef {
    uint16_t arraySlot;  // ArrayTable index (cell number - 3000) + 1; 0 = none
    int32_t element;
};

// --- calls -------------------------------------------------------------------------------------

constexpr int kCallStackSize = 65535;  // a push is refused when depth + 1 would reach this

struct Frame {
    const Op* returnTo = nullptr;  // the call's first operand (label call: the position after it)
    // What a user-function call saved (vm/call_commands.cpp): the plans it followed (nullptr = none)
    // and where their values start on the value stacks of Machine::calls.
    const SavePlan* savedLocals = nullptr;
    const SavePlan* savedLive = nullptr;
    int32_t* active = nullptr;  // the called function's count of active calls; nullptr for a label call
    uint32_t savedWordsAt = 0;
    uint32_t savedTextsAt = 0;
    uint8_t argumentCount = 0;
};

// --- the loaded program ------------------------------------------------------------------------

// Zero words the loader appends after the code so that a handler reading its operands at the very
// end of a program (or a program whose last word is not 0) stays inside the array and ends there.
constexpr int kCodeGuardWords = 64;

struct Program {
    // A large program's tables per code word fill huge pages (platform/memory_tuning.h).
    template <class T>
    using PerWord = std::vector<T, platform::FilledBlockAllocator<T>>;

    PerWord<Op> code;       // relocated code (codeSize words) followed by kCodeGuardWords zero words
    int32_t codeSize = 0;   // words of code in the image; the last one is normally the final 0
    PerWord<int32_t> rawCode;  // the code words as stored, for diagnostics
    PerWord<int32_t> lines;    // source line of every code word
    std::vector<uint8_t> dataTypes;   // 'l', 'f', 's' per DATA item
    int32_t dataCount = 0;
    std::vector<int16_t> owners[3];   // owning function of every integer, real, string variable
    int32_t stringVariableCount = 0;
    bool loaded = false;
    bool threaded = false;  // every Op::step is filled in
};

// --- console -----------------------------------------------------------------------------------

// Where print and input go: the headless transcript now, the text engine on screen later.
class Console {
public:
    virtual ~Console() = default;
    // Prints text at the print cursor. stayOnLine=false ends the line after the text.
    virtual void print(const std::string& text, bool stayOnLine, bool opaque, bool wrap) = 0;
    // Erases `length` characters of a displayed input entry that started at cursor x `startX`.
    virtual void erase(int startX, int length) = 0;
    virtual int cursorX() const = 0;
    virtual void setCursorX(int x) = 0;
};

// --- handlers ----------------------------------------------------------------------------------

// A handler starts with pc on its first operand and leaves it past its operands or on a jump target.
using Handler = void (*)(Machine&);

constexpr int kMaxCommandCode = 9995;  // command words are 1..9995 (the image format keeps them below 10000)
constexpr int kMaxHandlers = 4095;     // different handlers all families together register

struct CommandEntry {
    int code;
    Handler handler;
    const char* meaning;  // one line, for the disassembler and docs
};

// The one-line meanings of the registered codes. Kept as a short list rather than one slot per code:
// only the disassembler reads them, and a table of 10,000 slots written sparsely would bring a dozen
// pages into memory at every start.
class CommandMeanings {
public:
    // The meaning of a code, nullptr when none was registered.
    const char* operator[](int code) const {
        for (const auto& [registered, meaning] : entries_)
            if (registered == code) return meaning;
        return nullptr;
    }
    // Adds the meaning of a code that has none yet (registration refuses codes already taken).
    void add(int code, const char* meaning) { entries_.emplace_back(code, meaning); }
    size_t size() const { return entries_.size(); }
    // Room for that many, so that registration does not copy the list as it grows.
    void reserve(size_t count) { entries_.reserve(count); }

private:
    std::vector<std::pair<int, const char*>> entries_;
};

// --- the machine -------------------------------------------------------------------------------

struct Machine {
    Machine() = default;
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;
    ~Machine();  // frees the loaded program's strings and arrays (vm/image_loader.cpp)

    // The machine is about a megabyte of tables that start at zero. Memory from calloc is already
    // zero (fresh pages from the system), so only the entries a program uses are ever touched:
    // clearing them all at every start would cost more than an empty program's whole run.
    static void* operator new(size_t size);
    static void operator delete(void* memory) noexcept;

    Cell cells[kCellCount];
    Cell scratch;  // target of operand words that are not cells
    ElementRef refs[kCellCount];
    ArrayEntry arrays[kVariableCellCount];
    Program program;
    // The blocks of cells (with their references and array entries) the loaded program can write:
    // those its operands, constants, DATA and variables name. Unloading sweeps only these, so the
    // untouched rest of the tables is never brought into memory.
    std::bitset<kCellBlockCount> usedCellBlocks;

    // interpreter state
    const Op* pc = nullptr;
    bool endSlice = true;
    bool autoRefresh = true;
    bool timedSlices = true;
    int sliceBudgetMs = 33;
    uint32_t sliceStartMs = 0;
    int instructionCounter = 0;
    bool inputRefresh = false;
    int frameIntervalMs = 25;
    bool escapeQuits = true;
    bool systemKeysEnabled = true;
    bool programEnded = false;
    bool quitPosted = false;

    // errors
    int errorCode = 0;
    int errorLine = 0;  // source line of the instruction that raised errorCode (0 when none)
    bool warning = false;
    std::string engineDetail;
    int internalDetailCode = 0;

    // calls
    std::vector<Frame> frames;  // up to kCallStackSize entries, made as calls reach them (core::frameAt)
    int32_t framesMade = 0;     // frames.size(), kept as a count: a call's check then needs no division
    int depth = 0;
    // What an inline step's rare path hands back after raising an error, with the position where
    // execution continues stored in pc: its step leads the interpreter to test the end-slice flag,
    // so the common path of such a step never tests it (set by the interpreter).
    Op haltWord;
    CallState calls;  // values saved by active user-function calls, per-function tables (vm/call_commands.cpp)

    // DATA
    int32_t dataPointer = 0;

    // built-ins
    uint32_t randomSeed = 1;
    std::string inputEntry;
    int inputLength = -1;
    int inputStartX = 0;
    double waitDeadline = -1;

    // set by the host
    platform::Platform* platform = nullptr;
    Console* console = nullptr;
    bool standaloneRun = false;
    bool windowActive = true;
    bool debugMode = false;
    bool runtimeTestMode = false;
    int lastKey = 0;             // last character typed, cleared by every window message
    int currentBitmap = 0;       // print ends the slice only when this is the screen
    int drawQueueLength = 0;     // items waiting in the DrawQueue
    std::string commandLine;     // without the program name
    std::string executablePath;  // full path
    std::string windowsFolder;
    std::string logPath;         // QX.LOG in the executable folder

    // clock without a platform (tests): advances with executed instructions
    uint64_t instructionsExecuted = 0;  // every instruction since the machine was created
    uint64_t virtualMillis = 0;

    // diagnostics, set by the host
    // Called before every instruction in debug mode with the code position and its command code
    // (the host writes the "ZORVANELOOPMIDDLE" trace entry of the log file).
    std::function<void(int position, int code)> traceInstruction;
    // Called by resetForRun so that families reset their own per-run state (call levels, query list...).
    std::vector<void (*)(Machine&)> runStartHooks;

    // error reporting (vm/errors.cpp)
    std::array<std::string, 200> errorTexts;  // the ErrorTexts slots; createMachine fills "ERROR k"
    std::string errorDumpText;  // the last dump in runtime-test mode when shorter than 10230 characters
    // When set (a vocabulary is loaded), the error dump names the command and classifies operands by
    // its signature: one letter per operand word ('l', 'f', 's'). Returns false for an unknown code.
    std::function<bool(int code, std::string* name, std::string* signature)> commandNames;

    CommandMeanings meanings;  // from the registered entries, for the disassembler
    uint16_t handlerCount;     // entries of handlerList in use after the unused entry 0
    // The handler of each code: a short number per code into a list of the registered handlers (0 =
    // no family registered the code: the interpreter runs unknownCommand for it). Both start as zero
    // pages; short numbers keep the codes the families register on a few pages rather than a dozen,
    // and every page first touched costs a start about as much as clearing it. They come last, after
    // the members that are constructed, so construction touches none of their pages.
    uint16_t handlerIndex[kMaxCommandCode + 1];
    Handler handlerList[kMaxHandlers + 1];
};

// Allocates a machine (it is large: heap only) with no handler for any code but the core instructions.
std::unique_ptr<Machine> createMachine();

// Records that cells first .. first + count - 1 may hold strings, arrays or element references
// (the loader does it for every cell a program names; code writing other cells must too).
inline void noteCellsUsed(Machine& m, int first, int count) {
    if (count <= 0 || first < 0 || first >= kCellCount) return;
    const int last = std::min(first + count, kCellCount) - 1;
    for (int block = first / kCellBlock; block <= last / kCellBlock; ++block) m.usedCellBlocks.set(size_t(block));
}

// --- strings (vm/strings.cpp) --------------------------------------------------------------------

inline const char* text(const Cell& c) { return c.s ? c.s : ""; }
// Replaces the cell's string with a copy of [data, data+length) (length already capped by the caller).
void setString(Cell& c, const char* data, size_t length);
void setString(Cell& c, const std::string& value);
void freeString(Cell& c);
// The allocation every heap string (cells and string array elements) uses; deleteString(nullptr) is harmless.
char* newString(const char* data, size_t length);
void deleteString(char* s);
// Frees an array's storage (element strings too) and clears the entry. Array storage is allocated
// with std::malloc/std::calloc, string elements with newString().
void releaseArray(ArrayEntry& a);

// --- errors (vm/errors.cpp) ----------------------------------------------------------------------

// Fatal unless `code` is one of the recoverable codes; never unwinds.
void raise(Machine& m, int code);
// Ignored in a standalone run; otherwise ends the program as a warning.
void raiseRecoverable(Machine& m, int code);
// Posts the quit message (through the platform when there is one) and ends the slice.
void postQuit(Machine& m);
// The message slot of an error code (0..199), -1 when the code has none.
int errorSlot(int code);
// One of the recoverable codes that raise() diverts to raiseRecoverable().
bool isRecoverable(int code);
// "Runtime Error : <slot text>. <engine detail>" and its variants, from the error state.
std::string composeMessage(const Machine& m);
// The dump text of the instruction whose command word is `commandWord` ("" when none is made).
std::string errorDump(const Machine& m, const Op* commandWord);
// Replaces ErrorTexts slots with texts of a language file's ERRORS section (key = slot number).
void setErrorTexts(Machine& m, const std::vector<std::pair<int, std::string>>& texts);
void resetErrorTexts(Machine& m);  // back to "ERROR k"

// --- dispatch (vm/dispatch.cpp) ------------------------------------------------------------------

// Installs a family's entries; rejects (returns false for) a duplicate or out-of-range code.
bool registerCommands(Machine& m, const CommandEntry* entries, size_t count);
template <size_t N>
bool registerCommands(Machine& m, const CommandEntry (&entries)[N]) {
    return registerCommands(m, entries, N);
}

// What runs for every code that no family registered (its table entry is nullptr): ends the program
// silently.
void unknownCommand(Machine& m);
// The handler registered for a code; nullptr when none is (or the code is outside 0..kMaxCommandCode).
inline Handler handlerOf(const Machine& m, int code) {
    return static_cast<uint32_t>(code) <= static_cast<uint32_t>(kMaxCommandCode) ? m.handlerList[m.handlerIndex[code]]
                                                                               : nullptr;
}
inline bool hasHandler(const Machine& m, int code) { return handlerOf(m, code) != nullptr; }
// Puts a handler on a code, replacing any registered one (nullptr takes it away); false when the
// code is outside 1..kMaxCommandCode or the handler list is full. Families register through
// registerCommands; this is for tests and tools that install single handlers.
bool setHandler(Machine& m, int code, Handler handler);

// --- program image (vm/image_loader.cpp) ----------------------------------------------------------

// Builds the run-time form of a ProgramImage; on failure nothing stays loaded and *why says what was wrong.
bool loadImage(Machine& m, const uint8_t* data, size_t size, std::string* why = nullptr);
bool loadImageFile(Machine& m, const std::string& path, std::string* why = nullptr);
// Frees every heap string and array, the tables and the code.
void unloadProgram(Machine& m);
// Source line of a code word (0 when the reference is outside the code).
int sourceLine(const Machine& m, const Op* word);
// Code index of a code reference.
inline int codeIndex(const Machine& m, const Op* word) { return static_cast<int>(word - m.program.code.data()); }

// --- interpreter (vm/interpreter.cpp) -------------------------------------------------------------

// Sets the run-start state: program counter on code word 0, stacks empty, error code 0, defaults.
void resetForRun(Machine& m);
// Runs one execution slice (the host calls it once per frame).
void runSlice(Machine& m);
// The millisecond clock the interpreter uses: the platform's, or the machine's virtual clock.
uint32_t nowMillis(Machine& m);

// Cell number of a cell reference.
inline int cellIndex(const Machine& m, const Cell* c) { return static_cast<int>(c - m.cells); }

}  // namespace vm
