// The command vocabulary: every command, function and operator the language knows, with the
// command code the interpreter dispatches on and the parameter types that select among entries.
#pragma once

#include "compiler/text_hash.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace compiler {

struct VocabularyEntry {
    std::string name;       // lower case, single blanks between words
    int32_t code = 0;
    std::string signature;  // l integer, f real, s string; 0 / e / a as first letter of commands
    bool structureKeyword = false;
    int group = 0;          // entries of the same name (and kind) share the group number
    int runEnd = 0;         // one past the last entry of this name in the unbroken run from here
};

class Vocabulary {
public:
    // Parses a vocabulary text: `name%code%signature` lines, `;` remarks, a name ending in `[` is a
    // function. Replaces whatever was loaded before.
    void parse(std::string_view text);

    // The vocabulary compiled into the program.
    static std::string_view builtInText();
    // The built-in vocabulary, or `vocabulary.txt` in `folder` when that file exists.
    static Vocabulary load(const std::string& folder);

    const std::vector<VocabularyEntry>& commands() const { return commands_; }
    const std::vector<VocabularyEntry>& functions() const { return functions_; }

    // Indexes of every entry with that name, in table order (empty when none).
    std::span<const int> commandsNamed(std::string_view name) const { return commandIndex_.named(name); }
    std::span<const int> functionsNamed(std::string_view name) const { return functionIndex_.named(name); }
    // Indexes of every command with the name of command `entry`, without looking the name up.
    std::span<const int> commandsLike(int entry) const { return commandIndex_.members(commands_[entry].group); }
    std::span<const int> functionsLike(int entry) const { return functionIndex_.members(functions_[entry].group); }
    int firstCommand(std::string_view name) const;
    int firstFunction(std::string_view name) const;
    // First function entry whose name begins with '@' (the array element read group), -1 when none.
    int arrayReadFunction() const { return arrayRead_; }
    // First command entry with that code, -1 when none (diagnostics turn codes back into names).
    int commandByCode(int32_t code) const;
    // The most words any command name has: longer word runs never match.
    size_t longestCommandWords() const { return longestCommandWords_; }

private:
    // The entries of each name as one run of a shared list: a name costs one table slot, not a list
    // of its own.
    class NameIndex {
    public:
        int groupOf(std::string_view name);  // adds the name when it is new
        void finish(const std::vector<VocabularyEntry>& entries);
        std::span<const int> named(std::string_view name) const;
        std::span<const int> members(int group) const;

    private:
        TextMap<int> groups_;
        std::vector<int> firsts_;   // per group: start in members_, and past its end in the next slot
        std::vector<int> members_;  // entry indexes, grouped by name, each group in table order
    };

    std::vector<VocabularyEntry> commands_;
    std::vector<VocabularyEntry> functions_;
    NameIndex commandIndex_;
    NameIndex functionIndex_;
    std::vector<std::pair<int32_t, int>> codeIndex_;  // sorted by code, the first entry of each code
    int arrayRead_ = -1;
    size_t longestCommandWords_ = 1;
};

// The twelve structure keywords in their fixed order; the number is the keyword's index here.
inline constexpr const char* kStructureKeywords[12] = {"if",       "else",  "endif", "do",
                                                       "exit",     "loop",  "for",   "next",
                                                       "while",    "endwhile", "repeat", "until"};

}  // namespace compiler
