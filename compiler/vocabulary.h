// The command vocabulary: every command, function and operator the language knows, with the
// command code the interpreter dispatches on and the parameter types that select among entries.
//
// The tables are plain arrays of views. The vocabulary the program is built with is written out as
// such arrays when the program is built, so starting needs no parsing and no memory of its own; a
// `vocabulary.txt` installed beside the executable is parsed into the same shape at run time.
#pragma once

#include "compiler/text_hash.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace compiler {

struct VocabularyEntry {
    std::string_view name;       // lower case, single blanks between words
    std::string_view signature;  // l integer, f real, s string; 0 / e / a as first letter of commands
    int32_t code = 0;
    int32_t group = 0;           // entries of the same name (and kind) share the group number
    int32_t runEnd = 0;          // one past the last entry of this name in the unbroken run from here
    bool structureKeyword = false;
};

// Names to entries: an open-addressed table of groups, looked up with TextHash.
struct VocabularyIndex {
    std::span<const int> slots;    // power-of-two size; group + 1, 0 when empty
    std::span<const int> firsts;   // per group: its start in `members`, and past its end in the next
    std::span<const int> members;  // entry indexes, grouped by name, each group in table order
};

struct VocabularyCode {
    int32_t code;
    int32_t entry;  // the first command with that code
};

struct VocabularyTables {
    std::span<const VocabularyEntry> commands;
    std::span<const VocabularyEntry> functions;
    VocabularyIndex commandIndex;
    VocabularyIndex functionIndex;
    std::span<const VocabularyCode> codes;  // sorted by code
    int32_t arrayRead = -1;                 // first function whose name begins with '@'
    int32_t longestCommandWords = 1;
};

// The tables of the vocabulary the program was built with (written at build time).
extern const VocabularyTables kBuiltInVocabularyTables;

class Vocabulary {
public:
    // Parses a vocabulary text: `name%code%signature` lines, `;` remarks, a name ending in `[` is a
    // function. Replaces whatever was loaded before.
    void parse(std::string_view text);

    // The vocabulary text the program was built with.
    static std::string_view builtInText();
    // The vocabulary the program was built with, ready without parsing.
    static Vocabulary builtIn();
    // The built-in vocabulary, or `vocabulary.txt` in `folder` when that file exists.
    static Vocabulary load(const std::string& folder);

    std::span<const VocabularyEntry> commands() const { return tables_.commands; }
    std::span<const VocabularyEntry> functions() const { return tables_.functions; }
    const VocabularyTables& tables() const { return tables_; }

    // Indexes of every entry with that name, in table order (empty when none).
    std::span<const int> commandsNamed(std::string_view name) const {
        if (!mayBeNamed(commandShapes_, name)) return {};
        return named(tables_.commandIndex, tables_.commands, name);
    }
    std::span<const int> functionsNamed(std::string_view name) const {
        if (!mayBeNamed(functionShapes_, name)) return {};
        return named(tables_.functionIndex, tables_.functions, name);
    }
    // Indexes of every command with the name of command `entry`, without looking the name up.
    std::span<const int> commandsLike(int entry) const {
        return members(tables_.commandIndex, tables_.commands[entry].group);
    }
    std::span<const int> functionsLike(int entry) const {
        return members(tables_.functionIndex, tables_.functions[entry].group);
    }
    int firstCommand(std::string_view name) const;
    int firstFunction(std::string_view name) const;
    // First function entry whose name begins with '@' (the array element read group), -1 when none.
    int arrayReadFunction() const { return tables_.arrayRead; }
    // First command entry with that code, -1 when none (diagnostics turn codes back into names).
    int commandByCode(int32_t code) const;
    // The most words any command name has: longer word runs never match.
    size_t longestCommandWords() const { return static_cast<size_t>(tables_.longestCommandWords); }

private:
    // For each first character, one bit per name length (63 standing for longer ones) that some
    // entry's name has: most words a compile looks up are no name at all, and this says so without
    // hashing them.
    using NameShapes = std::array<uint64_t, 256>;
    static bool mayBeNamed(const NameShapes& shapes, std::string_view name) {
        if (name.empty()) return false;
        const size_t length = name.size() < 63 ? name.size() : 63;
        return (shapes[static_cast<unsigned char>(name[0])] >> length) & 1;
    }
    void noteShapes();

    static std::span<const int> members(const VocabularyIndex& index, int group);
    static std::span<const int> named(const VocabularyIndex& index, std::span<const VocabularyEntry> entries,
                                      std::string_view name);

    struct Storage;  // what a parsed text's tables point into; shared by copies
    std::shared_ptr<const Storage> storage_;
    VocabularyTables tables_;
    NameShapes commandShapes_{};
    NameShapes functionShapes_{};
};

// The twelve structure keywords in their fixed order; the number is the keyword's index here.
inline constexpr const char* kStructureKeywords[12] = {"if",       "else",  "endif", "do",
                                                       "exit",     "loop",  "for",   "next",
                                                       "while",    "endwhile", "repeat", "until"};

}  // namespace compiler
