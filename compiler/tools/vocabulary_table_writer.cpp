// Writes the vocabulary text out as C++ arrays in the shape the compiler reads, so the program
// starts with its vocabulary ready instead of parsing it.
//   vocabulary_table_writer vocabulary.txt builtin_vocabulary.cpp
#include "compiler/vocabulary.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

using compiler::VocabularyEntry;
using compiler::VocabularyIndex;

// Every byte that is not plain printable text as an octal escape, so any name survives.
void writeText(std::ostream& out, std::string_view text) {
    out << "constexpr char kText[] =\n    \"";
    size_t column = 0;
    for (unsigned char c : text) {
        if (c >= 32 && c < 127 && c != '"' && c != '\\' && c != '?') {
            out << c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%03o", c);
            out << escaped;
        }
        if (++column == 100) {
            out << "\"\n    \"";
            column = 0;
        }
    }
    out << "\";\n\n";
}

void writeInts(std::ostream& out, const char* name, std::span<const int> values) {
    out << "constexpr int " << name << "[] = {";
    for (size_t i = 0; i < values.size(); ++i) out << (i % 20 == 0 ? "\n    " : " ") << values[i] << ",";
    if (values.empty()) out << "0";  // an array needs an element; the span below stays empty
    out << "\n};\n\n";
}

void writeEntries(std::ostream& out, const char* name, std::span<const VocabularyEntry> entries, const char* base) {
    out << "constexpr VocabularyEntry " << name << "[] = {\n";
    for (const VocabularyEntry& e : entries)
        out << "    {{kText + " << (e.name.data() - base) << ", " << e.name.size() << "}, {kText + "
            << (e.signature.data() - base) << ", " << e.signature.size() << "}, " << e.code << ", " << e.group << ", "
            << e.runEnd << ", " << (e.structureKeyword ? "true" : "false") << "},\n";
    if (entries.empty()) out << "    {},\n";
    out << "};\n\n";
}

std::string span(const char* array, size_t size) {
    return "std::span(" + std::string(array) + ", " + std::to_string(size) + ")";
}

std::string indexView(const char* prefix, const VocabularyIndex& index) {
    std::string p(prefix);
    return "{" + span(("k" + p + "Slots").c_str(), index.slots.size()) + ", " +
           span(("k" + p + "Firsts").c_str(), index.firsts.size()) + ", " +
           span(("k" + p + "Members").c_str(), index.members.size()) + "}";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vocabulary_table_writer VOCABULARY.TXT OUTPUT.cpp\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "vocabulary_table_writer: cannot read %s\n", argv[1]);
        return 1;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    compiler::Vocabulary vocabulary;
    vocabulary.parse(text);
    const compiler::VocabularyTables& t = vocabulary.tables();
    if (t.commands.empty() || t.functions.empty()) {
        std::fprintf(stderr, "vocabulary_table_writer: %s holds no commands or no functions\n", argv[1]);
        return 1;
    }

    // Every view points into one block of text: the first name is its start, and the block ends
    // after the furthest view.
    const char* base = t.commands.front().name.data();
    const char* end = base;
    for (auto entries : {t.commands, t.functions})
        for (const VocabularyEntry& e : entries) {
            base = std::min({base, e.name.data(), e.signature.data()});
            end = std::max({end, e.name.data() + e.name.size(), e.signature.data() + e.signature.size()});
        }

    std::ostringstream out;
    out << "// Written by vocabulary_table_writer from the vocabulary text when the program is built.\n"
           "#include \"compiler/vocabulary.h\"\n\nnamespace compiler {\n\nnamespace {\n\n";
    writeText(out, std::string_view(base, static_cast<size_t>(end - base)));
    writeEntries(out, "kCommands", t.commands, base);
    writeEntries(out, "kFunctions", t.functions, base);
    writeInts(out, "kCommandSlots", t.commandIndex.slots);
    writeInts(out, "kCommandFirsts", t.commandIndex.firsts);
    writeInts(out, "kCommandMembers", t.commandIndex.members);
    writeInts(out, "kFunctionSlots", t.functionIndex.slots);
    writeInts(out, "kFunctionFirsts", t.functionIndex.firsts);
    writeInts(out, "kFunctionMembers", t.functionIndex.members);
    out << "constexpr VocabularyCode kCodes[] = {";
    for (size_t i = 0; i < t.codes.size(); ++i)
        out << (i % 8 == 0 ? "\n    " : " ") << "{" << t.codes[i].code << ", " << t.codes[i].entry << "},";
    out << "\n};\n\n}  // namespace\n\n";
    out << "constinit const VocabularyTables kBuiltInVocabularyTables = {\n    "
        << span("kCommands", t.commands.size()) << ",\n    " << span("kFunctions", t.functions.size()) << ",\n    "
        << indexView("Command", t.commandIndex) << ",\n    " << indexView("Function", t.functionIndex) << ",\n    "
        << span("kCodes", t.codes.size()) << ",\n    " << t.arrayRead << ",\n    " << t.longestCommandWords
        << ",\n};\n\n}  // namespace compiler\n";

    // Written beside the target and renamed over it, so a failed run never leaves half a file.
    std::string temporary = std::string(argv[2]) + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << out.str();
        if (!file.flush()) {
            std::fprintf(stderr, "vocabulary_table_writer: cannot write %s\n", temporary.c_str());
            return 1;
        }
    }
    if (std::rename(temporary.c_str(), argv[2]) != 0) {
        std::fprintf(stderr, "vocabulary_table_writer: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
