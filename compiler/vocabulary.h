// The command vocabulary: every command, function and operator the language knows, with the
// command code the interpreter dispatches on and the parameter types that select among entries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace compiler {

struct VocabularyEntry {
    std::string name;       // lower case, single blanks between words
    int32_t code = 0;
    std::string signature;  // l integer, f real, s string; 0 / e / a as first letter of commands
    bool structureKeyword = false;
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
    const std::vector<int>& commandsNamed(std::string_view name) const;
    const std::vector<int>& functionsNamed(std::string_view name) const;
    int firstCommand(std::string_view name) const;
    int firstFunction(std::string_view name) const;
    // First function entry whose name begins with '@' (the array element read group), -1 when none.
    int arrayReadFunction() const { return arrayRead_; }
    // First command entry with that code, -1 when none (diagnostics turn codes back into names).
    int commandByCode(int32_t code) const;
    // The most words any command name has: longer word runs never match.
    size_t longestCommandWords() const { return longestCommandWords_; }

private:
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const { return std::hash<std::string_view>()(name); }
    };
    using NameIndex = std::unordered_map<std::string, std::vector<int>, NameHash, std::equal_to<>>;

    std::vector<VocabularyEntry> commands_;
    std::vector<VocabularyEntry> functions_;
    NameIndex commandIndex_;
    NameIndex functionIndex_;
    std::unordered_map<int32_t, int> codeIndex_;
    int arrayRead_ = -1;
    size_t longestCommandWords_ = 1;
};

// The twelve structure keywords in their fixed order; the number is the keyword's index here.
inline constexpr const char* kStructureKeywords[12] = {"if",       "else",  "endif", "do",
                                                       "exit",     "loop",  "for",   "next",
                                                       "while",    "endwhile", "repeat", "until"};

}  // namespace compiler
