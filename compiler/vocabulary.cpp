#include "compiler/vocabulary.h"

#include "compiler/paths.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

extern const char zv_vocabulary_text[];
extern const unsigned long zv_vocabulary_text_size;

namespace compiler {

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Lower case, trimmed, single blanks between words: "Load  Image" and "load image" are one name.
std::string normaliseName(std::string_view raw) {
    std::string name;
    name.reserve(raw.size());
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

// The code field without its blanks, read as a decimal number the way strtol reads it.
int32_t parseCode(std::string_view raw) {
    char digits[64];
    size_t n = 0;
    for (char c : raw)
        if (c != ' ' && n + 1 < sizeof digits) digits[n++] = c;
    if (n + 1 >= sizeof digits) {  // too long for the buffer: a rare line, read it without a limit
        std::string all;
        for (char c : raw)
            if (c != ' ') all += c;
        return static_cast<int32_t>(std::strtol(all.c_str(), nullptr, 10));
    }
    digits[n] = '\0';
    return static_cast<int32_t>(std::strtol(digits, nullptr, 10));
}

}  // namespace

int Vocabulary::NameIndex::groupOf(std::string_view name) {
    auto found = groups_.find(name);
    if (found != groups_.end()) return found->second;
    int group = static_cast<int>(groups_.size());
    groups_.emplace(std::string(name), group);
    return group;
}

void Vocabulary::NameIndex::finish(const std::vector<VocabularyEntry>& entries) {
    // Count the entries of each group, turn the counts into starts, then file the entries in order.
    firsts_.assign(groups_.size() + 1, 0);
    for (const VocabularyEntry& entry : entries) ++firsts_[entry.group + 1];
    for (size_t g = 1; g < firsts_.size(); ++g) firsts_[g] += firsts_[g - 1];
    members_.assign(entries.size(), 0);
    std::vector<int> next(firsts_.begin(), firsts_.end() - 1);
    for (size_t i = 0; i < entries.size(); ++i) members_[next[entries[i].group]++] = static_cast<int>(i);
}

std::span<const int> Vocabulary::NameIndex::members(int group) const {
    if (group < 0 || group + 1 >= static_cast<int>(firsts_.size())) return {};
    return std::span<const int>(members_).subspan(firsts_[group], firsts_[group + 1] - firsts_[group]);
}

std::span<const int> Vocabulary::NameIndex::named(std::string_view name) const {
    auto found = groups_.find(name);
    return found == groups_.end() ? std::span<const int>() : members(found->second);
}

void Vocabulary::parse(std::string_view text) {
    *this = Vocabulary();
    // One entry line in about three of the file: room for all, so the tables are not copied as they grow.
    size_t lineEstimate = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    commands_.reserve(lineEstimate);
    functions_.reserve(lineEstimate / 2);
    size_t p = 0;
    while (p < text.size()) {
        if (static_cast<unsigned char>(text[p]) < 32) {
            ++p;
            continue;
        }
        // The line ends at the first CR or LF.
        const char* base = text.data();
        const void* lineFeed = std::memchr(base + p, '\n', text.size() - p);
        size_t end = lineFeed ? static_cast<size_t>(static_cast<const char*>(lineFeed) - base) : text.size();
        if (const void* carriageReturn = std::memchr(base + p, '\r', end - p))
            end = static_cast<size_t>(static_cast<const char*>(carriageReturn) - base);
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

        std::string name = normaliseName(rawName);
        bool function = !name.empty() && name.back() == '[';
        if (function) {
            name.pop_back();
            while (!name.empty() && name.back() == ' ') name.pop_back();
        }
        if (name.empty()) continue;
        VocabularyEntry entry;
        entry.code = parseCode(rawCode);
        for (char c : rawSignature)
            if (static_cast<unsigned char>(c) > 32 && entry.signature.size() < 32) entry.signature += lower(c);
        // A function's signature starts with its result type; without one the entry cannot be chosen.
        if (function && entry.signature.empty()) continue;
        if (function) {
            if (arrayRead_ < 0 && name[0] == '@') arrayRead_ = static_cast<int>(functions_.size());
            entry.group = functionIndex_.groupOf(name);
            entry.name = std::move(name);
            functions_.push_back(std::move(entry));
        } else {
            entry.group = commandIndex_.groupOf(name);
            longestCommandWords_ =
                std::max(longestCommandWords_, static_cast<size_t>(std::count(name.begin(), name.end(), ' ') + 1));
            codeIndex_.emplace_back(entry.code, static_cast<int>(commands_.size()));
            entry.name = std::move(name);
            commands_.push_back(std::move(entry));
        }
    }
    for (auto* entries : {&commands_, &functions_}) {
        for (size_t i = entries->size(); i-- > 0;) {
            VocabularyEntry& entry = (*entries)[i];
            bool runGoesOn = i + 1 < entries->size() && (*entries)[i + 1].group == entry.group;
            entry.runEnd = runGoesOn ? (*entries)[i + 1].runEnd : static_cast<int>(i) + 1;
        }
    }
    commandIndex_.finish(commands_);
    functionIndex_.finish(functions_);
    // The first entry of a code wins, as in the table's order.
    std::stable_sort(codeIndex_.begin(), codeIndex_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    codeIndex_.erase(std::unique(codeIndex_.begin(), codeIndex_.end(),
                                 [](const auto& a, const auto& b) { return a.first == b.first; }),
                     codeIndex_.end());

    int32_t keywordCodes[12];
    int keywordCount = 0;
    for (const char* keyword : kStructureKeywords) {
        int i = firstCommand(keyword);
        if (i >= 0) keywordCodes[keywordCount++] = commands_[i].code;
    }
    for (auto& entry : commands_)
        entry.structureKeyword =
            std::find(keywordCodes, keywordCodes + keywordCount, entry.code) != keywordCodes + keywordCount;
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

int Vocabulary::firstCommand(std::string_view name) const {
    const auto& found = commandsNamed(name);
    return found.empty() ? -1 : found.front();
}
int Vocabulary::firstFunction(std::string_view name) const {
    const auto& found = functionsNamed(name);
    return found.empty() ? -1 : found.front();
}
int Vocabulary::commandByCode(int32_t code) const {
    auto it = std::lower_bound(codeIndex_.begin(), codeIndex_.end(), code,
                               [](const auto& item, int32_t wanted) { return item.first < wanted; });
    return it == codeIndex_.end() || it->first != code ? -1 : it->second;
}

}  // namespace compiler
