// The compiler proper: source lines in, code and line streams and symbol tables out.
//
// Correctness rules for everything in compiler/:
//  1. Every operand is an operand index in its typed range; the loader relies on the ranges alone.
//  2. The code and line streams are written only through emitWord(), so they stay in step.
//  3. The first error message of a compile wins (fail() never overwrites one); a failing routine
//     returns false or an operand of type 'x' and the caller stops.
//  4. Symbol, constant and label look-ups are hashed, while indexes are handed out in creation order,
//     so the image is the same as with linear searches and the compile stays linear in program size.
#pragma once

#include "compiler/language_file.h"
#include "compiler/text_hash.h"
#include "compiler/variable_table.h"
#include "compiler/vocabulary.h"
#include "platform/memory_tuning.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace compiler {

// Operand index ranges of the image.
constexpr int32_t kIntTemp = 10000, kRealTemp = 11000, kStringTemp = 12000;
constexpr int32_t kIntVar = 13000, kRealVar = 15000, kStringVar = 17000;
constexpr int32_t kIntConst = 19000, kRealConst = 21000, kStringConst = 23000;
constexpr int32_t kDataItem = 25000, kLabel = 35000, kCodePosition = 37000;
constexpr int kVariablesPerType = 2000, kConstantsPerType = 2000, kMaxDataItems = 9999, kMaxLabels = 2000;
constexpr int kMaxFunctions = 1023, kMaxOpenStructures = 1023, kMaxParameters = 32;
constexpr int kTempsPerFunction = 50, kTempsPerMain = 1000;

// Message keys of the COMPILER section that the compiler adds to the documented ones.
constexpr int kMsgTooManyTemporaries = 53;
constexpr int kMsgCannotReadSource = 54;
constexpr int kMsgCannotWriteImage = 55;
constexpr int kMsgTooManyIncludeNames = 56;

// The key a symbol or label is filed under: the name, a zero byte, the scope as two raw bytes
// (scopes run from -1 to 1023) and '[' for an array. Built in a buffer of its own, so that looking a
// name up allocates nothing.
class SymbolKey {
public:
    SymbolKey(std::string_view name, int scope, bool array = false);
    std::string_view view() const { return long_.empty() ? std::string_view(short_, size_) : std::string_view(long_); }
    std::string text() const { return std::string(view()); }

private:
    char short_[124];
    uint32_t size_ = 0;
    std::string long_;  // names that do not fit short_
};

// The words of a statement, as views into it. A word that held control characters inside quotes is
// kept without them in `cleaned` (reserved to the statement's size first, so views stay valid).
struct Words {
    std::vector<std::string_view> list;
    std::string cleaned;

    size_t size() const { return list.size(); }
    bool empty() const { return list.empty(); }
    std::string_view operator[](size_t i) const { return list[i]; }
};

struct Operand {
    char type = 'x';  // l integer, f real, s string, a label, x failed
    int32_t index = -1;
};

struct DataItem {
    char type;
    int32_t value = 0;
    std::string text;
};

struct LabelFixup {
    size_t position;
    bool data;  // restore takes the label's DATA position, jumps its code position
};

struct LabelEntry {
    std::string name;
    int scope;
    int firstLine;
    std::vector<LabelFixup> fixups;
};

struct LabelDefinition {
    int32_t codePosition;
    int32_t dataPosition;
};

struct UserFunction {
    std::string name;
    std::string parameters;  // one type letter per parameter
    char result = 'l';
    int line = 0;
    bool defined = false;  // header compiled
};

struct OpenStructure {
    int keyword;
    int64_t openerTarget = -1;  // address of the opener's target word, -1 when it emits none
    int32_t loopBack = 0;
    int64_t elseTarget = -1;
    int32_t afterElse = 0;
    std::vector<size_t> exits;
};

// The source line of a run of code words: a statement's words all carry its line, so the line
// stream is kept as runs and written out word by word only into the image.
struct LineRun {
    int32_t line;
    int32_t words;
};

// The code words and line runs of a compile: a large program's are filled into huge pages
// (platform/memory_tuning.h).
using CodeWords = std::vector<int32_t, platform::FilledBlockAllocator<int32_t>>;
using LineRuns = std::vector<LineRun, platform::FilledBlockAllocator<LineRun>>;

// Everything a compile produces.
struct CompiledProgram {
    CodeWords code;
    LineRuns lines;  // one line per code word, as runs
    std::vector<int32_t> intConstants;
    std::vector<uint32_t> realConstants;
    std::vector<std::string> stringConstants;
    std::vector<DataItem> data;
    std::vector<int16_t> owners[3];
};

