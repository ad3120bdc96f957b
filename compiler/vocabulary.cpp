#include "compiler/vocabulary.h"

#include "compiler/paths.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unordered_set>

extern const char zv_vocabulary_text[];
extern const unsigned long zv_vocabulary_text_size;

namespace compiler {

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Lower case, trimmed, single blanks between words: "Load  Image" and "load image" are one name.
std::string normaliseName(std::string_view raw) {
    std::string name;
    bool pendingBlank = false;
    for (char c : raw) {
        if (static_cast<unsigned char>(c) <= 32) {
            pendingBlank = !name.empty();
            continue;
        }
        if (pendingBlank) name += ' ';
        pendingBlank = false;
        name += lower(c);
    }
    if (name.size() > 255) name.resize(255);
    return name;
}

template <typename Index>
const std::vector<int>& namedIn(const Index& index, std::string_view name) {
    static const std::vector<int> none;
    auto it = index.find(name);
    return it == index.end() ? none : it->second;
}

}  // namespace

void Vocabulary::parse(std::string_view text) {
    *this = Vocabulary();
    size_t p = 0;
    while (p < text.size()) {
        if (static_cast<unsigned char>(text[p]) < 32) {
            ++p;
            continue;
        }
        size_t end = text.find_first_of("\r\n", p);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(p, end - p);
        p = end;
        if (line[0] == ';') continue;
        size_t first = line.find('%');
        if (first == std::string_view::npos) continue;  // not an entry line
        size_t second = line.find('%', first + 1);
        std::string_view rawName = line.substr(0, first);
        std::string_view rawCode =
            line.substr(first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1);
        std::string_view rawSignature = second == std::string_view::npos ? std::string_view() : line.substr(second + 1);

        VocabularyEntry entry;
        std::string digits;
        for (char c : rawCode)
            if (c != ' ') digits += c;
        entry.code = static_cast<int32_t>(std::strtol(digits.c_str(), nullptr, 10));
        for (char c : rawSignature)
            if (static_cast<unsigned char>(c) > 32 && entry.signature.size() < 32) entry.signature += lower(c);
        std::string name = normaliseName(rawName);
        bool function = !name.empty() && name.back() == '[';
        if (function) {
            name.pop_back();
            while (!name.empty() && name.back() == ' ') name.pop_back();
        }
        if (name.empty()) continue;
        entry.name = name;
        if (function) {
            if (arrayRead_ < 0 && name[0] == '@') arrayRead_ = static_cast<int>(functions_.size());
            functionIndex_[name].push_back(static_cast<int>(functions_.size()));
            functions_.push_back(std::move(entry));
        } else {
            commandIndex_[name].push_back(static_cast<int>(commands_.size()));
            longestCommandWords_ =
                std::max(longestCommandWords_, static_cast<size_t>(std::count(name.begin(), name.end(), ' ') + 1));
            codeIndex_.try_emplace(entry.code, static_cast<int>(commands_.size()));
            commands_.push_back(std::move(entry));
        }
    }
    std::unordered_set<int32_t> keywordCodes;
    for (const char* keyword : kStructureKeywords) {
        int i = firstCommand(keyword);
        if (i >= 0) keywordCodes.insert(commands_[i].code);
    }
    for (auto& entry : commands_) entry.structureKeyword = keywordCodes.count(entry.code) != 0;
}

std::string_view Vocabulary::builtInText() { return {zv_vocabulary_text, zv_vocabulary_text_size}; }

Vocabulary Vocabulary::load(const std::string& folder) {
    Vocabulary vocabulary;
    if (!folder.empty()) {
        std::string path = findFileIgnoringCase(folder, "vocabulary.txt");
        std::ifstream in(path, std::ios::binary);
        if (in) {
            std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            vocabulary.parse(text);
            return vocabulary;
        }
    }
    vocabulary.parse(builtInText());
    return vocabulary;
}

const std::vector<int>& Vocabulary::commandsNamed(std::string_view name) const {
    return namedIn(commandIndex_, name);
}
const std::vector<int>& Vocabulary::functionsNamed(std::string_view name) const {
    return namedIn(functionIndex_, name);
}
int Vocabulary::firstCommand(std::string_view name) const {
    const auto& found = commandsNamed(name);
    return found.empty() ? -1 : found.front();
}
int Vocabulary::firstFunction(std::string_view name) const {
    const auto& found = functionsNamed(name);
    return found.empty() ? -1 : found.front();
}
int Vocabulary::commandByCode(int32_t code) const {
    auto it = codeIndex_.find(code);
    return it == codeIndex_.end() ? -1 : it->second;
}

}  // namespace compiler
