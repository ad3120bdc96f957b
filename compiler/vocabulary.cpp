#include "compiler/vocabulary.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace compiler {

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Appends the name lower case, trimmed, with single blanks between words: "Load  Image" and
// "load image" are one name. Never longer than the raw text, at most 255 characters.
std::string_view appendNormalisedName(std::string_view raw, char*& out) {
    char* start = out;
    bool pendingBlank = false;
    for (char c : raw) {
        if (static_cast<unsigned char>(c) <= 32) {
            pendingBlank = out != start;
            continue;
        }
        if (out - start >= 255) break;
        if (pendingBlank) {
            *out++ = ' ';
            pendingBlank = false;
            if (out - start >= 255) break;
        }
        *out++ = lower(c);
    }
    return {start, static_cast<size_t>(out - start)};
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

struct BuiltIndex {
    std::vector<int> slots, firsts, members;
    VocabularyIndex view() const { return {slots, firsts, members}; }
};

// Groups the entries by name (each entry's `group` is set) and builds the hashed index over them.
BuiltIndex indexEntries(std::vector<VocabularyEntry>& entries) {
    BuiltIndex index;
    std::unordered_map<std::string_view, int, TextHash> groups;
    std::vector<std::string_view> names;
    for (VocabularyEntry& entry : entries) {
        auto [found, added] = groups.try_emplace(entry.name, static_cast<int>(names.size()));
        if (added) names.push_back(entry.name);
        entry.group = found->second;
    }
    // Count the entries of each group, turn the counts into starts, then file the entries in order.
    index.firsts.assign(names.size() + 1, 0);
    for (const VocabularyEntry& entry : entries) ++index.firsts[entry.group + 1];
    for (size_t g = 1; g < index.firsts.size(); ++g) index.firsts[g] += index.firsts[g - 1];
    index.members.assign(entries.size(), 0);
    std::vector<int> next(index.firsts.begin(), index.firsts.end() - 1);
    for (size_t i = 0; i < entries.size(); ++i) index.members[next[entries[i].group]++] = static_cast<int>(i);
    // At most half full, so every probe run ends at an empty slot soon.
    size_t size = 8;
    while (size < names.size() * 2) size *= 2;
    index.slots.assign(size, 0);
    for (size_t g = 0; g < names.size(); ++g) {
        size_t i = TextHash{}(names[g]) & (size - 1);
        while (index.slots[i] != 0) i = (i + 1) & (size - 1);
        index.slots[i] = static_cast<int>(g) + 1;
    }
    return index;
}

}  // namespace

struct Vocabulary::Storage {
    std::unique_ptr<char[]> text;  // every normalised name and signature; the entries view into it
    std::vector<VocabularyEntry> commands, functions;
    BuiltIndex commandIndex, functionIndex;
    std::vector<VocabularyCode> codes;
};

std::span<const int> Vocabulary::members(const VocabularyIndex& index, int group) {
    if (group < 0 || static_cast<size_t>(group) + 1 >= index.firsts.size()) return {};
    return index.members.subspan(index.firsts[group], index.firsts[group + 1] - index.firsts[group]);
}

std::span<const int> Vocabulary::named(const VocabularyIndex& index, std::span<const VocabularyEntry> entries,
                                       std::string_view name) {
    if (index.slots.empty()) return {};
    const size_t mask = index.slots.size() - 1;
    for (size_t i = TextHash{}(name) & mask;; i = (i + 1) & mask) {
        const int slot = index.slots[i];
        if (slot == 0) return {};
        std::span<const int> group = members(index, slot - 1);
        if (!group.empty() && entries[group.front()].name == name) return group;
    }
}