class Compiler {
public:
    Compiler(const Vocabulary& vocabulary, const LanguageFile& language);

    // Compiles one statement text (a prepared line or a piece of one). False on failure.
    bool compileStatement(std::string_view text);
    // Registers the functions a line declares (the declaration pass). False on failure.
    bool declareLine(std::string_view line, bool& insideFunction);
    // End of compile: labels, arrays, open structures, the final word.
    bool finish(int lastLine, bool fileCompile);

    void setLine(int line) { line_ = line; }
    // Makes room for the code of a source of that many bytes and lines, so the streams do not grow
    // by copying.
    void reserveFor(size_t sourceBytes, size_t lineCount = 0);
    int line() const { return line_; }
    const std::string& error() const { return error_; }
    int errorLine() const { return errorLine_; }
    void clearError() { error_.clear(); }
    bool skipMode() const { return skipMode_; }
    const std::string& message(int key) const;
    // Overrides the message with `text` (used to attribute errors of included files).
    void setError(std::string text, int line) { error_ = std::move(text), errorLine_ = line; }

    // Moves the compiled program out; the compiler is spent afterwards.
    CompiledProgram takeProgram();
    CompiledProgram program() const;
    // Compiles statements held in memory after a successful compile, in the scope of `function`,
    // appending their code before the final word. Lines are numbered from 1 within the snippet.
    bool compileSnippet(std::string_view text, int function);
    int32_t codeSize() const { return static_cast<int32_t>(code_.size()); }
    int functionCount() const { return static_cast<int>(functions_.size()); }
    const CodeWords& code() const { return code_; }

    // For tests and tools: the compile state after a compile.
    int variableCount(int type) const { return static_cast<int>(variables_[type].size()); }
    const std::vector<UserFunction>& functions() const { return functions_; }

private:
    // True for an operand that read or input may store into: a variable or a just-read array element.
    bool isStorageTarget(const Operand& operand) const;
    friend struct CompilerTestAccess;

    // --- errors
    bool fail(int key);
    bool failText(const std::string& text);

    // --- streams and symbols (symbols.cpp)
    void emitWord(int32_t value) {
        code_.push_back(value);
        if (!lines_.empty() && lines_.back().line == line_)
            ++lines_.back().words;
        else
            lines_.push_back({line_, 1});
    }
    void emitInstruction(int32_t code, const Operand* operands, size_t count);
    void emitInstruction(int32_t code, const std::vector<Operand>& operands) {
        emitInstruction(code, operands.data(), operands.size());
    }
    void emitInstruction(int32_t code, std::initializer_list<Operand> operands) {
        emitInstruction(code, operands.begin(), operands.size());
    }
    Operand allocateTemporary(char type);
    void resetTemporaries();
    Operand integerConstant(int32_t value);
    Operand realConstant(float value);
    Operand stringConstant(std::string text);
    Operand resolveName(std::string_view name);
    Operand labelReference(std::string_view name, int scope);
    bool defineLabel(std::string_view name, int scope, int32_t position);
    bool addDataItem(std::string_view literal);
    static char typeOfIndex(int32_t index);

    // --- expressions (expressions.cpp)
    // The parameters of one call or command, as views into its text. The pieces are plain pointers
    // and sizes, left unset until filled: a list is made for every call and most use one or two.
    struct ParameterList {
        struct Piece {
            const char* data;
            size_t size;
        };
        Piece items[kMaxParameters];
        size_t count = 0;

        std::string_view operator[](size_t k) const { return {items[k].data, items[k].size}; }
        void push(std::string_view text) { items[count++] = {text.data(), text.size()}; }
    };
    Operand compileExpression(std::string_view text);
    Operand compileOperatorExpression(std::string_view text);
    Operand compileOperand(std::string_view text);
    Operand compileCall(std::string_view name, std::string_view arguments);
    Operand compileUserCall(int function, const std::string& arguments);
    Operand convert(Operand operand, char to);
    bool splitParameters(std::string_view text, ParameterList& out);
    bool splitParameters(std::string_view text, std::vector<std::string>& out);
    std::string typeList(std::string_view letters) const;
    bool noFittingFunction(std::string_view name);
    int operatorEntry(int level, int a, int b);

