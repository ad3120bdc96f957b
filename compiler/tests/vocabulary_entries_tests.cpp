// The shipped vocabulary against the compiler: every entry is reachable by writing its name with
// parameters of its types, and the order of overloads gives the codes users expect.
#include "compiler/compiler.h"
#include "compiler/vocabulary.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using compiler::Vocabulary;

const Vocabulary& shippedVocabulary() {
    static const Vocabulary vocabulary = [] {
        Vocabulary v;
        v.parse(Vocabulary::builtInText());
        return v;
    }();
    return vocabulary;
}

int32_t word(const std::vector<uint8_t>& image, size_t index) {
    int32_t value;
    std::memcpy(&value, image.data() + 4 * index, 4);
    return value;
}

// The code words of a compiled source (the closing end and the final 0 left out), or the error.
std::string codeOf(const std::string& source) {
    compiler::CompileResult result = compiler::compileSource(source + "\r\n", "vocabulary.qxa");
    if (!result.ok) return "error: " + result.message;
    const size_t start = static_cast<size_t>(word(result.image, 7));
    const size_t count = (result.image.size() / 4 - start) / 2;  // code words, then as many line words
    std::string out;
    for (size_t i = 0; i + 2 < count; ++i) {
        if (!out.empty()) out += ' ';
        out += std::to_string(word(result.image, start + i));
    }
    return out;
}

std::string literalOf(char type) { return type == 'l' ? "7" : type == 'f' ? "1.5" : "\"a\""; }

std::string argumentsOf(std::string_view letters) {
    std::string text;
    for (char letter : letters) {
        if (!text.empty()) text += ',';
        text += literalOf(letter);
    }
    return text;
}

bool startsWithCode(const std::string& words, int32_t code) {
    const std::string first = std::to_string(code);
    return words == first || words.rfind(first + " ", 0) == 0;
}

// Names the compiler treats as statement shapes or that need variables, labels or an open
// structure; the compiler's own tests cover them.
const std::set<std::string, std::less<>> kLanguageStatements = {
    "if",   "else",    "endif",  "do",    "exit",     "loop",     "for",      "next",        "while",
    "endwhile", "repeat", "until", "=",   "@=",       "dim",      "undim",    "data",        "remstart",
    "remend", "#include", "gosub", "goto", "restore", "read",    "return",   "endfunction", "exitfunction",
    "input", "print",   "printc", "inc",  "dec"};
const std::set<std::string, std::less<>> kOperators = {"^", "/", "*", "+", "-", "==", ">", ">=", "<", "<=", "!", "&", "|", "@"};

TEST(VocabularyEntries, EveryLibraryCommandCompilesToItsCode) {
    std::vector<std::string> faults;
    std::set<std::pair<std::string, std::string>> seen;
    for (const auto& entry : shippedVocabulary().commands()) {
        if (kLanguageStatements.count(entry.name)) continue;
        if (!seen.insert({std::string(entry.name), std::string(entry.signature)}).second) continue;  // a second code is never chosen
        std::string statement(entry.name);
        if (entry.signature != "0") {
            statement += ' ';
            statement += argumentsOf(entry.signature);
        }
        const std::string words = codeOf(statement);
        if (!startsWithCode(words, entry.code)) faults.push_back(statement + " -> " + words);
    }
    EXPECT_TRUE(faults.empty()) << faults.size() << " commands, first: " << faults.front();
}

TEST(VocabularyEntries, EveryLibraryFunctionCompilesToItsCodeAloneAndInsideAnExpression) {
    std::vector<std::string> faults;
    std::set<std::pair<std::string, std::string>> seen;
    for (const auto& entry : shippedVocabulary().functions()) {
        if (kOperators.count(entry.name)) continue;
        const std::string parameters(entry.signature.substr(1));
        if (!seen.insert({std::string(entry.name), parameters}).second) continue;
        const std::string variable = entry.signature[0] == 'l' ? "v" : entry.signature[0] == 'f' ? "v#" : "v$";
        const std::string call = std::string(entry.name) + "(" + argumentsOf(parameters) + ")";
        for (const std::string& statement : {variable + "=" + call, variable + " = " + variable + " + " + call}) {
            const std::string words = codeOf(statement);
            if (words.find(std::to_string(entry.code) + " ") == std::string::npos)
                faults.push_back(statement + " -> " + words);
        }
    }
    EXPECT_TRUE(faults.empty()) << faults.size() << " functions, first: " << faults.front();
}

TEST(VocabularyEntries, OverloadOrderGivesTheExpectedCodes) {
    struct Case {
        const char* source;
        const char* words;
    };
    const Case cases[] = {
        // An integer argument takes the integer entry next to the real one; without one it is converted.
        {"x#=cos(45)", "332 11000 19000 152 15000 11000"},
        {"x#=cos(45.0)", "331 11000 21000 152 15000 11000"},
        {"x#=abs(-3)", "155 11000 19000 368 11001 11000 152 15000 11001"},
        {"x#=atan2(1,2)", "367 11000 19000 19001 152 15000 11000"},
        // An integer array read inside a real argument reads the integer array, then converts.
        {"dim a(3)\r\nx#=abs(a(1))", "501 13000 19000 661 10000 13000 19001 155 11000 10000 368 11001 11000 152 15000 11001"},
        // A real array element takes an integer value without converting it.
        {"dim c#(3)\r\nc#(1)=5", "511 15000 19000 576 15000 19001 19002"},
        // The same name with more parameters: background colour, then clear.
        {"cls 255", "405 19000"},
        {"color light 1, 255, 0, 0", "7315 19000 19001 19002 19002"},
        // Array files find their array in the element read compiled directly before them.
        {"dim a(10)\r\nsave array \"f.dat\", a(0)", "501 13000 19000 661 10000 13000 19001 5004 23000 10000"},
        // The key wait does not swallow a wait for the time held in a variable called key.
        {"wait key", "255 13000"},
        {"wait for key", "263"},
    };
    for (const Case& c : cases) EXPECT_EQ(codeOf(c.source), c.words) << c.source;
}

// The vocabulary checker (format, capacities, order, the rows the compiler relies on) and the
// generated command reference, through the tool's own tests.
TEST(VocabularyEntries, CheckerAndGeneratedReferenceAgreeWithTheVocabulary) {
    const char* python = "/usr/bin/python3";
    if (!std::filesystem::exists(python)) GTEST_SKIP() << "no " << python << "; the vocabulary checker was not run";
    const std::string command = std::string(python) + " -m unittest discover -s '" ZV_SOURCE_DIR
                                "/tools/tests' -p 'test_*.py' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0)
        << "run: " << python << " -m unittest discover -s tools/tests -p 'test_*.py'";
}

}  // namespace