void Vocabulary::parse(std::string_view text) {
    auto storage = std::make_shared<Storage>();
    // Names and signatures are never longer than their raw text, so the copy fits in its size.
    storage->text = std::make_unique<char[]>(text.size() + 1);
    char* out = storage->text.get();
    // One entry line in about three of the file: room for all, so the tables are not copied as they grow.
    size_t lineEstimate = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    storage->commands.reserve(lineEstimate);
    storage->functions.reserve(lineEstimate / 2);
    VocabularyTables tables;
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

        char* mark = out;
        std::string_view name = appendNormalisedName(rawName, out);
        bool function = !name.empty() && name.back() == '[';
        if (function) {
            name.remove_suffix(1);
            while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
            out = mark + name.size();
        }
        if (name.empty()) {
            out = mark;
            continue;
        }
        VocabularyEntry entry;
        entry.name = name;
        entry.code = parseCode(rawCode);
        char* signature = out;
        for (char c : rawSignature)
            if (static_cast<unsigned char>(c) > 32 && out - signature < 32) *out++ = lower(c);
        entry.signature = std::string_view(signature, static_cast<size_t>(out - signature));
        // A function's signature starts with its result type; without one the entry cannot be chosen.
        if (function && entry.signature.empty()) {
            out = mark;
            continue;
        }
        if (function) {
            if (tables.arrayRead < 0 && name[0] == '@') tables.arrayRead = static_cast<int32_t>(storage->functions.size());
            storage->functions.push_back(entry);
        } else {
            tables.longestCommandWords =
                std::max(tables.longestCommandWords, static_cast<int32_t>(std::count(name.begin(), name.end(), ' ') + 1));
            storage->codes.push_back({entry.code, static_cast<int32_t>(storage->commands.size())});
            storage->commands.push_back(entry);
        }
    }
    storage->commandIndex = indexEntries(storage->commands);
    storage->functionIndex = indexEntries(storage->functions);
    for (auto* entries : {&storage->commands, &storage->functions}) {
        for (size_t i = entries->size(); i-- > 0;) {
            VocabularyEntry& entry = (*entries)[i];
            bool runGoesOn = i + 1 < entries->size() && (*entries)[i + 1].group == entry.group;
            entry.runEnd = runGoesOn ? (*entries)[i + 1].runEnd : static_cast<int32_t>(i) + 1;
        }
    }
    // The first entry of a code wins, as in the table's order.
    auto& codes = storage->codes;
    std::stable_sort(codes.begin(), codes.end(), [](const auto& a, const auto& b) { return a.code < b.code; });
    codes.erase(std::unique(codes.begin(), codes.end(), [](const auto& a, const auto& b) { return a.code == b.code; }),
                codes.end());

    tables.commands = storage->commands;
    tables.functions = storage->functions;
    tables.commandIndex = storage->commandIndex.view();
    tables.functionIndex = storage->functionIndex.view();
    tables.codes = storage->codes;

    int32_t keywordCodes[12];
    int keywordCount = 0;
    for (const char* keyword : kStructureKeywords) {
        auto named = Vocabulary::named(tables.commandIndex, tables.commands, keyword);
        if (!named.empty()) keywordCodes[keywordCount++] = tables.commands[named.front()].code;
    }
    for (VocabularyEntry& entry : storage->commands)
        entry.structureKeyword =
            std::find(keywordCodes, keywordCodes + keywordCount, entry.code) != keywordCodes + keywordCount;
    storage_ = std::move(storage);
    tables_ = tables;
    noteShapes();
}

void Vocabulary::noteShapes() {
    commandShapes_.fill(0);
    functionShapes_.fill(0);
    for (auto [entries, shapes] : {std::pair{tables_.commands, &commandShapes_}, std::pair{tables_.functions, &functionShapes_}})
        for (const VocabularyEntry& entry : entries)
            if (!entry.name.empty())
                (*shapes)[static_cast<unsigned char>(entry.name[0])] |= uint64_t(1) << std::min<size_t>(entry.name.size(), 63);
}

int Vocabulary::firstCommand(std::string_view name) const {
    auto found = commandsNamed(name);
    return found.empty() ? -1 : found.front();
}
int Vocabulary::firstFunction(std::string_view name) const {
    auto found = functionsNamed(name);
    return found.empty() ? -1 : found.front();
}
int Vocabulary::commandByCode(int32_t code) const {
    auto it = std::lower_bound(tables_.codes.begin(), tables_.codes.end(), code,
                               [](const VocabularyCode& item, int32_t wanted) { return item.code < wanted; });
    return it == tables_.codes.end() || it->code != code ? -1 : it->entry;
}

}  // namespace compiler