    // --- statements (statements.cpp)
    struct Match;
    // Buffers of one level of statement nesting, kept from statement to statement so that a
    // statement's words and rewritten texts cost no allocation once the buffers have grown.
    struct StatementScratch {
        Words words;
        std::string text;
        std::vector<Operand> operands;
    };
    StatementScratch& scratch();
    bool matchStatement(const Words& words, Match& match);
    bool compileCommand(int entry, std::string_view parameters);
    bool compileNotACommand(std::string_view text);
    bool compileOneLineIf(const Words& words);
    bool compileFor(const Words& words);
    bool compileDim(std::string_view text);
    bool compileSelect(const Words& words);
    bool compileRest(std::string_view rest);
    bool compileFunctionHeader(std::string_view text);
    bool isLabelDefinition(std::string_view text, std::string& name) const;

    // --- structures (structures.cpp)
    bool applyStructureRules(int keyword, int32_t position, size_t wordCount, int32_t loopStart,
                             std::vector<Operand>& operands);

    // --- functions (functions.cpp)
    int findFunction(std::string_view name) const;

    const Vocabulary& vocabulary_;
    const LanguageFile& language_;
    int32_t keywordCodes_[12];  // the command code of each structure keyword (-1 when missing)
    int assignmentEntry_ = -1, elementStoreEntry_ = -1;
    // Name groups of the commands compileCommand treats specially (-1 when the vocabulary lacks one);
    // read and input store into the cell they are given.
    int exitFunctionGroup_ = -1, assignmentGroup_ = -1, readGroup_ = -1, inputGroup_ = -1;
    // For each operator level and operand types (l, f, s each), the chosen entry or -1; chosen
    // when first needed (kEntryNotChosen until then).
    static constexpr int kEntryNotChosen = -2;
    int operatorEntries_[13][3][3];

    CodeWords code_;
    LineRuns lines_;  // the line of each word of code_, as runs
    int line_ = 1;
    std::string error_;
    int errorLine_ = 0;
    bool typeOnly_ = false;  // declaration pass: types only, nothing emitted or created
    bool skipMode_ = false;
    int scope_ = 0;
    bool arrayFlag_ = false;
    char expectedType_ = 0;
    int depth_ = 0;  // recursion guard for statement and expression rewriting
    // One StatementScratch per nesting level, each in a place of its own so that views into it stay
    // valid while deeper levels are added. Only buffers: a copied compiler starts without them.
    struct ScratchLevels {
        std::vector<std::unique_ptr<StatementScratch>> levels;
        ScratchLevels() = default;
        ScratchLevels(const ScratchLevels&) {}
        ScratchLevels(ScratchLevels&&) = default;
        ScratchLevels& operator=(const ScratchLevels&) { return *this; }
        ScratchLevels& operator=(ScratchLevels&&) = default;
    } scratch_;

    int32_t nextTemp_[3] = {kIntTemp, kRealTemp, kStringTemp};
    int32_t tempLimit_[3] = {kIntTemp + kTempsPerMain, kRealTemp + kTempsPerMain, kStringTemp + kTempsPerMain};

    std::vector<int32_t> intConstants_;
    std::unordered_map<int32_t, int32_t> intConstantIndex_;
    std::vector<uint32_t> realConstants_;
    std::unordered_map<uint32_t, int32_t> realConstantIndex_;
    std::vector<std::string> stringConstants_;
    std::vector<DataItem> data_;

    std::vector<VariableSymbol> variables_[3];
    VariableTable variableIndex_[3];

    std::vector<LabelEntry> labels_;
    TextMap<int> labelIndex_;
    TextMap<LabelDefinition> labelDefinitions_;
    TextSet dims_;

    std::vector<UserFunction> functions_;
    int lastDeclared_ = 0;
    TextMap<int> functionIndex_;

    std::vector<OpenStructure> structures_;
    bool inSelect_ = false, defaultSeen_ = false;
    std::string selectExpression_;
};

struct CompileResult;
// Compiles a source text with the given vocabulary and texts (the entry points use the installation's).
// `keep`, when given, receives the compiler after a successful compile (for snippet compiles).
CompileResult compileWith(std::string_view sourceText, const std::string& sourcePath, const Vocabulary& vocabulary,
                          const LanguageFile& language, const std::function<void(int)>& progress = {},
                          std::unique_ptr<Compiler>* keep = nullptr);

// Helpers shared by the compiler's files.
// (Inline: they run for every character of every statement.)
// Letter, digit, $ or #: a '(' after one opens a call or element.
inline bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '$' || c == '#';
}
inline bool isIdentifierChar(char c) { return isNameChar(c) || c == '_'; }  // letter, digit, _, # or $
// Without blanks and control characters at either end.
inline std::string_view trimmedView(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
    return text;
}
std::string trimmed(std::string_view text);
void splitWords(std::string_view statement, Words& out);
std::vector<std::string> splitWords(std::string_view statement);  // the same as texts

}  // namespace compiler
